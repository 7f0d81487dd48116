// The status line: a row of text parts with colour swatches in a strip of
// a window's client area. It is redrawn only when its parts change, and at
// most every 50 ms: a pointer racing across the canvas changes them on every
// cell, and the picture comes first. Its first text waits for the first
// frame for the same reason (the first text drawn loads the fonts).
#include <cstdio>

#include <QPainter>
#include <QTimer>

#include "windowing/internal.h"

namespace windowing {
namespace {

class StatusLine : public QWidget {
public:
    explicit StatusLine(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("statusLine"));
        timer_.setSingleShot(true);
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            textShown_ = true;
            update();
        });
    }

    std::vector<StatusPart> parts;

    // The parts changed: they are shown with the next redraw of the line.
    void Changed() {
        if (!timer_.isActive()) timer_.start();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        if (!textShown_) return;
        p.setPen(palette().windowText().color());
        const QFontMetrics metrics(font());
        const int swatch = height() - 10;
        int x = 6;
        for (const StatusPart& part : parts) {
            if (part.swatch >= 0) {
                const auto v = static_cast<std::uint32_t>(part.swatch);
                p.fillRect(x, 5, swatch, swatch, QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF));
                p.drawRect(x, 5, swatch, swatch);
                x += swatch + 4;
            }
            const QString text = QString::fromStdString(part.text);
            p.drawText(x, 0, width() - x, height(), Qt::AlignVCenter | Qt::AlignLeft, text);
            x += metrics.horizontalAdvance(text) + 14;
        }
    }

private:
    QTimer timer_;
    bool textShown_ = false;
};

StatusLine* StatusLineOf(int window) {
    QWidget* w = detail::WindowWidget(window);
    return w ? w->findChild<StatusLine*>(QStringLiteral("statusLine"), Qt::FindDirectChildrenOnly) : nullptr;
}

}  // namespace

void SetStatusLine(int window, int x, int y, int width, int height, const std::vector<StatusPart>& parts) {
    QWidget* w = detail::WindowWidget(window);
    if (!w) return;
    StatusLine* line = StatusLineOf(window);
    if (!line) {
        line = new StatusLine(w);
        line->setGeometry(x, y, width, height);
        line->show();
    }
    line->parts = parts;
    line->Changed();
}

std::string StatusLineText(int window) {
    const StatusLine* line = StatusLineOf(window);
    if (!line) return std::string();
    std::string text;
    for (const StatusPart& part : line->parts) {
        if (!text.empty()) text += "  ";
        if (part.swatch >= 0) {
            const auto v = static_cast<std::uint32_t>(part.swatch);
            char rgb[16];
            std::snprintf(rgb, sizeof rgb, "[#%02x%02x%02x] ", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
            text += rgb;
        }
        text += part.text;
    }
    return text;
}

}  // namespace windowing
