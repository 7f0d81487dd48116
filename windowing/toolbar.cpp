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
    explicit ButtonStrip(QWidget* parent) : QWidget(parent) {}

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

// New, Open and Save, drawn here at 16x16: looking them up in an icon theme
// or the style reads image files through every image-format plugin, which
// alone made start-up half as slow again.
QIcon DrawnFileIcon(int n) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const QColor ink(40, 40, 48);
    p.setPen(ink);
    if (n == StandardFileNew) {  // a sheet with its corner folded
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygon({QPoint(3, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 14), QPoint(3, 14)}));
        p.drawPolyline(QPolygon({QPoint(10, 1), QPoint(10, 4), QPoint(13, 4)}));
    } else if (n == StandardFileOpen) {  // a folder, its front open
        p.setBrush(QColor(232, 184, 72));
        p.drawPolygon(QPolygon({QPoint(1, 3), QPoint(6, 3), QPoint(7, 5), QPoint(13, 5), QPoint(13, 13), QPoint(1, 13)}));
        p.setBrush(QColor(248, 214, 118));
        p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 13), QPoint(1, 13)}));
    } else {  // a diskette
        p.setBrush(QColor(60, 96, 170));
        p.drawRect(1, 1, 13, 13);
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 7, 5);
        p.fillRect(QRect(8, 2, 2, 3), ink);
        p.setBrush(QColor(200, 200, 208));
        p.drawRect(3, 9, 9, 5);
    }
    p.end();
    return QIcon(pixmap);
}

// Buttons packed edge to edge in a toolbar with no frame, as a compact
// tool strip is. (A style sheet would do it too, at a megabyte of memory.)
class CompactToolbarStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        switch (metric) {
        case PM_ToolBarItemSpacing:
        case PM_ToolBarItemMargin:
        case PM_ToolBarFrameWidth:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        // An icon and one pixel around it, and the button's own frame (in a
        // toolbar only: this style is the whole program's, see below).
        if (type == CT_ToolButton && widget && dynamic_cast<ButtonStrip*>(widget->parentWidget()))
            return size + QSize(8, 8);
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }
    // The overflow button's chevron, drawn: the style's own is an image file,
    // and reading it makes the toolkit load every image format it has.
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const override {
        if (icon != SP_ToolBarHorizontalExtensionButton && icon != SP_ToolBarVerticalExtensionButton)
            return QProxyStyle::standardIcon(icon, option, widget);
        QPixmap pixmap(8, 8);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setPen(QApplication::palette().color(QPalette::WindowText));
        const bool across = icon == SP_ToolBarHorizontalExtensionButton;
        for (int i = 0; i < 2; ++i) {
            const int at = 1 + 4 * i;
            if (across) p.drawPolyline(QPolygon({QPoint(at, 1), QPoint(at + 2, 4), QPoint(at, 7)}));
            else p.drawPolyline(QPolygon({QPoint(1, at), QPoint(4, at + 2), QPoint(7, at)}));
        }
        return QIcon(pixmap);
    }
};

QStyle* CompactStyle() {
    static QPointer<QStyle> style;
    if (!style) style = new CompactToolbarStyle();
    return style;
}

}  // namespace

// A 24-bit image is opaque; a 32-bit one keeps its alpha when any pixel has
// some.
QImage detail::ImageFromPixels(const runtime::ImagePixels& px) {
    QImage image(px.width, px.height, QImage::Format_ARGB32);
    if (image.isNull()) return image;
    bool anyAlpha = false;
    const int bpp = px.depth / 8;
    for (int y = 0; y < px.height; ++y) {
        const std::uint8_t* row = px.bits.data() + static_cast<std::size_t>(px.height - 1 - y) * px.stride;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < px.width; ++x) {
            const std::uint8_t* p = row + x * bpp;
            const int alpha = bpp == 4 ? p[3] : 255;
            anyAlpha |= bpp == 4 && alpha != 0;
            out[x] = qRgba(p[2], p[1], p[0], alpha);
        }
    }
    if (bpp == 4 && !anyAlpha) image = image.convertToFormat(QImage::Format_RGB32);
    return image;
}

// The program's style, set before any widget exists: a toolbar takes its
// overflow button's icon from the style it is made with, before a style of
// its own could be given to it.
void detail::InstallProgramStyle() {
    if (QApplication::style() != CompactStyle()) QApplication::setStyle(CompactStyle());
}

namespace {

// The platform's fifteen standard pictures, in their published order.
QIcon StandardIcon(int n) {
    struct Picture {
        const char* theme;
        QStyle::StandardPixmap fallback;
    };
    static const Picture pictures[] = {
        {"edit-cut", QStyle::SP_DialogDiscardButton},     {"edit-copy", QStyle::SP_FileLinkIcon},
        {"edit-paste", QStyle::SP_DialogApplyButton},     {"edit-undo", QStyle::SP_ArrowBack},
        {"edit-redo", QStyle::SP_ArrowForward},           {"edit-delete", QStyle::SP_TrashIcon},
        {"document-new", QStyle::SP_FileIcon},            {"document-open", QStyle::SP_DialogOpenButton},
        {"document-save", QStyle::SP_DialogSaveButton},   {"document-print-preview", QStyle::SP_FileDialogContentsView},
        {"document-properties", QStyle::SP_FileDialogInfoView}, {"help-contents", QStyle::SP_DialogHelpButton},
        {"edit-find", QStyle::SP_FileDialogListView},     {"edit-find-replace", QStyle::SP_BrowserReload},
        {"document-print", QStyle::SP_DriveHDIcon},
    };
    if (n < 0 || n >= 15) return QIcon();
    if (n == StandardFileNew || n == StandardFileOpen || n == StandardFileSave) return DrawnFileIcon(n);
    return QIcon::fromTheme(QString::fromLatin1(pictures[n].theme),
                            QApplication::style()->standardIcon(pictures[n].fallback));
}

// A runtime image as a button picture.
QIcon IconFromImage(std::uintptr_t handle) {
    const runtime::ImagePixels* px = runtime::ImagePixelsFromHandle(handle);
    return px ? QIcon(QPixmap::fromImage(detail::ImageFromPixels(*px))) : QIcon();
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
                                             : StandardIcon(imageIndex - 1);
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
    currentToolbar->imageList.push_back(IconFromImage(imageHandle));
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
    b->action->setIcon(IconFromImage(imageHandle));
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
