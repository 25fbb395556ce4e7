// mirtool: host-side helpers for the Mirvane serial stream.
//   mirtool <command> [ARGS...]
// Each command lives in its own file; add it to the table below.

#include <cstdio>
#include <cstring>

#include "tools/mirtool/Convert.h"
#include "tools/mirtool/Render.h"
#include "tools/mirtool/Send.h"
#include "tools/mirtool/mirror/Mirror.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv); // arguments after the command name
    const char* summary;
};

const Command kCommands[] = {
    {"render", mirtool::RunRender, "render [INPUT] [-o OUT] [--ascii] [--scale N] [--follow]"},
    {"convert", mirtool::RunConvert,
     "convert IMAGE... -o OUT [--dither N] [--contrast X] [--offset N] [--gamma X] [--invert N] "
     "[--rotate N] [--pos X,Y] [--shrink N]"},
    {"send", mirtool::RunSend, "send IMAGE... --port DEVICE [--speed N] [the options of convert]"},
    {"mirror", mirtool::RunMirror,
     "mirror [--config FILE] [--port DEVICE] [the options of convert] [--seconds N] [--verbose]"},
};

int Usage() {
    fprintf(stderr, "usage: mirtool <command> [ARGS...]\ncommands:\n");
    for (const Command& c : kCommands)
        fprintf(stderr, "  %s\n", c.summary);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    for (const Command& c : kCommands)
        if (strcmp(argv[1], c.name) == 0)
            return c.run(argc - 2, argv + 2);
    fprintf(stderr, "mirtool: unknown command %s\n", argv[1]);
    return Usage();
}
