// OKLab, the perceptual colour space the conversion chooses colours in:
// from linear-light RGB and back.
#pragma once

#include <array>
#include <cmath>

#include "documents/photo_conversion.h"

namespace documents {

using Lab = std::array<float, 3>;

inline Lab OkLabOf(const LinearRgb& c) {
    const float l = std::cbrt(0.4122214708f * c[0] + 0.5363325363f * c[1] + 0.0514459929f * c[2]);
    const float m = std::cbrt(0.2119034982f * c[0] + 0.6806995451f * c[1] + 0.1073969566f * c[2]);
    const float s = std::cbrt(0.0883024619f * c[0] + 0.2817188376f * c[1] + 0.6299787005f * c[2]);
    return {0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
            1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
            0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

inline LinearRgb LinearOfOkLab(const Lab& c) {
    const float l = c[0] + 0.3963377774f * c[1] + 0.2158037573f * c[2];
    const float m = c[0] - 0.1055613458f * c[1] - 0.0638541728f * c[2];
    const float s = c[0] - 0.0894841775f * c[1] - 1.2914855480f * c[2];
    const float l3 = l * l * l, m3 = m * m * m, s3 = s * s * s;
    return {4.0767416621f * l3 - 3.3077115913f * m3 + 0.2309699292f * s3,
            -1.2684380046f * l3 + 2.6097574011f * m3 - 0.3413193965f * s3,
            -0.0041960863f * l3 - 0.7034186147f * m3 + 1.7076147010f * s3};
}

}  // namespace documents
