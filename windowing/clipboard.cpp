// The system clipboard: what the program offers other programs, and what it
// takes from them.
#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QElapsedTimer>
#include <QImageReader>
#include <QProcess>
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
// How long another program's clipboard is waited for.
constexpr int ReaderWaitMilliseconds = 1000;

std::string readerPath;

// What the clipboard holds, as the types it offers and the bytes of those
// the program takes: its own type, a PNG, or the first other image type.
struct Offer {
    bool any = false;
    std::vector<std::pair<QString, QByteArray>> taken;
    QImage ready;  // a picture held as one already (a program in this process)
};

bool IsImageType(const QString& type) { return type.startsWith(QStringLiteral("image/")); }

Offer OfferOf(const QMimeData* data, const QString& own) {
    Offer offer;
    const QStringList formats = data ? data->formats() : QStringList();
    offer.any = !formats.isEmpty();
    if (!offer.any) return offer;
    if (formats.contains(own)) offer.taken.push_back({own, data->data(own)});
    const QString png = QStringLiteral("image/png");
    if (formats.contains(png)) {
        offer.taken.push_back({png, data->data(png)});
        return offer;
    }
    for (const QString& type : formats)
        if (IsImageType(type)) {
            QByteArray bytes = data->data(type);
            if (bytes.isEmpty()) continue;
            offer.taken.push_back({type, std::move(bytes)});
            return offer;
        }
    if (data->hasImage()) offer.ready = qvariant_cast<QImage>(data->imageData());
    return offer;
}

}  // namespace

namespace detail {

bool DecodeOther(const QByteArray& bytes, runtime::DecodedImage& image, std::string& problem, const char* what) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid()) return false;  // a type the toolkit cannot read
    if (const std::string too = runtime::SizeProblem(static_cast<std::uint64_t>(size.width()),
                                                     static_cast<std::uint64_t>(size.height()));
        !too.empty()) {
        problem = std::string(what) + ": " + too;
        return false;
    }
    const QImage found = reader.read();
    if (found.isNull()) {
        problem = std::string(what) + " cannot be read (damaged)";
        return false;
    }
    return FromImage(found, image);
}

}  // namespace detail

