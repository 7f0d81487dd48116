// Pictures into cells: averaged by area in linear light as the fit places
// them, and colours chosen so that what the eye sees stays near the picture.
#include <gtest/gtest.h>

#include <cmath>

#include "documents/oklab.h"
#include "documents/documents.h"
#include "documents/photo_conversion.h"
#include "runtime/images.h"
#include "test_files.h"
#include <algorithm>

using namespace documents;

namespace {

struct Picture {
    int width, height;
    std::vector<std::uint8_t> rgba;
    Picture(int w, int h) : width(w), height(h), rgba(static_cast<std::size_t>(w) * h * 4, 255) {}
    void Set(int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
        std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
        p[0] = r, p[1] = g, p[2] = b, p[3] = a;
    }
    LinearCells Cells(FitMode fit = FitMode::Stretch) const { return AverageIntoCells(rgba.data(), width, height, fit); }
};

constexpr DitherMethod Methods[] = {DitherMethod::None, DitherMethod::FloydSteinberg, DitherMethod::Atkinson,
                                    DitherMethod::Ordered, DitherMethod::Search};

}  // namespace

// Area means in linear light, placed as the fit says: a picture of black and
// grey (188, half the light) columns a pixel wide is a quarter of the light
// (not the encoded middle, 94, nor one of its pixels); a square picture fitted leaves black bars of eight
// cells each side, filled or stretched none; half-transparent white is half
// the light; a picture taller than the screen fits with bars left and right.
TEST(PhotoConversion, CellsAreAreaMeansInLinearLightWhereTheFitPutsThem) {
    Picture stripes(640, 384);
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 640; ++x) {
            const std::uint8_t v = x % 2 ? 188 : 0;
            stripes.Set(x, y, v, v, v);
        }
    for (const LinearRgb& c : stripes.Cells()) ASSERT_NEAR(c[1], LinearOf(188) / 2, 1e-4f);
    EXPECT_NEAR(LinearOf(188), 0.5029f, 1e-4f);

    Picture square(384, 384);
    const struct {
        FitMode fit;
        int firstLit, lastLit;
    } fits[] = {{FitMode::Fit, 8, 31}, {FitMode::Fill, 0, 39}, {FitMode::Stretch, 0, 39}};
    for (const auto& f : fits) {
        const LinearCells cells = square.Cells(f.fit);
        for (int x = 0; x < 40; ++x)
            for (const int y : {0, 23, 47})
                EXPECT_NEAR(cells[static_cast<std::size_t>(y * 40 + x)][0], x >= f.firstLit && x <= f.lastLit ? 1.f : 0.f, 1e-4f)
                    << static_cast<int>(f.fit) << " cell " << x << "," << y;
    }
    Picture tall(100, 600);  // fitted: 64 screen pixels wide, 288 to 352: cells 18 to 21
    const LinearCells cells = tall.Cells(FitMode::Fit);
    EXPECT_NEAR(cells[17][0], 0.f, 1e-4f);
    EXPECT_NEAR(cells[18][0], 1.f, 1e-4f);
    EXPECT_NEAR(cells[21][0], 1.f, 1e-4f);
    EXPECT_NEAR(cells[22][0], 0.f, 1e-4f);

    Picture glass(40, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 40; ++x) glass.Set(x, y, 255, 255, 255, 128);
    EXPECT_NEAR(glass.Cells()[100][2], 128 / 255.f, 1e-4f) << "over black, in linear light";
}

