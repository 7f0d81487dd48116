// Toolbars of image buttons with tooltips; every button click arrives as a
// MenuEvent carrying the button's id.
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPolygon>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleOption>
#include <QToolButton>
#include <algorithm>
#include <vector>

#include "runtime/images.h"
#include "runtime/object_table.h"
#include "windowing/internal.h"

namespace windowing {
namespace {

struct ToolbarButton {
    int id = -1;
    int imageIndex = 0;
    QAction* action = nullptr;
    QToolButton* button = nullptr;  // none for a separator
};

// A row of tool buttons, edge to edge, with separators between groups, drawn
// as a toolbar is. The toolkit's own toolbar lays its buttons out again and
// again as they are added, and makes its overflow machinery up front: that
// was most of the cost of the window's first frame beyond a bare window's.
// Buttons the row has no room for are offered from a chevron at its end.
class ButtonStrip : public QWidget {
public:
    explicit ButtonStrip(QWidget* parent) : QWidget(parent) { setProperty(detail::ButtonStripProperty, true); }

    // Places the next item; a button already carries its action. The row
    // is laid out when it is first shown, and again at each change after.
    void Append(QAction* action, QToolButton* button) {
        addAction(action);  // the strip's actions() are its items, in order
        items.push_back({action, button, QRect()});
        if (isVisible()) LayOut();
    }

    QSize sizeHint() const override {
        const int separatorWidth = style()->pixelMetric(QStyle::PM_ToolBarSeparatorExtent, nullptr, this);
        QSize size(0, 0);
        for (const Item& item : items) {
            const QSize s = item.button ? item.button->sizeHint() : QSize(separatorWidth, 0);
            size = QSize(size.width() + s.width(), std::max(size.height(), s.height()));
        }
        return size;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QStyleOptionToolBar bar;
        bar.initFrom(this);
        bar.state |= QStyle::State_Horizontal;
        bar.lineWidth = style()->pixelMetric(QStyle::PM_ToolBarFrameWidth, nullptr, this);
        bar.features = QStyleOptionToolBar::None;
        bar.toolBarArea = Qt::NoToolBarArea;
        bar.positionOfLine = QStyleOptionToolBar::OnlyOne;
        bar.positionWithinLine = QStyleOptionToolBar::OnlyOne;
        style()->drawControl(QStyle::CE_ToolBar, &bar, &p, this);
        for (const Item& item : items) {
            if (item.button || !item.at.isValid()) continue;
            QStyleOption separator;
            separator.initFrom(this);
            separator.rect = item.at;
            separator.state |= QStyle::State_Horizontal;
            style()->drawPrimitive(QStyle::PE_IndicatorToolBarSeparator, &separator, &p, this);
        }
    }

    void showEvent(QShowEvent*) override { LayOut(); }
    void resizeEvent(QResizeEvent*) override {
        if (isVisible()) LayOut();
    }

private:
    struct Item {
        QAction* action;
        QToolButton* button;
        QRect at;  // invalid while it has no room
    };

    void LayOut() {
        const int separatorWidth = style()->pixelMetric(QStyle::PM_ToolBarSeparatorExtent, nullptr, this);
        const QSize whole = sizeHint();
        const int rowHeight = whole.height();
        // With too little room, the chevron takes the end of the row.
        const bool overflow = whole.width() > width();
        if (overflow && !chevron) MakeChevron();
        const int room = overflow ? width() - chevron->sizeHint().width() : whole.width();
        int x = 0;
        QList<QAction*> hidden;
        for (Item& item : items) {
            const int w = item.button ? item.button->sizeHint().width() : separatorWidth;
            const bool fits = x + w <= room && hidden.isEmpty();
            item.at = fits ? QRect(x, 0, w, rowHeight) : QRect();
            if (item.button) {
                if (fits) item.button->setGeometry(item.at);
                item.button->setVisible(fits);
            }
            if (!fits && item.button) hidden.push_back(item.action);
            x += w;
        }
        if (chevron) {
            chevron->setVisible(overflow);
            chevron->setGeometry(width() - chevron->sizeHint().width(), 0, chevron->sizeHint().width(), rowHeight);
            chevron->menu()->clear();
            chevron->menu()->addActions(hidden);
        }
        update();
    }