namespace {

// With decode false, only what is offered: an image is there when its
// type has bytes (whether they can be read is found when they are taken).
ClipboardContents ContentsOf(const Offer& offer, const QString& own, bool decode) {
    ClipboardContents contents;
    contents.empty = !offer.any;
    for (const auto& [type, bytes] : offer.taken) {
        if (type == own) {
            contents.own.assign(bytes.begin(), bytes.end());
            continue;
        }
        if (bytes.size() > MaxImageBytes) {
            contents.problem = "the picture on the clipboard is larger than 64 MiB";
            return contents;
        }
        if (!decode) {
            contents.hasImage = !bytes.isEmpty();
            continue;
        }
        // PNG and JPEG through the program's own decoders (PNG keeps a
        // palette's order, JPEG's scans are bounded; one they refuse is
        // refused: the toolkit is not asked to decode it again without the
        // limits); any other image type through
        // the toolkit's readers, within the same limits.
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        const auto length = static_cast<std::size_t>(bytes.size());
        if (type == QStringLiteral("image/png") || runtime::IsJpeg(data, length)) {
            std::string error;
            contents.hasImage = type == QStringLiteral("image/png") ? runtime::DecodePng(data, length, contents.image, error)
                                                                     : runtime::DecodeJpeg(data, length, contents.image, error);
            if (!contents.hasImage) contents.problem = "the picture on the clipboard cannot be read (" + error + ")";
        } else {
            contents.hasImage = detail::DecodeOther(bytes, contents.image, contents.problem, "the picture on the clipboard");
        }
    }
    if (!contents.hasImage && contents.problem.empty() && !offer.ready.isNull())
        contents.hasImage = !decode || FromImage(offer.ready, contents.image);
    return contents;
}

// The reader's answer: "empty" or "offered", then each type taken as
// "type\nlength\nbytes".
QByteArray Serialised(const Offer& offer) {
    QByteArray out(offer.any ? "offered\n" : "empty\n");
    for (const auto& [type, bytes] : offer.taken)
        out += type.toUtf8() + '\n' + QByteArray::number(bytes.size()) + '\n' + bytes;
    return out;
}

bool Parse(const QByteArray& in, Offer& offer) {
    const qsizetype first = in.indexOf('\n');
    if (first < 0) return false;
    offer.any = in.left(first) == "offered";
    for (qsizetype at = first + 1; at < in.size();) {
        const qsizetype typeEnd = in.indexOf('\n', at), lengthEnd = typeEnd < 0 ? -1 : in.indexOf('\n', typeEnd + 1);
        if (lengthEnd < 0) return false;
        bool number = false;
        const qsizetype length = in.mid(typeEnd + 1, lengthEnd - typeEnd - 1).toLongLong(&number);
        if (!number || length < 0 || length > in.size() - lengthEnd - 1) return false;
        offer.taken.push_back({QString::fromUtf8(in.mid(at, typeEnd - at)), in.mid(lengthEnd + 1, length)});
        at = lengthEnd + 1 + length;
    }
    return true;
}

// Another program's clipboard through the reader, waited for at most about
// a second and never taken past the limits; false with the reason.
bool ReadThroughReader(const QString& own, Offer& offer, std::string& problem) {
    QProcess reader;
    reader.setStandardErrorFile(QProcess::nullDevice());
    reader.start(QString::fromStdString(readerPath), {QStringLiteral("--read-clipboard"), own});
    QByteArray out;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        out += reader.readAllStandardOutput();
        if (out.size() > MaxImageBytes + (1 << 20)) {
            problem = "the picture on the clipboard is larger than 64 MiB";
            break;
        }
        if (reader.state() == QProcess::NotRunning) {
            if (reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0 && Parse(out, offer)) return true;
            problem = "the clipboard could not be read";
            return false;
        }
        const qint64 left = ReaderWaitMilliseconds - waited.elapsed();
        if (left <= 0) {
            problem = "the clipboard's owner did not answer";
            break;
        }
        reader.waitForReadyRead(static_cast<int>(left));
    }
    reader.kill();
    reader.waitForFinished(1000);
    return false;
}

}  // namespace

void SetClipboardReader(const std::string& path) { readerPath = path; }

ClipboardContents ReadClipboard(const char* ownType, bool decode) {
    const QString own = QString::fromUtf8(ownType);
    QClipboard* clipboard = QGuiApplication::clipboard();
    // On X a clipboard owner may never answer, and the toolkit waits 5 s a
    // request: another program's clipboard is read by a helper process.
    if (!readerPath.empty() && QGuiApplication::platformName() == QStringLiteral("xcb") && !clipboard->ownsClipboard()) {
        Offer offer;
        std::string problem;
        if (!ReadThroughReader(own, offer, problem)) {
            ClipboardContents contents;
            contents.empty = false;
            contents.problem = problem;
            return contents;
        }
        return ContentsOf(offer, own, decode);
    }
    return ContentsOf(OfferOf(clipboard->mimeData(), own), own, decode);
}

namespace {

// The reader without a display: one line and exit code 1, not the
// toolkit's abort.
void ReaderMessage(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type != QtFatalMsg) return;
    std::fputs("vornel: cannot read the clipboard: no display could be reached\n", stderr);
    std::fflush(stderr);
    _exit(1);
}

}  // namespace

int WriteClipboardTo(int fd, int argc, char** argv, const char* ownType) {
    // Its output closed, the descriptor would go to the display's connection
    // once that is made, and the answer into it.
    if (fcntl(fd, F_GETFL) < 0) {
        std::fputs("vornel: cannot read the clipboard: its output is closed\n", stderr);
        return 1;
    }
    const QtMessageHandler previous = qInstallMessageHandler(ReaderMessage);
    QGuiApplication application(argc, argv);
    qInstallMessageHandler(previous);
    const QByteArray out = Serialised(OfferOf(QGuiApplication::clipboard()->mimeData(), QString::fromUtf8(ownType)));
    for (qsizetype done = 0; done < out.size();) {
        const ssize_t n = write(fd, out.constData() + done, static_cast<std::size_t>(out.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 1;
        done += n;
    }
    return 0;
}

}  // namespace windowing
