// How the toolbar looks: the program's compact style, and the pictures its
// buttons show (drawn here, the platform's standard ones, or the program's
// own images).
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPolygon>
#include <QVariant>
#include <QProxyStyle>
#include <QStyle>

#include "runtime/images.h"
#include "windowing/internal.h"

namespace windowing {
namespace {

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
        if (type == CT_ToolButton && widget && widget->parentWidget() &&
            widget->parentWidget()->property(detail::ButtonStripProperty).toBool())
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

// The platform's fifteen standard pictures, in their published order.
QIcon detail::StandardIcon(int n) {
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
QIcon detail::IconFromImage(std::uintptr_t handle) {
    const runtime::ImagePixels* px = runtime::ImagePixelsFromHandle(handle);
    return px ? QIcon(QPixmap::fromImage(detail::ImageFromPixels(*px))) : QIcon();
}

}  // namespace windowing
