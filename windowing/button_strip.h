// The toolbar's row of buttons, drawn by the program, and how a screen
// reader is told of it.
#pragma once

#include <QAction>
#include <QAccessible>
#include <QActionEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QToolButton>
#include <QToolTip>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "windowing/internal.h"

namespace windowing::detail {

// A row of buttons, edge to edge, with separators between groups, drawn
// here as a flat toolbar's are: a button is raised while the pointer is
// over it and sunk while it is held, checked or shown pushed in, and clicks
// when the button is let go over it. The row draws its buttons itself: the
// toolkit's tool buttons (a widget each, painted by the style) were two
// thirds of a megabyte of the program's memory at start. Buttons the row has
// no room for are offered from a chevron at its end.
class ButtonStrip : public QWidget {
public:
    static constexpr int ButtonSize = 24;  // a 16x16 picture, a pixel around it and the button's edge

    struct Item {
        QAction* action;
        bool button;
        QPixmap picture;
        QString name;       // for a screen reader, when not its tip
        bool down = false;  // shown pushed in
        QRect at;           // invalid while it has no room
    };
    std::vector<Item> items;

    explicit ButtonStrip(QWidget* parent) : QWidget(parent) {
        setProperty(ButtonStripProperty, true);
        setMouseTracking(true);
    }

    // Places the next item, a button with its picture or a separator. The
    // row is laid out when it is first shown, and again at each change after.
    int Append(QAction* action, bool button, const QPixmap& picture) {
        addAction(action);  // the strip's actions() are its items, in order
        items.push_back({action, button, picture, QString(), false, QRect()});
        if (isVisible()) LayOut();
        return static_cast<int>(items.size()) - 1;
    }

    void Changed(int item) {
        if (item >= 0 && item < static_cast<int>(items.size())) update(items[static_cast<std::size_t>(item)].at);
    }

    // Every button back to its normal look; a checked one stays checked.
    void LetGo() {
        for (Item& item : items) item.down = false;
        held_ = -1;
        update();
    }

    // The button a screen reader presses, as a click would.
    void Press(std::size_t item) {
        if (item < items.size() && items[item].button && items[item].action->isEnabled()) items[item].action->trigger();
    }

    QSize sizeHint() const override {
        QSize size(0, 0);
        for (const Item& item : items)
            size = QSize(size.width() + Width(item), std::max(size.height(), item.button ? ButtonSize : 0));
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
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Item& item = items[i];
            if (!item.at.isValid()) continue;
            if (item.button) {
                PaintButton(p, item, static_cast<int>(i));
                continue;
            }
            QStyleOption separator;
            separator.initFrom(this);
            separator.rect = item.at;
            separator.state |= QStyle::State_Horizontal;
            style()->drawPrimitive(QStyle::PE_IndicatorToolBarSeparator, &separator, &p, this);
        }
    }

    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::RightButton) LetGo();
        if (e->button() != Qt::LeftButton) return e->ignore();
        held_ = ButtonAt(e->position().toPoint());
        if (held_ < 0) return e->ignore();
        heldInside_ = true;
        Changed(held_);
    }

    void mouseMoveEvent(QMouseEvent* e) override {
        const int at = ButtonAt(e->position().toPoint());
        if (at != over_) {
            Changed(over_);
            over_ = at;
            Changed(over_);
        }
        if (held_ >= 0 && heldInside_ != (at == held_)) {
            heldInside_ = at == held_;
            Changed(held_);
        }
    }

    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton || held_ < 0) return e->ignore();
        const int clicked = held_;
        held_ = -1;
        Changed(clicked);
        if (ButtonAt(e->position().toPoint()) == clicked) Press(static_cast<std::size_t>(clicked));
    }

    void leaveEvent(QEvent*) override {
        Changed(over_);
        over_ = -1;
    }

    bool event(QEvent* e) override {
        if (e->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(e);
            const int at = ButtonAt(help->pos());
            const QString tip = at >= 0 ? items[static_cast<std::size_t>(at)].action->toolTip() : QString();
            if (tip.isEmpty()) {
                QToolTip::hideText();
                e->ignore();
            } else {
                QToolTip::showText(help->globalPos(), tip, this, items[static_cast<std::size_t>(at)].at);
            }
            return true;
        }
        return QWidget::event(e);
    }

    // A button's action checked or unchecked, or given another picture.
    void actionEvent(QActionEvent* e) override {
        if (e->type() == QEvent::ActionChanged) update();
        QWidget::actionEvent(e);
    }

    void showEvent(QShowEvent*) override { LayOut(); }
    void resizeEvent(QResizeEvent*) override {
        if (isVisible()) LayOut();
    }

private:
    int held_ = -1;  // the button the left button went down on
    bool heldInside_ = false;
    int over_ = -1;  // the button under the pointer

    int Width(const Item& item) const {
        return item.button ? ButtonSize : style()->pixelMetric(QStyle::PM_ToolBarSeparatorExtent, nullptr, this);
    }

    int ButtonAt(QPoint at) const {
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i].button && items[i].at.contains(at)) return static_cast<int>(i);
        return -1;
    }

    void PaintButton(QPainter& p, const Item& item, int index) const {
        const bool held = index == held_ && heldInside_;
        const bool sunk = held || item.down || item.action->isChecked();
        const QRect r = item.at;
        if (sunk && !held && index != over_) p.fillRect(r, palette().midlight());
        if (sunk || index == over_) {
            const QColor topLeft = palette().color(sunk ? QPalette::Dark : QPalette::Light);
            const QColor bottomRight = palette().color(sunk ? QPalette::Light : QPalette::Dark);
            p.fillRect(r.left(), r.top(), r.width() - 1, 1, topLeft);
            p.fillRect(r.left(), r.top(), 1, r.height() - 1, topLeft);
            p.fillRect(r.left() + 1, r.bottom(), r.width() - 1, 1, bottomRight);
            p.fillRect(r.right(), r.top() + 1, 1, r.height() - 1, bottomRight);
        }
        const int shift = sunk ? 1 : 0;
        p.drawPixmap(r.left() + (r.width() - 16) / 2 + shift, r.top() + (r.height() - 16) / 2 + shift, item.picture);
    }

    void LayOut() {
        const QSize whole = sizeHint();
        const int rowHeight = whole.height();
        // With too little room, the chevron takes the end of the row.
        const bool overflow = whole.width() > width();
        if (overflow && !chevron) MakeChevron();
        const int room = overflow ? width() - chevron->sizeHint().width() : whole.width();
        int x = 0;
        QList<QAction*> hidden;
        for (Item& item : items) {
            const int w = Width(item);
            const bool fits = x + w <= room && hidden.isEmpty();
            item.at = fits ? QRect(x, 0, w, rowHeight) : QRect();
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

    QToolButton* chevron = nullptr;
};

// The row's accessible interface, for the accessibility factory.
QAccessibleInterface* ButtonStripAccessibility(const QString& className, QObject* object);

}  // namespace windowing::detail
