// The modal file requester and message box, the current directory, and the
// bookkeeping that disables the program's other windows while one is up.
#include <unistd.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <algorithm>
#include <climits>
#include <list>
#include <thread>

#include "windowing/internal.h"

namespace windowing {

int detail::RunModal(QDialog& dialog) {
    detail::FlushFrames();  // the screen as it stands, before the box takes over
    detail::MakeTransient(dialog);
    EnterModalState();
    const int result = dialog.exec();
    LeaveModalState();
    detail::ForgetEscapePress();
    detail::KeepPointerInside();
    return result;
}
namespace {

// A path the requester hands back may be as long as the platform allows.
inline constexpr int MaxPathLength = PATH_MAX - 1;

struct SuspendedWindow {
    std::thread::id threadId;
    QPointer<QWidget> topLevelWindow;
    bool wasTopmost = false;
    bool disabledHere = false;
};

std::list<SuspendedWindow> suspended;

// The open-kind requester: a new name in an existing folder is accepted,
// an existing file is taken without asking, but a folder that does not
// exist is refused by the dialog itself.
class FileRequester : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

protected:
    void accept() override {
        const QStringList files = selectedFiles();
        if (!files.isEmpty()) {
            const QFileInfo info(files.first());
            // A path too long to look up is handed back for the command to
            // report; only a folder that surely does not exist is refused here.
            const bool tooLong = files.first().toUtf8().size() >= MaxPathLength;
            if (!tooLong && !info.isDir() && !info.exists() && !QFileInfo(info.absolutePath()).isDir()) {
                QMessageBox::warning(this, windowTitle(),
                                     QStringLiteral("%1\nThe folder does not exist. Check the path and try again.")
                                         .arg(info.absolutePath()));
                return;
            }
        }
        QFileDialog::accept();
    }
};

// "Name|pattern|Name|pattern" as the dialog's filters. A pattern of "*.*"
// means every file, with or without an extension.
QStringList NameFilters(const char* patterns) {
    const QStringList parts = QString::fromUtf8(patterns ? patterns : "").split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList globs = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& g : globs)
            if (g.trimmed() == QLatin1String("*.*")) g = QStringLiteral("*");
        filters << QStringLiteral("%1 (%2)").arg(parts[i], globs.join(QLatin1Char(' ')));
    }
    return filters;
}

}  // namespace

int IsValidFileName(const char* text) {
    if (!text || !*text) return 0;
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 32 || c == '"' || c == '*' || c == '/' || c == ':' || c == '<' || c == '>' || c == '?' ||
            c == '\\' || c == '|')
            return 0;
    }
    return 1;
}

std::string CurrentDirectory() {
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf)) return std::string();
    std::string dir(buf);
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

Handle DialogOwnerWindow() { return detail::HandleOf(detail::DialogParent()); }

QWidget* detail::DialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    // Not yet activated (a Wayland compositor activates a window when it
    // chooses): the program's own window that is shown, the last one opened.
    QWidget* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && WindowNumberOf(w) >= 0) found = w;
    return found;
}

void detail::MakeTransient(QDialog& dialog) {
    // A dialog with a parent is its transient: the window manager keeps it
    // over the parent, and it has neither minimise nor maximise.
    if (!dialog.parentWidget()) {
        if (QWidget* parent = DialogParent()) dialog.setParent(parent, dialog.windowFlags());
    }
    Qt::WindowFlags f = dialog.windowFlags();
    f &= ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowMinMaxButtonsHint);
    f |= Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (f != dialog.windowFlags()) dialog.setWindowFlags(f);
    dialog.setWindowModality(Qt::ApplicationModal);
    // Wide enough for its whole title beside the frame's buttons.
    const int titled = QFontMetrics(dialog.font()).horizontalAdvance(dialog.windowTitle()) + 160;
    if (dialog.minimumWidth() < titled) dialog.setMinimumWidth(titled);
}

