// mirtool mirror: Mirvane displays driven from an X11 screen on Linux, with mirpanel's
// conversion, packing, queues and timing.
#pragma once

namespace mirtool {

// Exit status: 0 stopped by SIGINT, SIGTERM or --seconds; 1 the X display or a device
// cannot be used, or the display was lost; 2 bad arguments, an unreadable settings file,
// or a device that is not a serial port or refuses the speed.
int RunMirror(int argc, char** argv);

} // namespace mirtool
