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

// What a menu holds, in order, kept until the menu is first needed (opened,
// or asked for by a screen reader): making the toolkit's menus and their
// items at start-up was a fifth of a megabyte.
struct Entry {
    enum Kind { Item, Separator, OpenSubmenu, CloseSubmenu } kind;
    int id = 0;
    QString text;
    std::vector<std::string> keys;
    MenuItemKind itemKind = MenuItemKind::Plain;
};

// An item's state as last set, and its action once its menu is made.
struct ItemState {
    std::size_t menu = 0;
    bool checked = false, enabled = true;
    bool textSet = false;
    QString text;
    QPointer<QAction> action;
};

struct MenuBarBuilder {
    QPointer<MenuStrip> bar;
    int window = -1;
    std::vector<std::vector<Entry>> menus;  // a title's entries
    int current = -1;                       // the menu the next entry goes into
    std::unordered_map<int, ItemState> items;
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
    return found == builder->items.end() ? nullptr : found->second.action.data();
}

void Add(Entry entry) {
    MenuBarBuilder& b = Builder();
    if (b.current < 0 || b.current >= static_cast<int>(b.menus.size())) return;
    if (b.bar) b.bar->AddKeys(static_cast<std::size_t>(b.current));
    if (entry.kind == Entry::Item) b.items[entry.id] = ItemState{static_cast<std::size_t>(b.current), false, true,
                                                                 false, QString(), nullptr};
    b.menus[static_cast<std::size_t>(b.current)].push_back(std::move(entry));
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

void Show(int id, const ItemState& item) {
    QAction* a = item.action;
    if (!a) return;
    if (a->isCheckable() && a->isChecked() != item.checked) a->setChecked(item.checked);
    if (id != builder->clipboardItem && a->isEnabled() != item.enabled) a->setEnabled(item.enabled);
    if (!item.textSet) return;
    if (a->text() != item.text) a->setText(item.text);
    if (a->isVisible() == item.text.isEmpty()) a->setVisible(!item.text.isEmpty());
}

// The menu of title index made from its entries, each item as last set.
void Fill(std::size_t index, QMenu* menu) {
    if (!builder || index >= builder->menus.size()) return;
    QMenu* into = menu;
    std::vector<QMenu*> outer;
    QActionGroup* group = nullptr;
    for (const Entry& e : builder->menus[index]) {
        if (e.kind != Entry::Item || e.itemKind != MenuItemKind::Choice) group = nullptr;
        if (e.kind == Entry::OpenSubmenu) {
            outer.push_back(into);
            into = into->addMenu(e.text);
        } else if (e.kind == Entry::CloseSubmenu && !outer.empty()) {
            into = outer.back();
            outer.pop_back();
        } else if (e.kind == Entry::Separator) {
            into->addSeparator();
        } else if (e.kind == Entry::Item) {
            QAction* a = into->addAction(e.text);
            QList<QKeySequence> sequences;
            for (const std::string& k : e.keys) sequences.push_back(QKeySequence::fromString(QString::fromStdString(k)));
            // Shown beside the item and told to a screen reader; the window's own
            // shortcuts carry them out (these would act only in a focused menu).
            a->setShortcuts(sequences);
            a->setShortcutContext(Qt::WidgetShortcut);
            if (e.itemKind != MenuItemKind::Plain) a->setCheckable(true);
            if (e.itemKind == MenuItemKind::Choice) {
                if (!group) group = new QActionGroup(into);
                group->addAction(a);
            }
            QObject::connect(a, &QAction::triggered, a, [id = e.id, window = builder->window] {
                PostEvent(MenuEvent, id, window, 0, nullptr, nullptr);
            });
            ItemState& item = builder->items[e.id];
            item.action = a;
            Show(e.id, item);
        }
    }
    QObject::connect(menu, &QMenu::aboutToShow, menu, [index] {
        if (builder && builder->items.count(builder->clipboardItem) && builder->items[builder->clipboardItem].menu == index)
            CheckClipboard();
    });
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
    b.bar = new MenuStrip(w, Fill);
    detail::AttachMenuBar(w, b.bar, MenuStrip::Height);
    b.bar->show();
    return detail::HandleOf(b.bar.data());
}

void AddMenuBarMenu(const char* title) {
    MenuBarBuilder& b = Builder();
    if (!b.bar) return;
    b.bar->Add(title);
    b.menus.resize(b.bar->titles.size());
    b.current = static_cast<int>(b.menus.size()) - 1;
}

void ChooseMenuBarMenu(int index) {
    MenuBarBuilder& b = Builder();
    const bool known = b.bar && index >= 0 && index < static_cast<int>(b.bar->titles.size());
    b.current = known ? index : -1;
}

void OpenMenuBarSubmenu(const char* title) {
    Add({Entry::OpenSubmenu, 0, QString::fromUtf8(title ? title : ""), {}, MenuItemKind::Plain});
}

void CloseMenuBarSubmenu() { Add({Entry::CloseSubmenu, 0, QString(), {}, MenuItemKind::Plain}); }

void AddMenuBarItem(int id, const char* text, const std::vector<std::string>& keys, MenuItemKind kind) {
    Add({Entry::Item, id, QString::fromUtf8(text ? text : ""), keys, kind});
}

void AddMenuBarSeparator() { Add({Entry::Separator, 0, QString(), {}, MenuItemKind::Plain}); }

void SetMenuItemState(int id, bool checked, bool enabled) {
    if (!builder || !builder->items.count(id)) return;
    ItemState& item = builder->items[id];
    item.checked = checked;
    item.enabled = enabled;
    Show(id, item);
}

void SetMenuItemText(int id, const char* text) {
    if (!builder || !builder->items.count(id)) return;
    ItemState& item = builder->items[id];
    item.textSet = true;
    item.text = QString::fromUtf8(text ? text : "");
    Show(id, item);
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
