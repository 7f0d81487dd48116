// Toolbars of image buttons with tooltips; every button click arrives as a
// MenuEvent carrying the button's id.
#include <QApplication>
#include <QPointer>
#include <vector>

#include "runtime/images.h"
#include "runtime/object_table.h"
#include "windowing/button_strip.h"
#include "windowing/internal.h"

namespace windowing {
namespace {

using detail::ButtonStrip;

struct ToolbarButton {
    int id = -1;
    int imageIndex = 0;
    QAction* action = nullptr;
    int item = -1;  // its place in the row; a separator's too
};

struct ToolbarObject {
    QPointer<ButtonStrip> bar;
    std::vector<QIcon> imageList;
    std::vector<ToolbarButton> buttons;
    ~ToolbarObject() { delete bar.data(); }
};

runtime::ObjectTable<ToolbarObject>* toolbars = nullptr;
ToolbarObject* currentToolbar = nullptr;

runtime::ObjectTable<ToolbarObject>& Toolbars() {
    if (!toolbars) toolbars = new runtime::ObjectTable<ToolbarObject>();
    return *toolbars;
}

ToolbarButton* FindButton(ToolbarObject& t, int id) {
    for (auto& b : t.buttons)
        if (b.id == id && b.action && !b.action->isSeparator()) return &b;
    return nullptr;
}

// A button's picture, at the size it is drawn.
QPixmap Picture(const QIcon& icon) { return icon.pixmap(QSize(16, 16)); }

void AddButton(int id, int imageIndex, bool toggle) {
    if (!currentToolbar || !currentToolbar->bar) return;
    ButtonStrip* bar = currentToolbar->bar;
    auto& images = currentToolbar->imageList;
    if (imageIndex >= 0 && imageIndex <= 15 && images[imageIndex].isNull()) {
        images[imageIndex] = imageIndex == 0 ? QApplication::style()->standardIcon(QStyle::SP_ComputerIcon)
                                             : detail::StandardIcon(imageIndex - 1);
    }
    QIcon icon = imageIndex >= 0 && imageIndex < static_cast<int>(images.size()) ? images[imageIndex] : QIcon();
    auto* action = new QAction(icon, QString(), bar);
    action->setCheckable(toggle);
    QObject::connect(action, &QAction::triggered, bar, [bar, id] {
        PostEvent(MenuEvent, id, detail::WindowNumberOf(bar), 0, nullptr, nullptr);
    });
    const int item = bar->Append(action, true, Picture(icon));
    currentToolbar->buttons.push_back({id, imageIndex, action, item});
    // The toolbar spans its window's width; its height follows its buttons.
    if (QWidget* parent = bar->parentWidget()) bar->resize(parent->width(), bar->sizeHint().height());
}

}  // namespace

namespace detail {

void InitToolbars() {
    delete toolbars;
    toolbars = new runtime::ObjectTable<ToolbarObject>();
    currentToolbar = nullptr;
    static bool readerTold = false;
    if (!readerTold) QAccessible::installFactory(detail::ButtonStripAccessibility);
    readerTold = true;
}

}  // namespace detail

Handle CreateToolbarObject(int number, Handle window) {
    QWidget* parent = detail::WidgetFromHandle(window);
    ToolbarObject& t = Toolbars().Take(number);
    currentToolbar = &t;
    if (!parent) return 0;
    auto* bar = new ButtonStrip(parent);
    bar->setObjectName(QStringLiteral("toolbar%1").arg(number));
    bar->move(0, 0);
    t.bar = bar;
    // Index 0 and the fifteen standard pictures: made when a button uses them.
    t.imageList.resize(1 + 15);
    detail::AttachToolbar(parent, number, bar);
    bar->show();
    return detail::HandleOf(bar);
}

void AddStandardButton(int id, int standardImage) { AddButton(id, standardImage + 1, false); }

void AddImageButton(int id, std::uintptr_t imageHandle, int toggle) {
    if (!currentToolbar || !currentToolbar->bar) return;
    currentToolbar->imageList.push_back(detail::IconFromImage(imageHandle));
    AddButton(id, static_cast<int>(currentToolbar->imageList.size()) - 1, toggle != 0);
}

void AddToolbarSeparator() {
    if (!currentToolbar || !currentToolbar->bar) return;
    auto* sep = new QAction(currentToolbar->bar);
    sep->setSeparator(true);
    const int item = currentToolbar->bar->Append(sep, false, QPixmap());
    currentToolbar->buttons.push_back({-1, 0, sep, item});
}

int SetButtonTip(int toolbar, int id, const char* text) {
    ToolbarObject* t = Toolbars().Find(toolbar);
    if (!t || !t->bar) return 0;
    ToolbarButton* b = FindButton(*t, id);
    if (!b) return 0;
    b->action->setToolTip(QString::fromUtf8(text ? text : ""));  // a screen reader names the button by it
    return 1;
}

int SetButtonName(int toolbar, int id, const char* text) {
    ToolbarObject* t = Toolbars().Find(toolbar);
    ToolbarButton* b = t && t->bar ? FindButton(*t, id) : nullptr;
    if (!b) return 0;
    t->bar->items[static_cast<std::size_t>(b->item)].name = QString::fromUtf8(text ? text : "");
    return 1;
}

int SetButtonImage(int toolbar, int id, std::uintptr_t imageHandle) {
    ToolbarObject* t = Toolbars().Find(toolbar);
    if (!t || !t->bar) return 0;
    ToolbarButton* b = FindButton(*t, id);
    if (!b) return 0;
    const QIcon icon = detail::IconFromImage(imageHandle);
    b->action->setIcon(icon);
    t->bar->items[static_cast<std::size_t>(b->item)].picture = Picture(icon);
    t->bar->Changed(b->item);
    return 1;
}

int SetButtonPressed(int toolbar, int id, int state) {
    ToolbarObject* t = Toolbars().Find(toolbar);
    if (!t || !t->bar) return 0;
    ToolbarButton* b = FindButton(*t, id);
    if (!b) return 0;
    if (b->action->isCheckable()) {
        b->action->setChecked(state != 0);
    } else {
        t->bar->items[static_cast<std::size_t>(b->item)].down = state != 0;  // a plain button shows pushed in
        t->bar->Changed(b->item);
    }
    return 1;
}

}  // namespace windowing
