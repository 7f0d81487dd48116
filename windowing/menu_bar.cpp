// The window's menu bar: menus of items that post their command's
// MenuEvent, as the toolbar's buttons and the keys do. Each item shows its
// keys (the keys themselves are the window's shortcuts, which work whether
// or not an item is enabled) and its state.
//
// The bar's titles are drawn with the program's own character dots, as the
// status line is: the window's first frame loads no font (the desktop's font
// comes in when a menu first opens, after the frame).
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <unordered_map>

#include "windowing/internal.h"

namespace windowing {
namespace {

// A row of menu titles: a press (or Alt and the title's letter, or F10)
// opens a title's menu below it; with one open, the pointer over another
// title, or Left and Right, goes over to that one.
class MenuStrip : public QWidget {
public:
    static constexpr int Height = 22;
    static constexpr int Gap = 7;  // each side of a title: one character

    struct Title {
        std::string text;
        char letter = 0;  // Alt and this opens it
        QPointer<QMenu> menu;
        int left = 0, right = 0;
    };
    std::vector<Title> titles;

    explicit MenuStrip(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("menuBar"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    // A title; its menu is made when first asked for (after the first frame).
    void Add(const char* title) {
        Title t;
        for (const char* c = title; c && *c; ++c) {
            if (*c == '&' && c[1]) t.letter = c[1];
            else t.text += *c;
        }
        t.left = titles.empty() ? 0 : titles.back().right;
        t.right = t.left + Gap * 2 + 7 * static_cast<int>(t.text.size());
        titles.push_back(std::move(t));
        update();
    }

    QMenu* MenuAt(std::size_t index) {
        if (index >= titles.size()) return nullptr;
        Title& t = titles[index];
        if (t.menu) return t.menu;
        t.menu = new QMenu(this);
        t.menu->setTitle(QString::fromStdString(t.text));
        t.menu->setObjectName(QStringLiteral("menu") + QString::fromStdString(t.text));
        t.menu->installEventFilter(this);
        if (t.letter) {
            auto* key = new QShortcut(QKeySequence(QStringLiteral("Alt+") + QChar::fromLatin1(t.letter)), parentWidget());
            QObject::connect(key, &QShortcut::activated, this, [this, index] { Open(index); });
        }
        if (index == 0) {
            auto* key = new QShortcut(QKeySequence(Qt::Key_F10), parentWidget());
            QObject::connect(key, &QShortcut::activated, this, [this] { Open(0); });
        }
        QObject::connect(t.menu, &QMenu::aboutToHide, this, [this, index] {
            if (open_ == static_cast<int>(index)) open_ = -1;
            update();
        });
        return t.menu;
    }

    void Open(std::size_t index) {
        if (!MenuAt(index)) return;
        if (open_ >= 0 && open_ != static_cast<int>(index) && titles[static_cast<std::size_t>(open_)].menu)
            titles[static_cast<std::size_t>(open_)].menu->hide();
        open_ = static_cast<int>(index);
        update();
        detail::ReleaseCanvasCaptures();
        titles[index].menu->popup(mapToGlobal(QPoint(titles[index].left, height())));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QImage strip(size(), QImage::Format_RGB32);
        strip.fill(palette().window().color());
        const QRgb ink = palette().windowText().color().rgb() | 0xFF000000u;
        const QRgb lit = palette().highlightedText().color().rgb() | 0xFF000000u;
        for (std::size_t i = 0; i < titles.size(); ++i) {
            const Title& t = titles[i];
            const bool open = static_cast<int>(i) == open_;
            if (open) {
                QPainter p(&strip);
                p.fillRect(QRect(t.left, 1, t.right - t.left, height() - 2), palette().highlight());
            }
            if (detail::HasGlyphs(t.text))
                detail::DrawGlyphs(strip, 0, width(), t.left + Gap, (height() - 8) / 2, t.text, open ? lit : ink);
        }
        QPainter(this).drawImage(0, 0, strip);
    }

    void mousePressEvent(QMouseEvent* e) override {
        const int at = TitleAt(e->position().toPoint().x());
        if (at >= 0 && at == open_) titles[static_cast<std::size_t>(at)].menu->hide();
        else if (at >= 0) Open(static_cast<std::size_t>(at));
    }

    // An open menu: the pointer over another title, or Left and Right, go over to it.
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (open_ < 0 || watched != titles[static_cast<std::size_t>(open_)].menu) return false;
        if (e->type() == QEvent::MouseMove) {
            const QPoint here = mapFromGlobal(static_cast<QMouseEvent*>(e)->globalPosition().toPoint());
            const int at = rect().contains(here) ? TitleAt(here.x()) : -1;
            if (at >= 0 && at != open_) Open(static_cast<std::size_t>(at));
        } else if (e->type() == QEvent::MouseButtonPress) {
            // A press on the open menu's own title closes it, as a press on the bar would.
            const QPoint here = mapFromGlobal(static_cast<QMouseEvent*>(e)->globalPosition().toPoint());
            if (rect().contains(here) && TitleAt(here.x()) == open_) {
                titles[static_cast<std::size_t>(open_)].menu->hide();
                return true;
            }
        } else if (e->type() == QEvent::KeyPress) {
            auto* menu = static_cast<QMenu*>(watched);
            const int key = static_cast<QKeyEvent*>(e)->key();
            const int step = key == Qt::Key_Left ? -1 : key == Qt::Key_Right ? 1 : 0;
            // Right on an item with a submenu opens the submenu instead.
            if (step == 0 || (step > 0 && menu->activeAction() && menu->activeAction()->menu())) return false;
            const auto n = static_cast<int>(titles.size());
            Open(static_cast<std::size_t>((open_ + step + n) % n));
            return true;
        }
        return false;
    }

private:
    int open_ = -1;  // the title whose menu is open

    int TitleAt(int x) const {
        for (std::size_t i = 0; i < titles.size(); ++i)
            if (x >= titles[i].left && x < titles[i].right) return static_cast<int>(i);
        return -1;
    }
};

// A title of the bar as a screen reader sees a toolkit menu bar's: a menu
// item named as the title reads ("File"), with its accelerator, whose
// child is the menu it opens (the titles are drawn in the program's own
// dots, so the toolkit knows nothing of them).
class TitleAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TitleAccessible(MenuStrip* strip, std::size_t index) : strip_(strip), index_(index) {}
    bool isValid() const override { return strip_ && index_ < strip_->titles.size(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return strip_ ? strip_->window()->windowHandle() : nullptr; }
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(QAccessible::Relation) const override { return {}; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(strip_.data()); }
    QAccessibleInterface* child(int i) const override {
        return i == 0 && isValid() ? QAccessible::queryAccessibleInterface(strip_->MenuAt(index_)) : nullptr;
    }
    int childCount() const override { return 1; }
    int indexOfChild(const QAccessibleInterface* c) const override {
        return isValid() && c && c->object() == strip_->titles[index_].menu.data() ? 0 : -1;
    }
    QString text(QAccessible::Text t) const override {
        if (!isValid()) return {};
        const MenuStrip::Title& title = strip_->titles[index_];
        if (t == QAccessible::Name) return QString::fromStdString(title.text);
        if (t == QAccessible::Accelerator && title.letter) return QStringLiteral("Alt+") + QChar::fromLatin1(title.letter);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) return {};
        const MenuStrip::Title& title = strip_->titles[index_];
        return {strip_->mapToGlobal(QPoint(title.left, 0)), QSize(title.right - title.left, strip_->height())};
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.hasPopup = true;
        s.expanded = isValid() && strip_->titles[index_].menu && strip_->titles[index_].menu->isVisible();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && isValid()) strip_->Open(index_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {text(QAccessible::Accelerator)}; }

private:
    QPointer<MenuStrip> strip_;
    std::size_t index_;
};

// A screen reader sees a menu bar whose children are its titles.
class StripAccessible : public QAccessibleWidget {
public:
    explicit StripAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::MenuBar) {}
    ~StripAccessible() override {
        for (const QAccessible::Id id : ids_) QAccessible::deleteAccessibleInterface(id);
    }
    MenuStrip* Strip() const { return static_cast<MenuStrip*>(widget()); }
    int childCount() const override { return static_cast<int>(Strip()->titles.size()); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        while (ids_.size() <= static_cast<std::size_t>(index))
            ids_.push_back(QAccessible::registerAccessibleInterface(new TitleAccessible(Strip(), ids_.size())));
        return QAccessible::accessibleInterface(ids_[static_cast<std::size_t>(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i)
            if (child && child == this->child(i)) return i;
        return -1;
    }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? QStringLiteral("Menu bar") : QAccessibleWidget::text(t);
    }

private:
    mutable std::vector<QAccessible::Id> ids_;
};

QAccessibleInterface* StripAccessibility(const QString&, QObject* object) {
    auto* strip = dynamic_cast<MenuStrip*>(object);
    return strip ? new StripAccessible(strip) : nullptr;
}

struct MenuBarBuilder {
    QPointer<MenuStrip> bar;
    int window = -1;
    QPointer<QMenu> current;                 // where the next item goes
    std::vector<QPointer<QMenu>> openMenus;  // the submenus the current one is in
    QPointer<QActionGroup> group;            // the run of choices being added
    std::unordered_map<int, QPointer<QAction>> items;
    // The item enabled only while the clipboard may hold something to paste.
    int clipboardItem = -1;
    QString clipboardType;
    int clipboardKnown = -1;  // -1: not looked at since it last changed
};

MenuBarBuilder* builder = nullptr;

MenuBarBuilder& Builder() {
    if (!builder) builder = new MenuBarBuilder();
    return *builder;
}

QAction* Item(int id) {
    if (!builder) return nullptr;
    const auto found = builder->items.find(id);
    return found == builder->items.end() ? nullptr : found->second.data();
}


// Whether the clipboard holds anything a paste could take: looked at when
// the menu with the item opens, once a change of the clipboard.
void CheckClipboard() {
    MenuBarBuilder& b = Builder();
    QAction* paste = Item(b.clipboardItem);
    if (!paste) return;
    if (b.clipboardKnown < 0) {
        const ClipboardContents contents = ReadClipboard(b.clipboardType.toUtf8().constData(), false);
        // One the program cannot read is still offered: choosing it says why.
        b.clipboardKnown = !contents.own.empty() || contents.hasImage || !contents.problem.empty();
    }
    paste->setEnabled(b.clipboardKnown == 1);
}

}  // namespace

namespace detail {

void ForgetMenuBar() {
    delete builder;
    builder = nullptr;
}

}  // namespace detail

Handle CreateMenuBar(int window) {
    QWidget* w = detail::WindowWidget(window);
    if (!w) return 0;
    static bool accessible = false;
    if (!accessible) {
        accessible = true;
        QAccessible::installFactory(StripAccessibility);
    }
    MenuBarBuilder& b = Builder();
    b = MenuBarBuilder{};
    b.window = window;
    b.bar = new MenuStrip(w);
    detail::AttachMenuBar(w, b.bar, MenuStrip::Height);
    b.bar->show();
    return detail::HandleOf(b.bar.data());
}

void AddMenuBarMenu(const char* title) {
    MenuBarBuilder& b = Builder();
    if (!b.bar) return;
    b.bar->Add(title);
    b.current = nullptr;
}

void ChooseMenuBarMenu(int index) {
    MenuBarBuilder& b = Builder();
    const bool made = b.bar && index >= 0 && index < static_cast<int>(b.bar->titles.size()) &&
                      b.bar->titles[static_cast<std::size_t>(index)].menu;
    b.current = b.bar && index >= 0 ? b.bar->MenuAt(static_cast<std::size_t>(index)) : nullptr;
    if (b.current && !made)
        QObject::connect(b.current, &QMenu::aboutToShow, b.current, [menu = b.current] {
            for (QAction* a : menu->actions())
                if (builder && a == Item(builder->clipboardItem)) CheckClipboard();
        });
    b.openMenus.clear();
    b.group = nullptr;
}

void OpenMenuBarSubmenu(const char* title) {
    MenuBarBuilder& b = Builder();
    if (!b.current) return;
    b.openMenus.push_back(b.current);
    b.current = b.current->addMenu(QString::fromUtf8(title ? title : ""));
    b.group = nullptr;
}

void CloseMenuBarSubmenu() {
    MenuBarBuilder& b = Builder();
    if (b.openMenus.empty()) return;
    b.current = b.openMenus.back();
    b.openMenus.pop_back();
    b.group = nullptr;
}

void AddMenuBarItem(int id, const char* text, const std::vector<std::string>& keys, MenuItemKind kind) {
    MenuBarBuilder& b = Builder();
    if (!b.current) return;
    QAction* a = b.current->addAction(QString::fromUtf8(text ? text : ""));
    QList<QKeySequence> sequences;
    for (const std::string& k : keys) sequences.push_back(QKeySequence::fromString(QString::fromStdString(k)));
    // Shown beside the item and told to a screen reader; the window's own
    // shortcuts carry them out (these would act only in a focused menu).
    a->setShortcuts(sequences);
    a->setShortcutContext(Qt::WidgetShortcut);
    if (kind != MenuItemKind::Plain) a->setCheckable(true);
    if (kind == MenuItemKind::Choice) {
        if (!b.group) b.group = new QActionGroup(b.current);
        b.group->addAction(a);
    } else {
        b.group = nullptr;
    }
    const int window = b.window;
    QObject::connect(a, &QAction::triggered, a, [id, window] {
        PostEvent(MenuEvent, id, window, 0, nullptr, nullptr);
    });
    b.items[id] = a;
}

void AddMenuBarSeparator() {
    MenuBarBuilder& b = Builder();
    if (!b.current) return;
    b.current->addSeparator();
    b.group = nullptr;
}

void SetMenuItemState(int id, bool checked, bool enabled) {
    QAction* a = Item(id);
    if (!a) return;
    if (a->isCheckable() && a->isChecked() != checked) a->setChecked(checked);
    if (id != builder->clipboardItem && a->isEnabled() != enabled) a->setEnabled(enabled);
}

void SetMenuItemText(int id, const char* text) {
    QAction* a = Item(id);
    if (!a) return;
    const QString t = QString::fromUtf8(text ? text : "");
    if (a->text() != t) a->setText(t);
    if (a->isVisible() == t.isEmpty()) a->setVisible(!t.isEmpty());
}

void MenuItemFollowsClipboard(int id, const char* ownType) {
    MenuBarBuilder& b = Builder();
    b.clipboardItem = id;
    b.clipboardType = QString::fromUtf8(ownType ? ownType : "");
    b.clipboardKnown = -1;
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, b.bar.data(), [] {
        if (builder) builder->clipboardKnown = -1;
    });
}

}  // namespace windowing
