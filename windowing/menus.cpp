// Popup menus built item by item; the chosen item arrives as a MenuEvent.
#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QShortcut>

#include "runtime/object_table.h"
#include "windowing/internal.h"

namespace windowing {
namespace {

struct MenuObject {
    QPointer<QMenu> menu;
    ~MenuObject() { delete menu.data(); }
};

inline constexpr int MaxSubmenuDepth = 64;

struct MenuBuilder {
    MenuObject* currentMenu = nullptr;
    QPointer<QMenu> currentPlatformMenu;
    QPointer<QMenu> parentStack[MaxSubmenuDepth];
    int depth = 0;
};

runtime::ObjectTable<MenuObject>* menus = nullptr;
MenuBuilder builder;
int popupOwnerWindow = -1;  // the window a popup's choice is posted for

runtime::ObjectTable<MenuObject>& Menus() {
    if (!menus) menus = new runtime::ObjectTable<MenuObject>();
    return *menus;
}

}  // namespace

namespace detail {

void InitMenus() {
    delete menus;
    menus = new runtime::ObjectTable<MenuObject>();
    builder = MenuBuilder{};
    ForgetMenuBar();
}

}  // namespace detail

Handle CreatePopup(int number) {
    MenuObject& m = Menus().Take(number);
    m.menu = new QMenu();
    m.menu->setObjectName(QStringLiteral("popup%1").arg(number));
    builder.currentMenu = &m;
    builder.currentPlatformMenu = m.menu;  // the depth carries over on purpose
    return detail::HandleOf(m.menu.data());
}

Handle OpenSubmenu(const char* title) {
    if (!builder.currentPlatformMenu) return 0;
    QMenu* sub = builder.currentPlatformMenu->addMenu(QString::fromUtf8(title ? title : ""));
    // Deeper than the parent stack reaches, items stay in the current menu.
    if (builder.depth < MaxSubmenuDepth) {
        builder.parentStack[builder.depth++] = builder.currentPlatformMenu;
        builder.currentPlatformMenu = sub;
    }
    return detail::HandleOf(sub);
}

void CloseSubmenu() {
    if (builder.depth == 0) return;
    builder.currentPlatformMenu = builder.parentStack[--builder.depth];
}

void AddMenuItem(int id, const char* text) {
    if (!builder.currentPlatformMenu) return;
    QAction* a = builder.currentPlatformMenu->addAction(QString::fromUtf8(text ? text : ""));
    QObject::connect(a, &QAction::triggered, a, [id] {
        PostEvent(MenuEvent, id, popupOwnerWindow, 0, nullptr, nullptr);
    });
}

void AddMenuSeparator() {
    if (builder.currentPlatformMenu) builder.currentPlatformMenu->addSeparator();
}

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
    MenuObject* m = Menus().Find(number);
    if (!m || !m->menu) return 0;
    // One pixel up and left, so that the pointer rests just inside the menu.
    ExecPopup(m->menu, detail::WidgetFromHandle(window), QCursor::pos() - QPoint(1, 1));
    return 1;
}

int ShowPopupAt(int number, Handle window, int x, int y) {
    MenuObject* m = Menus().Find(number);
    QWidget* owner = detail::WidgetFromHandle(window);
    if (!m || !m->menu || !owner) return 0;
    ExecPopup(m->menu, owner, owner->mapToGlobal(QPoint(x, y + detail::ClientTop(owner))));
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
