// Popup menus built item by item; the chosen item arrives as a MenuEvent.
#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QShortcut>
#include <memory>
#include <vector>

#include "runtime/object_table.h"
#include "windowing/internal.h"

namespace windowing {
namespace {

// A popup is kept as its items until it is first shown: making the
// toolkit's menu at start-up (and the font it measures its items in) was a
// fifth of a megabyte, for a menu the user may never open.
struct MenuNode {
    struct Item {
        int id = 0;
        QString text;
        std::shared_ptr<MenuNode> submenu;
        bool separator = false;
    };
    std::vector<Item> items;
};

// Any item added anywhere: a popup made before it is made again when next shown.
std::size_t revision = 0;

struct MenuObject {
    int number = 0;
    std::shared_ptr<MenuNode> root = std::make_shared<MenuNode>();
    QPointer<QMenu> menu;
    std::size_t madeAt = 0;
    ~MenuObject() { delete menu.data(); }
};

inline constexpr int MaxSubmenuDepth = 64;

// The menu items go into, and the menus it is in; a menu that has gone
// (its popup replaced) takes nothing.
struct MenuBuilder {
    MenuObject* currentMenu = nullptr;
    std::weak_ptr<MenuNode> currentPlatformMenu;
    std::weak_ptr<MenuNode> parentStack[MaxSubmenuDepth];
    int depth = 0;
};

runtime::ObjectTable<MenuObject>* menus = nullptr;
MenuBuilder builder;
int popupOwnerWindow = -1;  // the window a popup's choice is posted for

runtime::ObjectTable<MenuObject>& Menus() {
    if (!menus) menus = new runtime::ObjectTable<MenuObject>();
    return *menus;
}

MenuNode::Item* Add(MenuNode::Item item) {
    const std::shared_ptr<MenuNode> into = builder.currentPlatformMenu.lock();
    if (!into) return nullptr;
    ++revision;
    into->items.push_back(std::move(item));
    return &into->items.back();
}

void Make(QMenu* menu, const MenuNode& node) {
    for (const MenuNode::Item& item : node.items) {
        if (item.separator) {
            menu->addSeparator();
        } else if (item.submenu) {
            Make(menu->addMenu(item.text), *item.submenu);
        } else {
            QObject::connect(menu->addAction(item.text), &QAction::triggered, menu, [id = item.id] {
                PostEvent(MenuEvent, id, popupOwnerWindow, 0, nullptr, nullptr);
            });
        }
    }
}

}  // namespace

namespace detail {

void InitMenus() {
    delete menus;
    menus = new runtime::ObjectTable<MenuObject>();
    builder = MenuBuilder{};
    ForgetMenuBar();
}

QMenu* PopupMenu(int number) {
    MenuObject* m = Menus().Find(number);
    if (!m) return nullptr;
    if (m->menu && m->madeAt == revision) return m->menu;
    delete m->menu.data();
    m->menu = new QMenu();
    m->menu->setObjectName(QStringLiteral("popup%1").arg(m->number));
    Make(m->menu, *m->root);
    m->madeAt = revision;
    return m->menu;
}

}  // namespace detail

Handle CreatePopup(int number) {
    MenuObject& m = Menus().Take(number);
    m.number = number;
    builder.currentMenu = &m;
    builder.currentPlatformMenu = m.root;  // the depth carries over on purpose
    return detail::HandleOf(m.root.get());
}

Handle OpenSubmenu(const char* title) {
    MenuNode::Item* item = Add({0, QString::fromUtf8(title ? title : ""), std::make_shared<MenuNode>(), false});
    if (!item) return 0;
    // Deeper than the parent stack reaches, items stay in the current menu.
    if (builder.depth < MaxSubmenuDepth) {
        builder.parentStack[builder.depth++] = builder.currentPlatformMenu;
        builder.currentPlatformMenu = item->submenu;
    }
    return detail::HandleOf(item->submenu.get());
}

void CloseSubmenu() {
    if (builder.depth == 0) return;
    builder.currentPlatformMenu = builder.parentStack[--builder.depth];
}

void AddMenuItem(int id, const char* text) { Add({id, QString::fromUtf8(text ? text : ""), nullptr, false}); }

void AddMenuSeparator() { Add({0, QString(), nullptr, true}); }

namespace {

// Shows the popup at a screen position until an item is chosen or it is
// dismissed; the choice arrives later as a MenuEvent for the owner.
void ExecPopup(QMenu* menu, QWidget* owner, QPoint at) {
    if (owner) {
        owner->raise();
        owner->activateWindow();
    }
    popupOwnerWindow = detail::WindowNumberOf(owner);
    detail::ReleaseCanvasCaptures();
    menu->exec(at);
    detail::ForgetEscapePress();
}

}  // namespace

int ShowPopup(int number, Handle window) {
    QMenu* menu = detail::PopupMenu(number);
    if (!menu) return 0;
    // One pixel up and left, so that the pointer rests just inside the menu.
    ExecPopup(menu, detail::WidgetFromHandle(window), QCursor::pos() - QPoint(1, 1));
    return 1;
}

int ShowPopupAt(int number, Handle window, int x, int y) {
    QWidget* owner = detail::WidgetFromHandle(window);
    QMenu* menu = owner ? detail::PopupMenu(number) : nullptr;
    if (!menu) return 0;
    ExecPopup(menu, owner, owner->mapToGlobal(QPoint(x, y + detail::ClientTop(owner))));
    return 1;
}

int AddShortcut(int window, const char* keys, int id) {
    QWidget* w = detail::WindowWidget(window);
    const QKeySequence sequence = QKeySequence::fromString(QString::fromUtf8(keys ? keys : ""));
    if (!w || sequence.isEmpty()) return 0;
    auto* shortcut = new QShortcut(sequence, w);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, w,
                     [window, id] { PostEvent(MenuEvent, id, window, 0, nullptr, nullptr); });
    return 1;
}

}  // namespace windowing
