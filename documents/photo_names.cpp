// The names the command line and the window give the conversion's choices.
#include "documents/photo_conversion.h"

namespace documents {
namespace {

struct MethodName {
    DitherMethod method;
    const char* name;
};
constexpr MethodName MethodNames[] = {{DitherMethod::Search, "search"},
                                      {DitherMethod::FloydSteinberg, "floyd-steinberg"},
                                      {DitherMethod::Atkinson, "atkinson"},
                                      {DitherMethod::Ordered, "ordered"},
                                      {DitherMethod::None, "none"}};
constexpr const char* FitNames[] = {"fit", "fill", "stretch"};
constexpr const char* AspectNames[] = {"2:1", "7:4", "8:5"};

}  // namespace

const char* NameOf(DitherMethod method) {
    for (const MethodName& m : MethodNames)
        if (m.method == method) return m.name;
    return "none";
}
const char* NameOf(FitMode fit) { return FitNames[static_cast<int>(fit)]; }
bool FindName(const std::string& name, DitherMethod& method) {
    for (const MethodName& m : MethodNames)
        if (name == m.name) return method = m.method, true;
    return false;
}
const char* NameOf(PixelAspect aspect) { return AspectNames[static_cast<int>(aspect)]; }
bool FindName(const std::string& name, PixelAspect& aspect) {
    for (const PixelAspect a : PixelAspects)
        if (name == NameOf(a)) return aspect = a, true;
    return false;
}
bool FindName(const std::string& name, FitMode& fit) {
    for (const FitMode f : FitModes)
        if (name == NameOf(f)) return fit = f, true;
    return false;
}

}  // namespace documents
