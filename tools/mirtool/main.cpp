// mirtool: host-side helpers for the Mirvane serial stream.
//   mirtool <command> [ARGS...]
// Each command lives in its own file; add it to the table below and its page to Help.cpp.

#include <cstdio>
#include <cstring>

#include "tools/mirtool/Convert.h"
#include "tools/mirtool/Help.h"
#include "tools/mirtool/Render.h"
#include "tools/mirtool/Send.h"
#include "tools/mirtool/mirror/Mirror.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv); // arguments after the command name
};

const Command kCommands[] = {
    {"render", mirtool::RunRender},
    {"convert", mirtool::RunConvert},
    {"send", mirtool::RunSend},
    {"mirror", mirtool::RunMirror},
};

bool Is(const char* arg, const char* name) {
    return strcmp(arg, name) == 0;
}

// "help [COMMAND]".
int Help(int argc, char** argv) {
    if (argc < 1) {
        mirtool::PrintHelp(nullptr, stdout);
        return mirtool::kExitDone;
    }
    if (mirtool::PrintHelp(argv[0], stdout))
        return mirtool::kExitDone;
    fprintf(stderr, "mirtool: no help for %s: not a command\n", argv[0]);
    mirtool::PrintHelp(nullptr, stderr);
    return mirtool::kExitBadInput;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        mirtool::PrintHelp(nullptr, stderr);
        return mirtool::kExitBadInput;
    }
    if (Is(argv[1], "--help") || Is(argv[1], "-h") || Is(argv[1], "help"))
        return Help(argc - 2, argv + 2);
    if (Is(argv[1], "--version")) {
        mirtool::PrintVersion(stdout);
        return mirtool::kExitDone;
    }
    for (const Command& c : kCommands)
        if (Is(argv[1], c.name))
            return c.run(argc - 2, argv + 2);
    fprintf(stderr, "mirtool: unknown command %s\n", argv[1]);
    mirtool::PrintHelp(nullptr, stderr);
    return mirtool::kExitBadInput;
}
