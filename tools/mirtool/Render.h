// mirtool render: the panel emulator. Reads the serial stream of tile records and writes
// what a panel would show.
#pragma once

namespace mirtool {

// Exit status: 0 when the input was read to its end, 1 when the picture could not be
// written, 2 for bad arguments or an unreadable input.
int RunRender(int argc, char** argv);

} // namespace mirtool
