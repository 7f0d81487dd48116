#include "runtime/program_files.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>

namespace runtime {
namespace {

// The file this code is in: a module by the path it was loaded from; the
// program by its own file (the loader names the program by its argv[0],
// which is a bare "vornel" when it was found on the PATH).
std::string ThisFile() {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(reinterpret_cast<void*>(&ThisFile), &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) && map &&
        map->l_name && map->l_name[0])
        return map->l_name;
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    return n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

std::string ModuleFile(const char* name) {
    std::string dir = ThisFile();
    dir = dir.substr(0, dir.rfind('/') + 1);
    for (const std::string& candidate : {dir + name, dir + VORNEL_MODULE_DIR "/" + name})
        if (access(candidate.c_str(), R_OK) == 0) return candidate;
    return dir + VORNEL_MODULE_DIR "/" + name;
}

}  // namespace runtime