    void MakeChevron() {
        chevron = new QToolButton(this);
        chevron->setAutoRaise(true);
        chevron->setFocusPolicy(Qt::NoFocus);
        chevron->setIcon(style()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, nullptr, this));
        chevron->setPopupMode(QToolButton::InstantPopup);
        chevron->setMenu(new QMenu(chevron));
    }

    std::vector<Item> items;
    QToolButton* chevron = nullptr;
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



// Right-clicking a toolbar returns every button to its normal look.
class RightClickRelease : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(e)->button() == Qt::RightButton) {
            auto* bar = dynamic_cast<ButtonStrip*>(watched);
            if (!bar) bar = dynamic_cast<ButtonStrip*>(watched->parent());
            if (bar) {
                const auto buttons = bar->findChildren<QToolButton*>();
                for (auto it = buttons.rbegin(); it != buttons.rend(); ++it) (*it)->setDown(false);
                if (QWidget* grabber = QWidget::mouseGrabber(); grabber && bar->isAncestorOf(grabber))
                    grabber->releaseMouse();
            }
        }
        return false;
    }
};

RightClickRelease* rightClickRelease = nullptr;

// A screen reader is told the row is a toolbar, as the toolkit's own is.
QAccessibleInterface* ToolbarAccessibility(const QString&, QObject* object) {
    auto* strip = dynamic_cast<ButtonStrip*>(object);
    return strip ? new QAccessibleWidget(strip, QAccessible::ToolBar) : nullptr;
}

ToolbarButton* FindButton(ToolbarObject& t, int id) {
    for (auto& b : t.buttons)
        if (b.id == id && b.action && !b.action->isSeparator()) return &b;
    return nullptr;
}

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
    // As a toolbar makes its buttons: flat until the pointer is over them,
    // never taking the keyboard focus from the window's canvas.
    auto* button = new QToolButton(bar);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(16, 16));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setDefaultAction(action);
    button->installEventFilter(rightClickRelease);
    bar->Append(action, button);
    currentToolbar->buttons.push_back({id, imageIndex, action, button});
    // The toolbar spans its window's width; its height follows its buttons.
    if (QWidget* parent = bar->parentWidget()) bar->resize(parent->width(), bar->sizeHint().height());
}

}  // namespace

namespace detail {

void InitToolbars() {
    delete toolbars;
    toolbars = new runtime::ObjectTable<ToolbarObject>();
    currentToolbar = nullptr;
    if (!rightClickRelease) {
        rightClickRelease = new RightClickRelease();
        QAccessible::installFactory(ToolbarAccessibility);
    }
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
    bar->installEventFilter(rightClickRelease);
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
    currentToolbar->bar->Append(sep, nullptr);
    currentToolbar->buttons.push_back({-1, 0, sep, nullptr});
}

int SetButtonTip(int toolbar, int id, const char* text) {
    ToolbarObject* t = Toolbars().Find(toolbar);
    if (!t || !t->bar) return 0;
    ToolbarButton* b = FindButton(*t, id);
    if (!b) return 0;
    b->action->setToolTip(QString::fromUtf8(text ? text : ""));
    // A screen reader names the button by its tip.
    if (b->button) b->button->setAccessibleName(b->action->toolTip());
    return 1;
}

int SetButtonName(int toolbar, int id, const char* text) {
    ToolbarObject* t = Toolbars().Find(toolbar);
    ToolbarButton* b = t && t->bar ? FindButton(*t, id) : nullptr;
    if (!b || !b->button) return 0;
    b->button->setAccessibleName(QString::fromUtf8(text ? text : ""));
    return 1;
}

int SetButtonImage(int toolbar, int id, std::uintptr_t imageHandle) {
    ToolbarObject* t = Toolbars().Find(toolbar);
    if (!t || !t->bar) return 0;
    ToolbarButton* b = FindButton(*t, id);
    if (!b) return 0;
    b->action->setIcon(detail::IconFromImage(imageHandle));
    return 1;
}

int SetButtonPressed(int toolbar, int id, int state) {
    ToolbarObject* t = Toolbars().Find(toolbar);
    if (!t || !t->bar) return 0;
    ToolbarButton* b = FindButton(*t, id);
    if (!b) return 0;
    if (b->action->isCheckable()) {
        b->action->setChecked(state != 0);
    } else if (b->button) {
        b->button->setDown(state != 0);  // a plain button shows pushed in
    }
    return 1;
}

}  // namespace windowing
