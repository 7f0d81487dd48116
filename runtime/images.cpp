#include "runtime/images.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "runtime/object_table.h"

namespace runtime {

// Implemented in bmp_decode.cpp.
bool DecodeIcon(const std::uint8_t* data, std::size_t length, ImagePixels& out);

namespace {

struct ImageRecord {
    std::unique_ptr<ImagePixels> image;  // its address is the handle
    std::int16_t width = 0, height = 0;
    std::uint8_t depth = 0, sourceDepth = 0;
    std::uint32_t formatTag = 0;
    // Drawing into an image that is gone must not write into freed memory.
    ~ImageRecord() {
        if (image) InvalidateDrawTarget(image->bits.data());
    }
};

ObjectTable<ImageRecord>* images = nullptr;

ObjectTable<ImageRecord>& Images() {
    if (!images) images = new ObjectTable<ImageRecord>();
    return *images;
}

ImageHandleValue HandleOf(const ImageRecord& r) { return reinterpret_cast<ImageHandleValue>(r.image.get()); }

bool ValidSize(int width, int height) {
    return width > 0 && height > 0 && width <= 32767 && height <= 32767;
}

ImageHandleValue Store(int number, std::unique_ptr<ImagePixels> pixels, int sourceDepth, std::uint32_t tag) {
    ImageRecord& r = Images().Take(number);
    r.width = static_cast<std::int16_t>(pixels->width);
    r.height = static_cast<std::int16_t>(pixels->height);
    r.depth = static_cast<std::uint8_t>(pixels->depth);
    r.sourceDepth = static_cast<std::uint8_t>(sourceDepth);
    r.formatTag = tag;
    r.image = std::move(pixels);
    return HandleOf(r);
}

}  // namespace

void InitImages() {
    delete images;
    images = new ObjectTable<ImageRecord>();
}

ImageHandleValue CreateImageObject(int number, int width, int height) {
    FreeImageObject(number);
    if (!ValidSize(width, height)) return 0;
    auto px = std::make_unique<ImagePixels>();
    px->width = width;
    px->height = height;
    px->depth = 24;
    px->stride = StrideFor(width, 24);
    try {
        px->bits.assign(static_cast<std::size_t>(px->stride) * height, 0);  // black
    } catch (const std::bad_alloc&) {
        return 0;  // not enough memory is a failed creation, not the end of the process
    }
    return Store(number, std::move(px), 24, 0);
}

ImageHandleValue LoadImageFromMemory(int number, const std::uint8_t* data, std::size_t length) {
    FreeImageObject(number);  // released even when decoding then fails
    if (!data) return 0;
    auto px = std::make_unique<ImagePixels>();
    int sourceDepth = 0;
    if (length >= 2 && data[0] == 'B' && data[1] == 'M') {
        if (!DecodeBmp(data, length, *px, sourceDepth)) return 0;
        return Store(number, std::move(px), sourceDepth, FormatBmp);
    }
    if (DecodeIcon(data, length, *px)) return Store(number, std::move(px), 32, FormatIcon);
    return 0;
}

ImageHandleValue ImageHandle(int number) {
    const ImageRecord* r = Images().Find(number);
    return r && r->image ? HandleOf(*r) : 0;
}

void FreeImageObject(int number) {
    if (number == AllImages) {
        Images().Clear();
        return;
    }
    Images().Release(number);
}

const ImagePixels* ImagePixelsFromHandle(ImageHandleValue handle) {
    if (!handle) return nullptr;
    const ImagePixels* found = nullptr;
    Images().ForEach([&](int, ImageRecord& r) {
        if (HandleOf(r) == handle) found = r.image.get();
    });
    return found;
}

ImageInfo ImageRecordOf(int number) {
    const ImageRecord* r = Images().Find(number);
    if (!r || !r->image) return {};
    return {r->width, r->height, r->depth, r->sourceDepth, r->formatTag, r->image.get()};
}

// --- drawing ---------------------------------------------------------------

struct DrawingContext {
    DrawSurface surface;
    int outWidth = 0, outHeight = 0;
    int originX = 0, originY = 0;
    ColourValue colour = 0;
    std::uint8_t red = 0, green = 0, blue = 0, alpha = 0;
    std::uint8_t row[48] = {};  // sixteen 24-bit pixels of the colour, blue first
    ChangedArea changed[MaxChangedAreas];
    int changedCount = 0;
};

namespace {

std::unique_ptr<DrawingContext> current;

void Finish(DrawingContext& ctx, int flag) {
    const DrawSurface& s = ctx.surface;
    if (s.finishChanged) {
        s.finishChanged(flag, s.user, ctx.changed, ctx.changedCount);
    } else if (s.finish) {
        s.finish(flag, s.user);
    }
}

void Abandon() {
    if (!current) return;
    std::unique_ptr<DrawingContext> ctx = std::move(current);
    Finish(*ctx, 0);
}

// Adds a written rectangle to the span's list, joining it to the previous
// one when they make a rectangle together.
void RecordChange(DrawingContext& c, int x, int y, int width, int height) {
    if (c.changedCount > 0) {
        ChangedArea& last = c.changed[c.changedCount - 1];
        if (last.y == y && last.height == height && last.x + last.width == x) {
            last.width += width;
            return;
        }
        if (last.x == x && last.width == width && last.y + last.height == y) {
            last.height += height;
            return;
        }
        // Newest first: a box drawn over what was just drawn is found at once.
        for (int i = c.changedCount - 1; i >= 0; --i) {
            const ChangedArea& a = c.changed[i];
            if (x >= a.x && y >= a.y && x + width <= a.x + a.width && y + height <= a.y + a.height) return;
        }
    }
    if (c.changedCount < MaxChangedAreas) {
        c.changed[c.changedCount++] = {x, y, width, height};
        return;
    }
    // Full: the rectangle joins the one it grows least, so that scattered
    // changes (a rubber-band circle) stay several small areas.
    auto united = [&](const ChangedArea& a) {
        const int left = std::min(x, a.x), top = std::min(y, a.y);
        return ChangedArea{left, top, std::max(x + width, a.x + a.width) - left,
                           std::max(y + height, a.y + a.height) - top};
    };
    int best = 0;
    std::int64_t bestGrowth = -1;
    for (int i = 0; i < c.changedCount; ++i) {
        const ChangedArea u = united(c.changed[i]);
        const std::int64_t growth = std::int64_t{u.width} * u.height -
                                    std::int64_t{c.changed[i].width} * c.changed[i].height;
        if (bestGrowth < 0 || growth < bestGrowth) {
            best = i;
            bestGrowth = growth;
        }
    }
    c.changed[best] = united(c.changed[best]);
}

}  // namespace

void InvalidateDrawTarget(const std::uint8_t* pixels) {
    if (current && pixels && current->surface.pixels == pixels) Abandon();
}

DrawingContext* MakeDrawTarget(const DrawSurface& surface) {
    Abandon();
    current = std::make_unique<DrawingContext>();
    current->surface = surface;
    return current.get();
}

DrawingContext* ImageDrawTarget(int number) {
    const ImageRecord* r = Images().Find(number);
    if (!r || !r->image || r->image->isIcon) return nullptr;
    ImagePixels& px = *r->image;
    DrawSurface s;
    s.pixels = px.bits.data();
    s.stride = px.stride;
    s.width = r->width;
    s.height = r->height;
    s.bytesPerPixel = px.depth == 32 ? 4 : 3;
    // All drawing goes into the image's own memory: nothing to finish.
    return MakeDrawTarget(s);
}

std::uintptr_t BeginDrawing(DrawingContext* target) {
    if (!target || target != current.get()) return 0;
    if (!target->surface.pixels) {
        Abandon();
        return 0;
    }
    target->outWidth = target->surface.width;
    target->outHeight = target->surface.height;
    return reinterpret_cast<std::uintptr_t>(target);
}

// The colour's bytes, and a row of sixteen pixels of it to copy from.
static void TakeColour(DrawingContext& c, ColourValue colour) {
    c.colour = colour;
    c.red = static_cast<std::uint8_t>(colour & 0xFF);
    c.green = static_cast<std::uint8_t>((colour >> 8) & 0xFF);
    c.blue = static_cast<std::uint8_t>((colour >> 16) & 0xFF);
    c.alpha = static_cast<std::uint8_t>((colour >> 24) & 0xFF);
    for (int i = 0; i < 48; i += 3) {
        c.row[i] = c.blue;
        c.row[i + 1] = c.green;
        c.row[i + 2] = c.red;
    }
}

// The box moved by the context's origin and cut to its surface; false when
// nothing of it is left. Clipped in 64 bits: no argument, however extreme,
// can overflow into a write outside the pixels.
static bool ClipToSurface(const DrawingContext& c, int& x, int& y, int& width, int& height) {
    std::int64_t left = std::int64_t{x} + c.originX, top = std::int64_t{y} + c.originY;
    std::int64_t w = width, h = height;
    if (w < 0) {
        left += w;
        w = -w;
    }
    if (h < 0) {
        top += h;
        h = -h;
    }
    if (left < 0) {
        w += left;
        left = 0;
    }
    if (top < 0) {
        h += top;
        top = 0;
    }
    if (left + w > c.surface.width) w = c.surface.width - left;
    if (top + h > c.surface.height) h = c.surface.height - top;
    if (w <= 0 || h <= 0) return false;
    x = static_cast<int>(left);
    y = static_cast<int>(top);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

void FillBox(int x, int y, int width, int height, ColourValue colour) {
    DrawingContext* c = current.get();
    if (!c) return;
    if (colour != c->colour) TakeColour(*c, colour);
    if (!ClipToSurface(*c, x, y, width, height)) return;
    const DrawSurface& s = c->surface;
    if (s.finishChanged) RecordChange(*c, x, y, width, height);

    const int bpp = s.bytesPerPixel;
    std::uint8_t* first = s.pixels + static_cast<std::ptrdiff_t>(s.height - 1 - y) * s.stride + x * bpp;
    std::uint8_t* const end = first - static_cast<std::ptrdiff_t>(height) * s.stride;
    if (bpp == 3) {
        // The first row is copied from the colour's sixteen pixels, the others copy it; a
        // 16-pixel row (every cell of the page view and the export) is a
        // fixed-size copy the compiler does inline.
        const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
        if (rowBytes == sizeof c->row) {
            std::memcpy(first, c->row, sizeof c->row);
        } else {
            for (std::size_t done = 0; done < rowBytes; done += sizeof c->row)
                std::memcpy(first + done, c->row, std::min(sizeof c->row, rowBytes - done));
        }
        for (std::uint8_t* p = first - s.stride; p != end; p -= s.stride) {
            if (rowBytes == 48) {
                std::memcpy(p, first, 48);
            } else {
                std::memcpy(p, first, rowBytes);
            }
        }
        return;
    }
    // 32-bit targets keep each pixel's alpha byte.
    for (std::uint8_t* p = first; p != end; p -= s.stride)
        for (int col = 0; col < width; ++col) {
            p[4 * col] = c->blue;
            p[4 * col + 1] = c->green;
            p[4 * col + 2] = c->red;
        }
}

void EndDrawing() {
    if (!current) return;
    std::unique_ptr<DrawingContext> ctx = std::move(current);
    Finish(*ctx, 1);
}

}  // namespace runtime
