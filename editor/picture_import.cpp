#include "editor/picture_import.h"

#include <array>
#include <cctype>
#include <optional>

#include "documents/conversions.h"
#include "documents/documents.h"
#include "documents/import_rules.h"
#include "documents/photo_conversion.h"
#include "editor/editor_window.h"
#include "editor/mixed_view.h"
#include "editor/page_view.h"
#include "lores/palettes.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

using documents::CellColours;
using documents::LinearCells;

// What the dialog lists, in the order of its choices.
const windowing::ConversionNames& Names(bool forPaste) {
    static const auto names = [](bool paste) {
        windowing::ConversionNames n;
        // Named by what they give, in the order of DitherMethods and Palettes().
        n.methods = {"Search: the closest likeness", "Floyd-Steinberg: fine noise", "Atkinson: clean flat areas",
                     "Ordered: a regular pattern", "None: flat colours"};
        static_assert(std::size(documents::DitherMethods) == 5);
        if (!paste) n.fits = {"Fit (whole picture, black bars)", "Fill (cropped)", "Stretch"};
        n.palettes = {"Standard: the program's own, bright and even", "IIgs: an RGB monitor's, deeper",
                      "Composite: muted, as a television shows it", "Sampled: an emulator's screen"};
        for (std::size_t i = n.palettes.size(); i < lores::Palettes().size(); ++i)
            n.palettes.push_back(lores::Palettes()[i].description);
        return n;
    };
    static const windowing::ConversionNames page = names(false), paste = names(true);
    return forPaste ? paste : page;
}

// The picture kept while the dialog is open: averaged into the cells once a
// fit (for a paste, once), so that a change of method or adjustment costs
// only the choice of colours.
class Conversion {
public:
    // Fitted to the screen at the view's pixel aspect.
    Conversion(const runtime::DecodedImage& image, int blockCols, documents::PixelAspect aspect)
        : image_(image), blockCols_(blockCols), aspect_(aspect) {}
    void SetBlockRows(int rows) { blockRows_ = rows; }

    // The cells fitted and adjusted: the picture as the conversion sees it.
    LinearCells Cells(const windowing::ConversionChoice& c) {
        const std::size_t fit = blockCols_ > 0 ? 0 : static_cast<std::size_t>(std::max(c.fit, 0));
        if (!cells_[fit]) {
            cells_[fit] = blockCols_ > 0
                              ? documents::AverageIntoBlock(image_.rgba.data(), image_.width, image_.height, blockCols_, blockRows_)
                              : documents::AverageIntoCells(image_.rgba.data(), image_.width, image_.height,
                                                            documents::FitModes[fit], aspect_);
        }
        LinearCells cells = *cells_[fit];
        documents::Adjust(cells, {c.brightness, c.contrast, c.saturation});
        return cells;
    }
    CellColours Colours(const windowing::ConversionChoice& c) {
        return documents::ChooseColours(Cells(c), PaletteOf(c).colours, documents::DitherMethods[c.method], aspect_);
    }
    static const lores::NamedPalette& PaletteOf(const windowing::ConversionChoice& c) {
        return lores::Palettes()[static_cast<std::size_t>(c.palette)];
    }

private:
    const runtime::DecodedImage& image_;
    int blockCols_, blockRows_ = 0;
    documents::PixelAspect aspect_;
    std::array<std::optional<LinearCells>, std::size(documents::FitModes)> cells_;
};