// Every palette colour, flat, stays that colour with every method; a flat
// grey halfway in light between black and white, in a palette of only those
// two, is half white cells with every dithering method (none: all one;
// Atkinson near it); and
// against what the eye sees of a ramp of greys the methods come in order:
// the search below the diffusion, the diffusion below nearest colours.
TEST(PhotoConversion, FlatColoursStayFlatMixturesAreRightAndTheSearchSeesBest) {
    const lores::Palette& palette = lores::DefaultPalette();
    for (int n = 0; n < lores::ColourCount; ++n) {
        Picture flat(80, 96);
        const lores::ColourValue v = palette[static_cast<std::size_t>(n)];
        for (int y = 0; y < 96; ++y)
            for (int x = 0; x < 80; ++x) flat.Set(x, y, v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
        for (const DitherMethod m : Methods) {
            const CellColours got = ChooseColours(flat.Cells(), palette, m);
            for (const std::uint8_t c : got) ASSERT_EQ(palette[c], v) << "colour " << n << " method " << static_cast<int>(m);
        }
    }

    lores::Palette blackAndWhite{};
    blackAndWhite[15] = 0xFFFFFF;
    LinearCells half;
    half.fill({0.5f, 0.5f, 0.5f});
    for (const DitherMethod m : Methods) {
        const CellColours got = ChooseColours(half, blackAndWhite, m);
        const auto white = std::count(got.begin(), got.end(), 15);
        // Atkinson passes on three quarters of the error by design: lighter, not flat.
        const double tolerance = m == DitherMethod::Atkinson ? 0.15 : 0.03;
        if (m == DitherMethod::None) EXPECT_TRUE(white == 0 || white == CellCount);
        else EXPECT_NEAR(static_cast<double>(white) / CellCount, 0.5, tolerance) << static_cast<int>(m);
    }
    // A cell is twice as wide as it is tall: black and white in alternate
    // rows (16 screen pixels a pair) look greyer than in alternate columns
    // (32), to the eye and to the measure.
    CellColours rows{}, columns{};
    for (int i = 0; i < CellCount; ++i) {
        rows[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((i / 40) % 2 ? 15 : 0);
        columns[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i % 2 ? 15 : 0);
    }
    EXPECT_LT(1.5 * SeenError(rows, blackAndWhite, half), SeenError(columns, blackAndWhite, half));

    Picture ramp(640, 384);
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 640; ++x) {
            const auto g = static_cast<std::uint8_t>(x * 255 / 639);
            ramp.Set(x, y, g, static_cast<std::uint8_t>(255 - y * 255 / 383), g);
        }
    const LinearCells cells = ramp.Cells();
    const double none = SeenError(ChooseColours(cells, palette, DitherMethod::None), palette, cells);
    const double diffused = SeenError(ChooseColours(cells, palette, DitherMethod::FloydSteinberg), palette, cells);
    const double searched = SeenError(ChooseColours(cells, palette, DitherMethod::Search), palette, cells);
    EXPECT_LT(diffused, none);
    // Well below, though it weighs each cell's own error too (no lone far colours).
    EXPECT_LT(searched, 0.9 * diffused) << none << " " << diffused << " " << searched;
}

// Values worked out by hand or published: sRGB decoding (10/255/12.92, and
// 128 through the power curve), OKLab of white, red and blue and back, a
// saturation that scales both colour axes, every name to its method and
// back; and the light each method gives a flat grey back: Floyd-Steinberg
// and the ordered pattern about the grey's, Atkinson (three quarters of the
// error passed on) visibly off it.
TEST(PhotoConversion, ValuesWorkedOutByHandAndWhatEachMethodMakesOfAGrey) {
    EXPECT_NEAR(LinearOf(10), 10 / 255.0 / 12.92, 1e-6);
    EXPECT_NEAR(LinearOf(128), 0.2158605, 1e-5);
    const struct {
        LinearRgb rgb;
        std::array<float, 3> lab;
    } colours[] = {{{1, 1, 1}, {1, 0, 0}}, {{1, 0, 0}, {0.627955f, 0.224863f, 0.125846f}},
                   {{0, 0, 1}, {0.452014f, -0.032457f, -0.311528f}}, {{0, 1, 0}, {0.866440f, -0.233888f, 0.179498f}}};
    for (const auto& c : colours) {
        const auto lab = OkLabOf(c.rgb);
        const auto back = LinearOfOkLab(c.lab);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_NEAR(lab[k], c.lab[k], 2e-4) << k;
            EXPECT_NEAR(back[k], c.rgb[k], 2e-3) << k;
        }
    }
    LinearCells muted;
    muted.fill({0.2f, 0.3f, 0.5f});
    Adjust(muted, {0, 0, -50});
    const auto before = OkLabOf({0.2f, 0.3f, 0.5f}), after = OkLabOf(muted[0]);
    EXPECT_NEAR(after[0], before[0], 1e-3);
    EXPECT_NEAR(after[1], before[1] / 2, 1e-3);
    EXPECT_NEAR(after[2], before[2] / 2, 1e-3);
    for (const DitherMethod m : DitherMethods) {
        DitherMethod found{};
        EXPECT_TRUE(FindName(NameOf(m), found) && found == m) << NameOf(m);
    }
    for (const auto& [name, fit] : {std::pair{"fit", FitMode::Fit}, {"fill", FitMode::Fill}, {"stretch", FitMode::Stretch}}) {
        FitMode found{};
        EXPECT_TRUE(FindName(name, found) && found == fit && std::string(NameOf(fit)) == name) << name;
    }
    for (const auto& [name, method] : {std::pair{"atkinson", DitherMethod::Atkinson}, {"ordered", DitherMethod::Ordered},
                                       {"floyd-steinberg", DitherMethod::FloydSteinberg}, {"none", DitherMethod::None}}) {
        DitherMethod found{};
        EXPECT_TRUE(FindName(name, found) && found == method) << name;
    }
    const auto& palette = lores::Palettes().front().colours;
    // The light of a flat grey, as each method's cells give it back (mean
    // luminance in linear light).
    const auto light = [&](DitherMethod m, float grey) {
        LinearCells cells;
        cells.fill({grey, grey, grey});
        double sum = 0;
        for (const std::uint8_t c : ChooseColours(cells, palette, m)) {
            const auto v = palette[c];
            sum += 0.2126 * LinearOf(v & 0xFF) + 0.7152 * LinearOf((v >> 8) & 0xFF) + 0.0722 * LinearOf((v >> 16) & 0xFF);
        }
        return sum / CellCount;
    };
    for (const float grey : {0.12f, 0.3f}) {
        EXPECT_NEAR(light(DitherMethod::FloydSteinberg, grey), grey, 0.005) << grey;
        EXPECT_NEAR(light(DitherMethod::Ordered, grey), grey, 0.03) << grey;
    }
    EXPECT_GT(std::abs(light(DitherMethod::Atkinson, 0.3f) - 0.3), 0.01) << "a quarter of the error let go";
}

