// The window's menu bar: menus of items that post their command's
// MenuEvent, as the toolbar's buttons and the keys do. Each item shows its
// keys (the keys themselves are the window's shortcuts, which work whether
// or not an item is enabled) and its state.
//
// The bar's titles are drawn with the program's own character dots, as the
// status line is: the window's first frame loads no font (the desktop's font
// comes in when a menu first opens, after the frame).
#include <QAccessible>
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
#include "windowing/menu_strip.h"

namespace windowing {
namespace {

using detail::MenuStrip;

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
        QAccessible::installFactory(detail::StripAccessibility);
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
