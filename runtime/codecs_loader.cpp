// The program's JPEG decoder and GIF writer, in vornel-codecs.so beside the
// editor's module, loaded the first time a JPEG is read or a GIF written:
// a start (of the editor, or of a conversion of PNGs and pages) loads
// neither library. The tests link the codecs themselves instead.
#include <dlfcn.h>

#include <string>

#include "runtime/gif_writer.h"
#include "runtime/png_decoder.h"
#include "runtime/program_files.h"

namespace runtime {
namespace {

struct Codecs {
    decltype(&DecodeJpeg) decodeJpeg = nullptr;
    decltype(&GifBegin) gifBegin = nullptr;
    decltype(&GifFrame) gifFrame = nullptr;
    decltype(&GifEnd) gifEnd = nullptr;
    std::string why;  // when they could not be loaded
};

template <class F>
void Find(void* module, const char* name, F& entry) {
    entry = reinterpret_cast<F>(dlsym(module, name));
}

const Codecs& Loaded() {
    static const Codecs codecs = [] {
        Codecs c;
        void* module = dlopen(ModuleFile("vornel-codecs.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* said = dlerror();
            c.why = std::string("the program's picture codecs could not be loaded: ") + (said ? said : "");
            return c;
        }
        Find(module, "VornelDecodeJpeg", c.decodeJpeg);
        Find(module, "VornelGifBegin", c.gifBegin);
        Find(module, "VornelGifFrame", c.gifFrame);
        Find(module, "VornelGifEnd", c.gifEnd);
        if (!c.decodeJpeg || !c.gifBegin || !c.gifFrame || !c.gifEnd) {
            c = Codecs{};
            c.why = "the program's picture codecs are not this program's";
        }
        return c;
    }();
    return codecs;
}

}  // namespace

bool DecodeJpeg(const std::uint8_t* data, std::size_t length, DecodedImage& out, std::string& error) {
    if (!Loaded().decodeJpeg) {
        out = DecodedImage{};
        error = Loaded().why;
        return false;
    }
    return Loaded().decodeJpeg(data, length, out, error);
}

GifOut* GifBegin(int width, int height, const std::vector<std::uint32_t>& colours, std::vector<std::uint8_t>& bytes,
                 std::string& why) {
    if (!Loaded().gifBegin) {
        why = Loaded().why;
        return nullptr;
    }
    return Loaded().gifBegin(width, height, colours, bytes, why);
}

bool GifFrame(GifOut* gif, int delay, const std::uint8_t* indices) {
    return gif && Loaded().gifFrame && Loaded().gifFrame(gif, delay, indices);
}

bool GifEnd(GifOut* gif) { return gif && Loaded().gifEnd && Loaded().gifEnd(gif); }

}  // namespace runtime