// The dialog over a conversion; the colours chosen, in the palette chosen
// (which the window then shows), or nothing when cancelled.
std::optional<CellColours> Choose(EditorState& state, Conversion& conversion, const char* title, bool forPaste) {
    windowing::ConversionChoice choice;
    choice.palette = state.palette;
    const auto preview = [&](const windowing::ConversionChoice& c) {
        const CellColours colours = conversion.Colours(c);
        const lores::Palette& palette = Conversion::PaletteOf(c).colours;
        std::vector<std::uint32_t> shown(colours.size());
        for (std::size_t i = 0; i < colours.size(); ++i) shown[i] = palette[colours[i]];
        return shown;
    };
    const auto original = [&](const windowing::ConversionChoice& c) {
        const LinearCells cells = conversion.Cells(c);
        std::vector<std::uint32_t> shown(cells.size());
        for (std::size_t i = 0; i < cells.size(); ++i)
            shown[i] = documents::EncodedOf(cells[i][0]) | documents::EncodedOf(cells[i][1]) << 8 |
                       static_cast<std::uint32_t>(documents::EncodedOf(cells[i][2])) << 16;
        return shown;
    };
    const documents::CellSize cells = documents::CellsOf(state.aspect);
    const windowing::ConversionGrid grid{lores::PageWidth, lores::PageHeight, cells.width * state.zoom,
                                         cells.height * state.zoom};
    if (!windowing::ChoosePictureConversion(title, Names(forPaste), grid, choice, preview, original))
        return std::nullopt;
    const CellColours colours = conversion.Colours(choice);
    if (choice.palette != state.palette) {
        state.palette = choice.palette;
        PaintSwatches(state);
        state.shown.drawSerial = 0;
    }
    return colours;
}

bool PictureName(const std::string& path) {
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return false;
    std::string type = path.substr(dot + 1);
    for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* known : {"png", "jpg", "jpeg", "gif", "bmp", "webp", "tif", "tiff", "ppm", "pgm", "pbm", "xpm"})
        if (type == known) return true;
    return false;
}

}  // namespace

bool ImportPictureFile(EditorState& state, const std::string& path, bool exactToo) {
    // A drop is a picture by its first bytes (PNG, JPEG) or by its name: a
    // page file is never mistaken for some image type by its contents.
    if (!exactToo && !documents::IsPictureFile(path) && !PictureName(path)) return false;
    runtime::DecodedImage image;
    std::string why;
    if (!windowing::ReadImageFile(path, image, why)) {
        documents::ShowReadMessage(path, why);
        return true;
    }
    // In the mixed view the picture's rows 0 to 39 come in; the text lines stay.
    if (documents::LoresAlready(image, lores::PageWidth, lores::PageHeight)) {
        if (!exactToo) return false;
        documents::ImportOptions options;
        options.palette = &lores::Palettes()[static_cast<std::size_t>(state.palette)];
        documents::ImportReport report;
        EditPage(state, [&](lores::LoresPage& page, int) { documents::PageFromPicture(image, options, page, report); },
                 Marks::Always);
    } else {
        Conversion conversion(image, 0, state.aspect);
        const auto colours = Choose(state, conversion, "Import Picture", false);
        if (!colours) return true;
        EditPage(state, [&](lores::LoresPage& page, int) {
            for (int y = 0; y < lores::PageHeight; ++y)
                for (int x = 0; x < lores::PageWidth; ++x)
                    lores::PlotPixel(page, x, y, (*colours)[static_cast<std::size_t>(y * lores::PageWidth + x)]);
        }, Marks::Always);
    }
    RedrawPage(state);
    return true;
}

void ImportPicture(EditorState& state) {
    const std::string path = windowing::ChooseFileToOpen(
        "Please choose a picture to import", windowing::CurrentDirectory().c_str(),
        "Pictures|*.png;*.jpg;*.jpeg;*.gif;*.bmp;*.webp;*.tif;*.tiff;*.ppm;*.pgm|All files|*.*",
        0);
    if (!path.empty()) ImportPictureFile(state, path, true);
}

bool ConvertedPaste(EditorState& state, const runtime::DecodedImage& image, lores::Block& block) {
    int cols = 0, rows = 0;
    documents::BlockSizeOf(image, cols, rows);
    Conversion conversion(image, cols, state.aspect);
    conversion.SetBlockRows(rows);
    const auto colours = Choose(state, conversion, "Paste Picture", true);
    if (!colours) return false;
    block.width = cols;
    block.height = rows;
    block.cells.assign(static_cast<std::size_t>(cols * rows), 0);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x)
            block.cells[static_cast<std::size_t>(y * cols + x)] = (*colours)[static_cast<std::size_t>(y * lores::PageWidth + x)];
    return true;
}

}  // namespace editor
