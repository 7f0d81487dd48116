// The status line: a row of text parts with colour swatches in a strip of
// a window's client area. It is redrawn only where its parts change, and at
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

using detail::HasGlyphs;

class StatusLine : public QWidget {
public:
    explicit StatusLine(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("statusLine"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    std::vector<StatusPart> parts;

    // The parts changed: they are drawn with the next paint.
    void Changed() { frames_.Request(); }

protected:
    // Drawn straight into the window's backing store where it can be (a
    // copy of the strip kept for its paints was 66 KiB), else through a
    // picture of just the part to paint.
    void paintEvent(QPaintEvent* e) override {
        if (shownSize_ != size()) Show();
        const QRect r = e->rect();
        QPainter p(this);
        QPoint offset;
        if (QImage* target = detail::PaintTarget(p, offset)) {
            Draw(*target, offset, r.left(), r.right() + 1, p);
            return;
        }
        QImage part(r.size(), QImage::Format_RGB32);
        if (part.isNull()) return;
        {
            QPainter onPart(&part);
            onPart.translate(-r.topLeft());
            Draw(part, -r.topLeft(), r.left(), r.right() + 1, onPart);
        }
        p.drawImage(r.topLeft(), part);
    }

private:
    struct Span {
        int left = 0, right = 0;
        int row = 0;  // 0, or 1 for what did not fit on the first row
        bool operator==(const Span&) const = default;
    };

    int SwatchSide(bool twoRows) const { return twoRows ? 8 : height() - 10; }
    int TextTop(int row, bool twoRows) const { return twoRows ? 3 + 12 * row : (height() - 8) / 2; }
    static bool TwoRows(const std::vector<Span>& spans) { return !spans.empty() && spans.back().row == 1; }

    // Where each part is drawn: a swatch, the text, then a gap. What does
    // not fit on one row goes on a second one, so that every notice is read
    // whole.
    std::vector<Span> Layout(const std::vector<StatusPart>& of) const {
        std::vector<Span> spans;
        for (const bool twoRows : {false, true}) {
            spans.clear();
            int x = 6, row = 0;
            for (const StatusPart& part : of) {
                int w = part.swatch >= 0 ? SwatchSide(twoRows) + 1 + 3 : 0;
                w += HasGlyphs(part.text) ? 7 * static_cast<int>(part.text.size())
                                          : QFontMetrics(font()).horizontalAdvance(QString::fromStdString(part.text));
                if (twoRows && row == 0 && x > 6 && x + w > width() - 6) x = 6, row = 1;
                spans.push_back({x, x + w, row});
                x += w + 14;
            }
            if (x - 14 <= width() - 6) break;
        }
        return spans;
    }

    // What differs from what the strip shows is drawn again, and just that
    // is marked for the paint: a move changes the cell and the colour under
    // it, seldom the rest.
    void Refresh() {
        const std::vector<Span> spans = Layout(parts);
        int left = width(), right = 0;
        for (std::size_t i = 0; i < std::max(parts.size(), shown_.size()); ++i) {
            const bool old = i < shown_.size(), now = i < parts.size();
            if (old && now && shown_[i].text == parts[i].text && shown_[i].swatch == parts[i].swatch &&
                shownSpans_[i] == spans[i] && TwoRows(shownSpans_) == TwoRows(spans))
                continue;
            if (old) left = std::min(left, shownSpans_[i].left), right = std::max(right, shownSpans_[i].right);
            if (now) left = std::min(left, spans[i].left), right = std::max(right, spans[i].right);
        }
        if (shownSize_ != size()) left = 0, right = width();
        if (left >= right) return;
        Show(spans);
        update(QRect(left, 0, right - left, height()));
        detail::AnnounceStatus(this);
    }

    void Show(std::vector<Span> spans = {}) {
        shown_ = parts;
        shownSpans_ = spans.empty() ? Layout(parts) : std::move(spans);
        shownSize_ = size();
    }

    // Draws the parts shown, between the strip's columns left and right, into
    // an image where the strip's (0, 0) is at offset; text without dots
    // through painter, which paints on it in the strip's coordinates.
    void Draw(QImage& image, QPoint offset, int left, int right, QPainter& painter) const {
        const QRgb ink = palette().windowText().color().rgb() | 0xFF000000u;
        const QRgb paper = palette().window().color().rgb() | 0xFF000000u;
        // Straight into the image's pixels: a dot at a time through the
        // image's checked calls cost more than the rest of a pointer move.
        auto* const pixels = reinterpret_cast<QRgb*>(image.bits());
        const qsizetype line = image.bytesPerLine() / 4;
        const int height = std::min(this->height(), image.height() - offset.y());
        left = std::max({left, 0, -offset.x()});
        right = std::min({right, width(), image.width() - offset.x()});
        if (left >= right || offset.y() < 0) return;
        const auto at = [&](int x, int y) -> QRgb& { return pixels[(y + offset.y()) * line + x + offset.x()]; };
        for (int y = 0; y < height; ++y) std::fill(&at(left, y), &at(left, y) + (right - left), paper);
        const auto box = [&](int boxLeft, int top, int side, QRgb fill) {
            for (int y = std::max(top, 0); y < std::min(top + side, height); ++y)
                for (int x = std::max(boxLeft, left); x < std::min(boxLeft + side, right); ++x) {
                    const bool edge = x == boxLeft || y == top || x == boxLeft + side - 1 || y == top + side - 1;
                    at(x, y) = edge ? ink : fill;
                }
        };
        const bool twoRows = TwoRows(shownSpans_);
        const int swatch = SwatchSide(twoRows);
        for (std::size_t i = 0; i < shown_.size(); ++i) {
            const StatusPart& part = shown_[i];
            int x = shownSpans_[i].left;
            const int textTop = TextTop(shownSpans_[i].row, twoRows);
            if (x >= right || shownSpans_[i].right <= left) continue;
            if (part.swatch >= 0) {
                const auto v = static_cast<std::uint32_t>(part.swatch);
                box(x, twoRows ? textTop - 1 : 5, swatch + 1, qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF));
                x += swatch + 4;
            }
            if (HasGlyphs(part.text)) {
                detail::DrawGlyphs(image, left + offset.x(), right + offset.x(), x + offset.x(), textTop + offset.y(),
                                   part.text, ink);
            } else {
                painter.save();
                painter.setClipRect(left, 0, right - left, height);
                painter.setPen(palette().windowText().color());
                painter.setFont(font());
                const int rowHeight = twoRows ? this->height() / 2 : this->height();
                painter.drawText(x, twoRows ? rowHeight * shownSpans_[i].row : 0, width() - x, rowHeight,
                                 Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(part.text));
                painter.restore();
            }
        }
    }

    std::vector<StatusPart> shown_;  // what the strip shows, where
    std::vector<Span> shownSpans_;
    QSize shownSize_;
    detail::FrameThrottle frames_{[this] { Refresh(); }};
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

namespace detail {

bool HasGlyphs(const std::string& text) {
    const int count = static_cast<int>(glyphRows.size() / 8);
    for (const unsigned char c : text)
        if (c < glyphFirst || c >= glyphFirst + count) return false;
    return true;
}

void DrawGlyphs(QImage& image, int left, int right, int x, int top, const std::string& text, QRgb ink) {
    auto* const pixels = reinterpret_cast<QRgb*>(image.bits());
    const qsizetype line = image.bytesPerLine() / 4;
    left = std::max(left, 0);
    right = std::min(right, image.width());
    for (const unsigned char c : text) {
        const std::uint8_t* rows = glyphRows.data() + 8 * (c - glyphFirst);
        for (int row = 0; row < 8; ++row) {
            const int y = top + row;
            if (y < 0 || y >= image.height() || !rows[row]) continue;
            for (int col = 0; col < 7; ++col)
                if ((rows[row] & (0x40 >> col)) && x + col >= left && x + col < right) pixels[y * line + x + col] = ink;
        }
        x += 7;
    }
}

}  // namespace detail

void SetStatusLineGlyphs(int first, int count, const std::uint8_t* rows) {
    glyphFirst = first;
    glyphRows.assign(rows, rows + 8 * static_cast<std::size_t>(std::max(count, 0)));
}

void SetStatusLine(int window, int x, int y, int width, int height, std::vector<StatusPart> parts) {
    QWidget* w = detail::WindowWidget(window);
    if (!w) return;
    StatusLine* line = StatusLineOf(window);
    y += detail::ClientTop(w);
    if (!line) {
        line = new StatusLine(w);
        line->setGeometry(x, y, width, height);
        line->show();
    } else if (line->geometry() != QRect(x, y, width, height)) {
        line->setGeometry(x, y, width, height);
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