void EnterModalState() {
    detail::ShowPendingWindows();  // a dialog never comes before its window
    QWidget* foreground = detail::DialogParent();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w->thread() != QThread::currentThread()) continue;
        SuspendedWindow r;
        r.threadId = std::this_thread::get_id();
        r.topLevelWindow = w;
        r.wasTopmost = w->windowFlags() & Qt::WindowStaysOnTopHint;
        if (w != foreground && w->isEnabled()) {
            w->setEnabled(false);
            r.disabledHere = true;
        }
        suspended.push_front(r);
    }
    // Nothing may stay above the dialog.
    for (SuspendedWindow& r : suspended) {
        if (r.threadId == std::this_thread::get_id() && r.wasTopmost && r.topLevelWindow) {
            r.topLevelWindow->setWindowFlag(Qt::WindowStaysOnTopHint, false);
            r.topLevelWindow->show();
        }
    }
}

void LeaveModalState() {
    for (auto it = suspended.begin(); it != suspended.end();) {
        if (it->threadId != std::this_thread::get_id()) {
            ++it;
            continue;
        }
        if (it->topLevelWindow) {
            if (it->disabledHere) it->topLevelWindow->setEnabled(true);
            if (it->wasTopmost) {
                it->topLevelWindow->setWindowFlag(Qt::WindowStaysOnTopHint, true);
                it->topLevelWindow->show();
            }
        }
        it = suspended.erase(it);
    }
}

