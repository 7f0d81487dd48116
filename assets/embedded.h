// The files of assets/, embedded into the program at build time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace assets {

extern const std::uint8_t StartupPictureBin[];
extern const std::size_t StartupPictureBinSize;
extern const std::uint8_t IconLineBmp[];
extern const std::size_t IconLineBmpSize;
extern const std::uint8_t IconCircleBmp[];
extern const std::size_t IconCircleBmpSize;
extern const std::uint8_t IconFillBmp[];
extern const std::size_t IconFillBmpSize;
extern const std::uint8_t IconUndoBmp[];
extern const std::size_t IconUndoBmpSize;
extern const std::uint8_t IconPenBmp[];
extern const std::size_t IconPenBmpSize;
extern const std::uint8_t ProgramIcon16Bmp[];
extern const std::size_t ProgramIcon16BmpSize;
extern const std::uint8_t ProgramIcon32Bmp[];
extern const std::size_t ProgramIcon32BmpSize;
extern const std::uint8_t ProgramIcon96Bmp[];
extern const std::size_t ProgramIcon96BmpSize;

}  // namespace assets
