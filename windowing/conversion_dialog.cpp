// The dialog that turns a picture from elsewhere into the page: the choices
// of method, fit, palette and adjustments beside the page as it will be,
// drawn again at every change.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "runtime/png_decoder.h"
#include "runtime/whole_file.h"
#include "windowing/internal.h"

namespace windowing {
namespace {

// The page as the conversion makes it (or the picture as it sees it), a
// cell a rectangle of the canvas's size: its pixels change only through its
// paint event.
class Preview : public QWidget {
public:
    Preview(int cols, int rows, int cellWidth, int cellHeight, QWidget* parent, const char* name)
        : QWidget(parent), image_(cols, rows, QImage::Format_RGB32) {
        setObjectName(QString::fromUtf8(name));
        setFixedSize(cols * cellWidth, rows * cellHeight);
        image_.fill(Qt::black);
    }
    void Show(const std::vector<std::uint32_t>& cells) {
        for (int y = 0; y < image_.height(); ++y)
            for (int x = 0; x < image_.width(); ++x) {
                const std::size_t i = static_cast<std::size_t>(y * image_.width() + x);
                const std::uint32_t v = i < cells.size() ? cells[i] : 0;
                image_.setPixel(x, y, qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF));
            }
        update();
    }
    const QImage& Shown() const { return image_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(rect(), image_);  // cells to rectangles, no smoothing
    }

private:
    QImage image_;
};

QComboBox* Choices(const std::vector<std::string>& names, int current, const char* name, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromUtf8(name));
    for (const std::string& n : names) box->addItem(QString::fromStdString(n));
    box->setCurrentIndex(std::clamp(current, 0, static_cast<int>(names.size()) - 1));
    return box;
}

// A slider with its number beside it, -100 to 100, moving together.
QWidget* Level(int value, const char* name, QWidget* parent, QSlider*& slider) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    slider = new QSlider(Qt::Horizontal, row);
    slider->setObjectName(QString::fromUtf8(name));
    slider->setRange(-100, 100);
    slider->setValue(value);
    auto* number = new QSpinBox(row);
    number->setRange(-100, 100);
    number->setValue(value);
    QObject::connect(slider, &QSlider::valueChanged, number, &QSpinBox::setValue);
    QObject::connect(number, &QSpinBox::valueChanged, slider, &QSlider::setValue);
    layout->addWidget(slider, 1);
    layout->addWidget(number);
    return row;
}

}  // namespace

bool ReadImageFile(const std::string& path, runtime::DecodedImage& image, std::string& problem) {
    std::vector<std::uint8_t> bytes;
    if (!runtime::ReadWholeFile(path, bytes, 64u << 20, "larger than 64 MiB", problem)) return false;
    if (runtime::DecodePicture(bytes.data(), bytes.size(), image, problem)) return true;
    if (problem != "not a PNG or JPEG image") return false;  // one of them, and damaged
    problem.clear();
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    if (detail::DecodeOther(data, image, problem, "the picture")) return true;
    if (problem.empty()) problem = "not a picture the program reads";
    return false;
}

bool ChoosePictureConversion(const char* title, const ConversionNames& names, ConversionGrid grid,
                             ConversionChoice& choice, const ConversionPreview& preview,
                             const ConversionPreview& original) {
    QDialog dialog(detail::DialogParent());
    dialog.setObjectName(QStringLiteral("pictureConversion"));
    dialog.setWindowTitle(QString::fromUtf8(title ? title : ""));
    // The canvas's size, made smaller by whole steps where the screen has
    // no room for the picture and the page side by side above the choices.
    if (const QScreen* screen = dialog.screen()) {
        const QSize room = screen->availableGeometry().size() - QSize(100, 290);
        while ((grid.cellWidth > 2 && 2 * grid.cols * grid.cellWidth > room.width()) ||
               (grid.cellHeight > 1 && grid.rows * grid.cellHeight > room.height()))
            grid.cellWidth /= 2, grid.cellHeight = std::max(1, grid.cellHeight / 2);
    }
    auto* layout = new QVBoxLayout(&dialog);
    auto* pictures = new QHBoxLayout;
    auto* seen = new Preview(grid.cols, grid.rows, grid.cellWidth, grid.cellHeight, &dialog, "original");
    auto* shown = new Preview(grid.cols, grid.rows, grid.cellWidth, grid.cellHeight, &dialog, "preview");
    seen->setToolTip(QStringLiteral("The picture as the conversion sees it"));
    shown->setToolTip(QStringLiteral("The page as it will be"));
    pictures->addWidget(seen);
    pictures->addWidget(shown);
    layout->addLayout(pictures);
    auto* form = new QFormLayout;
    auto* method = Choices(names.methods, choice.method, "method", &dialog);
    auto* fit = Choices(names.fits, choice.fit, "fit", &dialog);
    auto* palette = Choices(names.palettes, choice.palette, "palette", &dialog);
    form->addRow(QStringLiteral("&Dithering:"), method);
    // A paste is fitted by its own size: no Fit to choose.
    if (!names.fits.empty()) form->addRow(QStringLiteral("&Fit:"), fit);
    else fit->hide();
    form->addRow(QStringLiteral("&Palette:"), palette);
    QSlider *brightness = nullptr, *contrast = nullptr, *saturation = nullptr;
    form->addRow(QStringLiteral("&Brightness:"), Level(choice.brightness, "brightness", &dialog, brightness));
    form->addRow(QStringLiteral("&Contrast:"), Level(choice.contrast, "contrast", &dialog, contrast));
    form->addRow(QStringLiteral("&Saturation:"), Level(choice.saturation, "saturation", &dialog, saturation));
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    // Every change is worked out at once and shown at the next paint.
    const auto chosen = [&] {
        return ConversionChoice{method->currentIndex(), fit->currentIndex(),   palette->currentIndex(),
                                brightness->value(),    contrast->value(),    saturation->value()};
    };
    const auto refresh = [&] {
        const ConversionChoice now = chosen();
        shown->Show(preview(now));
        seen->Show(original(now));
    };
    for (QComboBox* box : {method, fit, palette})
        QObject::connect(box, &QComboBox::currentIndexChanged, &dialog, refresh);
    for (QSlider* slider : {brightness, contrast, saturation})
        QObject::connect(slider, &QSlider::valueChanged, &dialog, refresh);
    refresh();
    method->setFocus();
    if (detail::RunModal(dialog) != QDialog::Accepted) return false;
    choice = chosen();
    return true;
}

}  // namespace windowing
