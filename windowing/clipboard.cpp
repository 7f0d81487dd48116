// The system clipboard: what the program offers other programs, and what it
// takes from them.
#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "runtime/png_decoder.h"
#include "windowing/windowing.h"

namespace windowing {
namespace {

QByteArray Bytes(const std::vector<std::uint8_t>& data) {
    return {reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size())};
}

// The toolkit's decoding of whatever image type it reads, as the PNG decoder
// gives it: a palette image keeps its indices and palette.
bool FromImage(const QImage& found, runtime::DecodedImage& image) {
    if (found.isNull()) return false;
    image = runtime::DecodedImage{};
    image.width = found.width();
    image.height = found.height();
    if (found.format() == QImage::Format_Indexed8) {
        image.indexed = true;
        for (const QRgb c : found.colorTable()) image.palette.push_back(c & 0xFFFFFF);
        for (int y = 0; y < found.height(); ++y) {
            const uchar* row = found.constScanLine(y);
            image.indices.insert(image.indices.end(), row, row + found.width());
        }
    }
    const QImage rgba = found.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < rgba.height(); ++y) {
        const uchar* row = rgba.constScanLine(y);
        image.rgba.insert(image.rgba.end(), row, row + 4 * rgba.width());
    }
    return true;
}

}  // namespace

void PutOnClipboard(const std::vector<std::uint32_t>& pixels, int width, int height, const char* ownType,
                    const std::vector<std::uint8_t>& ownData) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = pixels[static_cast<std::size_t>(y * width + x)];
            image.setPixel(x, y, qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF));
        }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/png"), png);
    // Other image types (BMP, for older programs) made by the toolkit on request.
    data->setImageData(image);
    data->setData(QString::fromUtf8(ownType), Bytes(ownData));
    QGuiApplication::clipboard()->setMimeData(data);
}

ClipboardContents ReadClipboard(const char* ownType) {
    ClipboardContents contents;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || data->formats().isEmpty()) return contents;
    contents.empty = false;
    if (const QString own = QString::fromUtf8(ownType); data->hasFormat(own)) {
        const QByteArray bytes = data->data(own);
        contents.own.assign(bytes.begin(), bytes.end());
    }
    // PNG through the program's own decoder, which keeps a palette's order;
    // any other image through the toolkit.
    if (data->hasFormat(QStringLiteral("image/png"))) {
        const QByteArray png = data->data(QStringLiteral("image/png"));
        std::string error;
        contents.hasImage = runtime::DecodePng(reinterpret_cast<const std::uint8_t*>(png.constData()),
                                               static_cast<std::size_t>(png.size()), contents.image, error);
    }
    if (!contents.hasImage && data->hasImage()) contents.hasImage = FromImage(qvariant_cast<QImage>(data->imageData()), contents.image);
    return contents;
}

}  // namespace windowing
