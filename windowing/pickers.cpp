// Small modal dialogs for what lives inside a disk image: a list to choose
// one item from, and one line of text typed in upper case.
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "windowing/internal.h"

namespace windowing {

int ChooseFromList(const char* title, const char* label, const std::vector<std::string>& items,
                   const std::vector<bool>& enabled) {
    QDialog dialog(detail::DialogParent());
    dialog.setObjectName(QStringLiteral("listChooser"));
    dialog.setWindowTitle(QString::fromUtf8(title ? title : ""));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QString::fromUtf8(label ? label : ""), &dialog));
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("choices"));
    for (std::size_t i = 0; i < items.size(); ++i) {
        auto* item = new QListWidgetItem(QString::fromStdString(items[i]), list);
        // Greyed: shown, so that the user sees why it is not offered.
        if (i < enabled.size() && !enabled[i]) item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
    }
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->flags() & Qt::ItemIsEnabled) {
            list->setCurrentRow(i);
            break;
        }
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemActivated, &dialog, [&dialog](QListWidgetItem* item) {
        if (item->flags() & Qt::ItemIsEnabled) dialog.accept();
    });
    list->setFocus();
    if (detail::RunModal(dialog) != QDialog::Accepted) return -1;
    QListWidgetItem* chosen = list->currentItem();
    return chosen && (chosen->flags() & Qt::ItemIsEnabled) ? list->row(chosen) : -1;
}

std::string AskForName(const char* title, const char* label, const char* proposed,
                       const std::function<std::string(const std::string&)>& asTyped) {
    QDialog dialog(detail::DialogParent());
    dialog.setObjectName(QStringLiteral("nameRequester"));
    dialog.setWindowTitle(QString::fromUtf8(title ? title : ""));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QString::fromUtf8(label ? label : ""), &dialog));
    auto* edit = new QLineEdit(QString::fromUtf8(proposed ? proposed : ""), &dialog);
    edit->setObjectName(QStringLiteral("name"));
    // Typed as the caller's rule makes it, as the user sees it.
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, &asTyped](const QString& text) {
        const int at = edit->cursorPosition();
        edit->setText(QString::fromStdString(asTyped(text.toStdString())));
        edit->setCursorPosition(at);
    });
    edit->selectAll();
    layout->addWidget(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (detail::RunModal(dialog) != QDialog::Accepted) return std::string();
    return asTyped(edit->text().toStdString());
}

}  // namespace windowing