namespace {

std::string ChooseFile(const char* title, const char* defaultPath, const char* patterns, int position,
                       const char* acceptLabel) {
    FileRequester dialog(detail::DialogParent());
    if (acceptLabel) dialog.setLabelText(QFileDialog::Accept, QString::fromUtf8(acceptLabel));
    dialog.setObjectName(QStringLiteral("fileRequester"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setWindowTitle(QString::fromUtf8(title ? title : ""));
    const QStringList filters = NameFilters(patterns);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (position >= 0 && position < filters.size()) dialog.selectNameFilter(filters[position]);
    }
    if (defaultPath) {
        const std::string path(defaultPath);
        const auto slash = path.find_last_of('/');
        std::string name = path, folder;
        if (slash != std::string::npos && slash > 0) {
            name = path.substr(slash + 1);
            folder = path.substr(0, slash);
        }
        if (name.size() > static_cast<std::size_t>(MaxPathLength)) name.resize(MaxPathLength);
        if (!folder.empty()) dialog.setDirectory(QString::fromUtf8(folder.c_str()));
        if (IsValidFileName(name.c_str())) dialog.selectFile(QString::fromUtf8(name.c_str()));
    }
    const int result = detail::RunModal(dialog);
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
    // A path too long for the system is still handed back: the command that
    // uses it fails with its own message instead of doing nothing unseen.
    return dialog.selectedFiles().first().toStdString();
}

}  // namespace

std::string ChooseFileToOpen(const char* title, const char* defaultPath, const char* patterns, int position) {
    return ChooseFile(title, defaultPath, patterns, position, nullptr);
}

std::string ChooseFileToSave(const char* title, const char* defaultPath, const char* patterns, int position) {
    return ChooseFile(title, defaultPath, patterns, position, "&Save");
}

namespace {

// A box owned by the active window, with the caption and plain text.
void SetUpBox(QMessageBox& box, const char* caption, const char* text) {
    box.setObjectName(QStringLiteral("messageBox"));
    box.setWindowTitle(QString::fromUtf8(caption ? caption : ""));
    box.setText(QString::fromUtf8(text ? text : ""));
    box.setTextFormat(Qt::PlainText);
}

// Runs the box modally; the button clicked, or NoButton.
QMessageBox::StandardButton RunBox(QMessageBox& box) {
    detail::RunModal(box);
    return box.standardButton(box.clickedButton());
}

}  // namespace

int ShowMessage(const char* caption, const char* text, int flags) {
    QMessageBox box(detail::DialogParent());
    SetUpBox(box, caption, text);
    // The low bits choose the buttons, the next four the icon.
    static const QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Critical, QMessageBox::Question,
                                              QMessageBox::Warning, QMessageBox::Information};
    const int icon = (flags >> 4) & 0xF;
    box.setIcon(icon < 5 ? icons[icon] : QMessageBox::NoIcon);
    switch (flags & 0xF) {
    case 1: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case 3: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    case 4: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    switch (RunBox(box)) {
    case QMessageBox::Cancel: return 2;
    case QMessageBox::Yes: return 6;
    case QMessageBox::No: return 7;
    default: return MessageOk;
    }
}

SaveChangesAnswer AskToSaveChanges(const char* caption, const char* text) {
    QMessageBox box(detail::DialogParent());
    SetUpBox(box, caption, text);
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    // Access keys, so that the box answers the keyboard alone.
    box.button(QMessageBox::Save)->setText(QStringLiteral("&Save"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (RunBox(box)) {
    case QMessageBox::Save: return SaveChangesAnswer::Save;
    case QMessageBox::Discard: return SaveChangesAnswer::Discard;
    default: return SaveChangesAnswer::Cancel;
    }
}

namespace {

// A box with two answers; true for the first. Escape or closing it is the
// second, and Return is whichever is the default.
bool AskBetween(const char* caption, const char* text, const QString& yes, const QString& no, bool noIsDefault) {
    QMessageBox box(detail::DialogParent());
    SetUpBox(box, caption, text);
    QPushButton* first = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton* second = box.addButton(no, QMessageBox::RejectRole);
    box.setDefaultButton(noIsDefault ? second : first);
    box.setEscapeButton(second);
    RunBox(box);
    return box.clickedButton() == first;
}

}  // namespace

bool AskToReplace(const char* caption, const char* text) {
    return AskBetween(caption, text, QStringLiteral("&Replace"), QStringLiteral("Cancel"), true);
}

void ShowAbout(const char* caption, const char* text, const std::vector<std::pair<std::string, std::string>>& keys) {
    QString html = QStringLiteral("<p>%1</p><table cellspacing=\"0\" cellpadding=\"2\">")
                       .arg(QString::fromUtf8(text ? text : "").toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
    for (const auto& [key, meaning] : keys) {
        // A row with no key heads the keys of one menu.
        if (key.empty())
            html += QStringLiteral("<tr><td colspan=\"2\"><br><b>%1</b></td></tr>").arg(QString::fromStdString(meaning).toHtmlEscaped());
        else
            html += QStringLiteral("<tr><td style=\"white-space:nowrap\"><b>%1</b></td><td style=\"white-space:nowrap\">&nbsp;&nbsp;%2</td></tr>")
                        .arg(QString::fromStdString(key).toHtmlEscaped(), QString::fromStdString(meaning).toHtmlEscaped());
    }
    html += QStringLiteral("</table>");
    if (keys.empty()) {
        QMessageBox box(detail::DialogParent());
        box.setObjectName(QStringLiteral("aboutBox"));
        box.setWindowTitle(QString::fromUtf8(caption ? caption : ""));
        box.setTextFormat(Qt::RichText);
        box.setText(html);
        box.setStandardButtons(QMessageBox::Ok);
        RunBox(box);
        return;
    }
    // The keys' list scrolls inside a box that fits the screen it opens on,
    // at any scale.
    QDialog box(detail::DialogParent());
    box.setObjectName(QStringLiteral("aboutBox"));
    box.setWindowTitle(QString::fromUtf8(caption ? caption : ""));
    auto* layout = new QVBoxLayout(&box);
    auto* list = new QLabel(html);
    list->setObjectName(QStringLiteral("keysList"));
    list->setTextFormat(Qt::RichText);
    auto* scroll = new QScrollArea(&box);
    scroll->setWidget(list);
    scroll->setWidgetResizable(true);
    layout->addWidget(scroll);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);
    const QScreen* screen = detail::DialogParent() ? detail::DialogParent()->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize wanted = list->sizeHint() + QSize(scroll->verticalScrollBar()->sizeHint().width() + 40, 80);
    box.resize(std::min(wanted.width(), room.width() * 9 / 10), std::min(wanted.height(), room.height() * 8 / 10));
    detail::RunModal(box);
}

bool AskTwoWay(const char* caption, const char* text, const char* yes, const char* no) {
    return AskBetween(caption, text, QString::fromUtf8(yes), QString::fromUtf8(no), false);
}

}  // namespace windowing
