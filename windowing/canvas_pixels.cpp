// The canvas's bitmap made into the screen's pixels: at one pixel a canvas
// pixel, eight pixels a step; enlarged, through the device-pixel mapping
// that hit testing uses too.
#include <algorithm>
#include <bit>
#include <cstring>

#include "windowing/canvas_widget.h"

namespace windowing::detail {
namespace {

inline std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline void Store64(std::uint32_t* p, std::uint64_t v) { std::memcpy(p, &v, 8); }

}  // namespace

void ConvertBitmap(const Bitmap& b, QImage& image, QPoint at, QRect area) {
    static_assert(std::endian::native == std::endian::little, "pixels are assembled little-endian");
    area &= QRect(0, 0, b.width, b.height) & image.rect().translated(at);
    const int x0 = area.left(), x1 = area.right() + 1;
    if (area.isEmpty()) return;
    std::uint8_t* const pixels = image.bits();  // one detach check, not one a row
    const qsizetype line = image.bytesPerLine();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const std::uint8_t* src =
            b.bits + static_cast<std::size_t>(b.height - 1 - y) * b.stride + 3 * static_cast<std::size_t>(x0);
        auto* dst = reinterpret_cast<std::uint32_t*>(pixels + (y - at.y()) * line) + (x0 - at.x());
        // Blue, green, red in memory order is already the screen's
        // little-endian pixel once the top byte is set. Eight pixels are
        // 24 bytes, read as three words and written as four pixel pairs;
        // the tail goes by bytes so that no read passes the row's end.
        constexpr std::uint64_t opaque = 0xFF000000FF000000u, low = 0xFFFFFFu;
        int x = x0;
        for (; x + 8 <= x1; x += 8, src += 24, dst += 8) {
            const std::uint64_t a = Load64(src), b = Load64(src + 8), c = Load64(src + 16);
            Store64(dst, opaque | (a & low) | (((a >> 24) & low) << 32));
            Store64(dst + 2, opaque | (((a >> 48) | (b << 16)) & low) | (((b >> 8) & low) << 32));
            Store64(dst + 4, opaque | ((b >> 32) & low) | ((((b >> 56) | (c << 8)) & low) << 32));
            Store64(dst + 6, opaque | ((c >> 16) & low) | (((c >> 40) & low) << 32));
        }
        for (; x < x1; ++x, src += 3)
            *dst++ = 0xFF000000u | (std::uint32_t{src[2]} << 16) | (std::uint32_t{src[1]} << 8) | src[0];
    }
}

void ScaleBitmapRows(const Bitmap& b, QImage& band, int rows, int top, const std::vector<int>& column, double s,
                     int originY) {
    for (int r = 0; r < rows; ++r) {
        const int y = std::clamp(PixelOfDevice(top + r, s) - originY, 0, b.height - 1);
        const std::uint8_t* src = b.bits + static_cast<std::size_t>(b.height - 1 - y) * b.stride;
        auto* dst = reinterpret_cast<std::uint32_t*>(band.scanLine(r));
        for (std::size_t i = 0; i < column.size(); ++i) {
            const std::uint8_t* px = src + 3 * static_cast<std::size_t>(column[i]);
            dst[i] = 0xFF000000u | (std::uint32_t{px[2]} << 16) | (std::uint32_t{px[1]} << 8) | px[0];
        }
    }
}

}  // namespace windowing::detail
