#include "lores/startup_picture.h"

#include <algorithm>

#include "assets/embedded.h"

namespace lores {

const LoresPage& StartupPicture() {
    static const LoresPage page = [] {
        LoresPage p{};
        std::copy_n(assets::StartupPictureBin, std::min<std::size_t>(PageBytes, assets::StartupPictureBinSize),
                    p.begin());
        return p;
    }();
    return page;
}

}  // namespace lores
