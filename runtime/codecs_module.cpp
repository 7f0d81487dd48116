// vornel-codecs.so: the JPEG decoder and the GIF writer, with the libraries
// they use, for the program to load when it first needs one of them.
#include "runtime/gif_writer.h"
#include "runtime/png_decoder.h"

extern "C" {

bool VornelDecodeJpeg(const std::uint8_t* data, std::size_t length, runtime::DecodedImage& out, std::string& error) {
    return runtime::DecodeJpeg(data, length, out, error);
}

runtime::GifOut* VornelGifBegin(int width, int height, const std::vector<std::uint32_t>& colours,
                                std::vector<std::uint8_t>& bytes, std::string& why) {
    return runtime::GifBegin(width, height, colours, bytes, why);
}

bool VornelGifFrame(runtime::GifOut* gif, int delay, const std::uint8_t* indices) {
    return runtime::GifFrame(gif, delay, indices);
}

bool VornelGifEnd(runtime::GifOut* gif) { return runtime::GifEnd(gif); }

}  // extern "C"
