// The striped apple shown at start-up, embedded from assets/startup_picture.bin.
#pragma once

#include "lores/lores_page.h"

namespace lores {

const LoresPage& StartupPicture();

}  // namespace lores
