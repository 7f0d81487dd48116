// What both programs do around their work.
#pragma once

namespace cli {

// Runs run(argc, argv) with SIGPIPE and SIGXFSZ ignored (a write that fails
// because its reader went away or the file grew past a limit is a failed
// save or export with its message, not the end of the program and its
// drawing; a program started in this one's place keeps them ignored), and an
// allocation that fails is one line and exit code 1 instead of an abort.
int GuardedMain(int argc, char** argv, int (*run)(int, char**));

}  // namespace cli
