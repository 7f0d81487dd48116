// The system clipboard: what the program offers other programs, and what it
// takes from them.
#include <algorithm>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
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

namespace {

// What an image from the clipboard may hold, as for an imported file.
constexpr qsizetype MaxImageBytes = 64 << 20;
constexpr qint64 MaxImagePixels = 16 << 20;

// Another image type through the toolkit's readers, its size checked
// before anything is decoded; false with the reason when refused.
bool DecodeOther(const QMimeData& data, runtime::DecodedImage& image, std::string& problem) {
    for (const QString& format : data.formats()) {
        if (!format.startsWith(QStringLiteral("image/")) || format == QStringLiteral("image/png")) continue;
        const QByteArray bytes = data.data(format);
        if (bytes.isEmpty()) continue;
        if (bytes.size() > MaxImageBytes) {
            problem = "the picture on the clipboard is larger than 64 MiB";
            return false;
        }
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QSize size = reader.size();
        if (!reader.canRead() || !size.isValid()) continue;  // a type the toolkit cannot read
        if (qint64(size.width()) * size.height() > MaxImagePixels) {
            problem = "the picture on the clipboard has more than 16 million pixels";
            return false;
        }
        const QImage found = reader.read();
        if (found.isNull()) {
            problem = "the picture on the clipboard cannot be read (damaged)";
            return false;
        }
        return FromImage(found, image);
    }
    return false;
}

}  // namespace

ClipboardContents ReadClipboard(const char* ownType) {
    ClipboardContents contents;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || data->formats().isEmpty()) return contents;
    contents.empty = false;
    if (const QString own = QString::fromUtf8(ownType); data->hasFormat(own)) {
        const QByteArray bytes = data->data(own);
        contents.own.assign(bytes.begin(), bytes.end());
    }
    // PNG through the program's own decoder, which keeps a palette's order
    // (one it refuses is refused: the toolkit is not asked to decode it
    // again without the limits); any other image type through the toolkit's
    // readers, within the same limits.
    if (data->hasFormat(QStringLiteral("image/png"))) {
        const QByteArray png = data->data(QStringLiteral("image/png"));
        std::string error;
        contents.hasImage = png.size() <= MaxImageBytes &&
                            runtime::DecodePng(reinterpret_cast<const std::uint8_t*>(png.constData()),
                                               static_cast<std::size_t>(png.size()), contents.image, error);
        if (!contents.hasImage)
            contents.problem = png.size() > MaxImageBytes ? "the picture on the clipboard is larger than 64 MiB"
                                                          : "the picture on the clipboard cannot be read (" + error + ")";
        return contents;
    }
    contents.hasImage = DecodeOther(*data, contents.image, contents.problem);
    // A picture held as one already (a program of this toolkit in this
    // process): nothing left to decode.
    const QStringList formats = data->formats();
    const bool anyImageType = std::any_of(formats.begin(), formats.end(),
                                          [](const QString& f) { return f.startsWith(QStringLiteral("image/")); });
    if (!contents.hasImage && !anyImageType && data->hasImage())
        contents.hasImage = FromImage(qvariant_cast<QImage>(data->imageData()), contents.image);
    return contents;
}

}  // namespace windowing
