// Helpers for paint events that write pixels themselves: the image a
// painter writes to, and memory pages asked for in one go.
#include <QPaintEngine>
#include <QPainter>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "windowing/internal.h"

namespace windowing::detail {

void PrepareForWriting(void* begin, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(begin) & ~(page - 1);
    const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(begin) + bytes;
    // A kernel without it says so, and the pages come one fault at a time.
    madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
    (void)begin;
    (void)bytes;
#endif
}

QImage* PaintTarget(QPainter& painter, QPoint& offset) {
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image) return nullptr;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format f = image->format();
    const bool plain32 = f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
                         f == QImage::Format_ARGB32_Premultiplied;
    const QTransform t = painter.deviceTransform();
    if (!plain32 || image->devicePixelRatio() != 1 || t.type() > QTransform::TxTranslate) return nullptr;
    offset = QPoint(qRound(t.dx()), qRound(t.dy()));
    if (QPointF(offset) != QPointF(t.dx(), t.dy())) return nullptr;
    return image;
}

}  // namespace windowing::detail
