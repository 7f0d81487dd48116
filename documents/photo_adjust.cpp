// The conversion's adjustments of a picture's cells: brightness, contrast
// and saturation, in OKLab.
#include <algorithm>

#include "documents/oklab.h"
#include "documents/photo_conversion.h"

namespace documents {

void Adjust(LinearCells& cells, const Adjustments& adjust) {
    if (adjust == Adjustments{}) return;
    const float lift = adjust.brightness / 200.0f, stretch = (100 + adjust.contrast) / 100.0f,
                colour = (100 + adjust.saturation) / 100.0f;
    for (LinearRgb& cell : cells) {
        Lab lab = OkLabOf(cell);
        lab = {std::clamp(0.5f + (lab[0] - 0.5f) * stretch + lift, 0.f, 1.f), lab[1] * colour, lab[2] * colour};
        cell = LinearOfOkLab(lab);
        for (float& c : cell) c = std::clamp(c, 0.f, 1.f);
    }
}

}  // namespace documents
