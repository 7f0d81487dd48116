// The status line: a row of text parts with colour swatches in a strip of
// a window's client area. It is redrawn only when its parts change, and at
// most once a frame: a pointer racing across the canvas changes them on every
// cell, faster than a screen shows. Its text is drawn with the program's own
// character dots, so that showing it loads no fonts; text they do not cover
// (a file name in another script) is drawn in the desktop's font.
#include <cstdio>
#include <cstring>

#include <QPainter>
#include <QPaintEvent>
#include <QTimer>

#include "windowing/internal.h"

namespace windowing {
namespace {

int glyphFirst = 0;
std::vector<std::uint8_t> glyphRows;  // eight a character

bool HasGlyphs(const std::string& text) {
    const int count = static_cast<int>(glyphRows.size() / 8);
    for (const unsigned char c : text)
        if (c < glyphFirst || c >= glyphFirst + count) return false;
    return true;
}

class StatusLine : public QWidget {
public:
    explicit StatusLine(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("statusLine"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    std::vector<StatusPart> parts;

    // The parts changed: they are drawn with the next paint, at most once a
    // frame while the pointer sweeps.
    void Changed() {
        stale_ = true;
        frames_.Request();
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        if (stale_ || strip_.size() != size()) Render();
        QPainter p(this);
        p.drawImage(e->rect().topLeft(), strip_, e->rect());
    }

private:
    void Render() {
        if (strip_.size() != size()) strip_ = QImage(size(), QImage::Format_RGB32);
        if (strip_.isNull()) return;
        const QRgb ink = palette().windowText().color().rgb() | 0xFF000000u;
        strip_.fill(palette().window().color());
        stale_ = false;
        const auto dot = [&](int x, int y, QRgb colour) {
            if (x >= 0 && x < strip_.width() && y >= 0 && y < strip_.height())
                reinterpret_cast<QRgb*>(strip_.scanLine(y))[x] = colour;
        };
        const int swatch = height() - 10;
        const int textTop = (height() - 8) / 2;
        int x = 6;
        for (const StatusPart& part : parts) {
            if (part.swatch >= 0) {
                const auto v = static_cast<std::uint32_t>(part.swatch);
                const QRgb fill = qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
                for (int dy = 0; dy <= swatch; ++dy)
                    for (int dx = 0; dx <= swatch; ++dx)
                        dot(x + dx, 5 + dy, dx == 0 || dy == 0 || dx == swatch || dy == swatch ? ink : fill);
                x += swatch + 4;
            }
            if (HasGlyphs(part.text)) {
                for (const unsigned char c : part.text) {
                    const std::uint8_t* rows = glyphRows.data() + 8 * (c - glyphFirst);
                    for (int row = 0; row < 8; ++row)
                        for (int col = 0; col < 7; ++col)
                            if (rows[row] & (0x40 >> col)) dot(x + col, textTop + row, ink);
                    x += 7;
                }
            } else {
                QPainter p(&strip_);
                p.setPen(palette().windowText().color());
                p.setFont(font());
                const QString text = QString::fromStdString(part.text);
                p.drawText(x, 0, width() - x, height(), Qt::AlignVCenter | Qt::AlignLeft, text);
                x += QFontMetrics(font()).horizontalAdvance(text);
            }
            x += 14;
        }
    }

    bool stale_ = true;
    QImage strip_;
    detail::FrameThrottle frames_{[this] {
        update();
        detail::AnnounceStatus(this);
    }};
};

StatusLine* StatusLineOf(int window) {
    QWidget* w = detail::WindowWidget(window);
    if (!w) return nullptr;
    // The last one asked for is looked up once: it is asked for on every cell.
    static QPointer<StatusLine> last;
    if (last && last->parentWidget() == w) return last;
    last = w->findChild<StatusLine*>(QStringLiteral("statusLine"), Qt::FindDirectChildrenOnly);
    return last;
}

}  // namespace

void SetStatusLineGlyphs(int first, int count, const std::uint8_t* rows) {
    glyphFirst = first;
    glyphRows.assign(rows, rows + 8 * static_cast<std::size_t>(std::max(count, 0)));
}

void SetStatusLine(int window, int x, int y, int width, int height, std::vector<StatusPart> parts) {
    QWidget* w = detail::WindowWidget(window);
    if (!w) return;
    StatusLine* line = StatusLineOf(window);
    if (!line) {
        line = new StatusLine(w);
        line->setGeometry(x, y, width, height);
        line->show();
    }
    line->parts = std::move(parts);
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