// The pixel aspect: the export's size and its cells' edges, and a
// photographed circle converted to a disc as wide for its height as it is
// round on that screen (cells 16x8: 1 across for 2 down; 14x8: 4 for 7;
// 16x10: 5 for 8). The export's size is read from its IHDR by hand.
TEST(PhotoConversion, TheExportAndTheConversionFollowThePixelAspect) {
    const struct {
        PixelAspect aspect;
        int cellWidth, cellHeight;
        double across;  // disc cells across for one down
    } cases[] = {{PixelAspect::TwoToOne, 16, 8, 0.5}, {PixelAspect::SevenToFour, 14, 8, 4.0 / 7},
                 {PixelAspect::EightToFive, 16, 10, 5.0 / 8}};
    testfiles::TempDir dir;
    lores::LoresPage page{};
    lores::PlotPixel(page, 1, 1, 15);
    Picture photo(600, 600);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 600; ++x) {
            const bool in = (x - 300) * (x - 300) + (y - 300) * (y - 300) <= 250 * 250;
            photo.Set(x, y, in ? 255 : 0, in ? 255 : 0, in ? 255 : 0);
        }
    for (const auto& c : cases) {
        const std::string name = dir / (std::string("e") + std::to_string(c.cellWidth) + "x" + std::to_string(c.cellHeight) + ".png");
        ASSERT_TRUE(SavePagePicture(page, name, lores::DefaultPalette(), false, c.aspect).ok);
        const auto bytes = testfiles::ReadAll(name);
        ASSERT_GT(bytes.size(), 24u);
        const auto be32 = [&](std::size_t at) { return bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]; };
        EXPECT_EQ(be32(16), 40 * c.cellWidth) << NameOf(c.aspect);
        EXPECT_EQ(be32(20), 48 * c.cellHeight) << NameOf(c.aspect);
        // Cell (1, 1) white and nothing else: its box's corners, and the pixels just outside them.
        ASSERT_TRUE(runtime::CreateImageObject(ExportImage, 40 * c.cellWidth, 48 * c.cellHeight));
        ASSERT_TRUE(runtime::BeginDrawing(runtime::ImageDrawTarget(ExportImage)));
        DrawPageBoxes(page, lores::DefaultPalette(), CellsOf(c.aspect));
        runtime::EndDrawing();
        const runtime::ImagePixels& px = *runtime::ImageRecordOf(ExportImage).pixels;
        const auto white = [&](int x, int y) { return px.bits[static_cast<std::size_t>((px.height - 1 - y) * px.stride + 3 * x)] == 255; };
        const int x0 = c.cellWidth, y0 = c.cellHeight, x1 = 2 * c.cellWidth - 1, y1 = 2 * c.cellHeight - 1;
        EXPECT_TRUE(white(x0, y0) && white(x1, y1)) << NameOf(c.aspect);
        EXPECT_FALSE(white(x0 - 1, y0) || white(x0, y0 - 1) || white(x1 + 1, y1) || white(x1, y1 + 1)) << NameOf(c.aspect);
        runtime::FreeImageObject(ExportImage);

        const CellColours disc = ChooseColours(AverageIntoCells(photo.rgba.data(), 600, 600, FitMode::Fit, c.aspect),
                                               lores::DefaultPalette(), DitherMethod::None, c.aspect);
        int left = 40, right = -1, top = 48, bottom = -1;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 40; ++x)
                if (disc[static_cast<std::size_t>(y * 40 + x)] == 15)
                    left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        EXPECT_NEAR(double(right - left + 1) / (bottom - top + 1), c.across, 0.04) << NameOf(c.aspect);
    }
}
