// Where the program's own modules are: beside the program in a build, in
// libexec/vornel when installed.
#pragma once

#include <string>

namespace runtime {

// The path of the program's module file (vornel-window.so, vornel-codecs.so),
// looked for from the file this code is linked into (the program, or a
// module beside the others); where it would be installed when it is in
// neither place.
std::string ModuleFile(const char* name);

}  // namespace runtime
