#include "cli/guarded_main.h"

#include <csignal>
#include <cstdio>
#include <new>

namespace cli {

int GuardedMain(int argc, char** argv, int (*run)(int, char**)) {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("vornel: out of memory\n", stderr);
        return 1;
    }
}

}  // namespace cli
