#include "tools/mirtool/Help.h"

#include <cstring>
#include <string>

#include "tools/mirtool/Send.h"

#ifndef MIRTOOL_VERSION
#define MIRTOOL_VERSION "unknown"
#endif

namespace mirtool {

namespace {

const char kToolPage[] =
    "usage: mirtool COMMAND [ARGS...]\n"
    "       mirtool help [COMMAND]   mirtool COMMAND --help   mirtool --version\n"
    "\n"
    "The Mirvane panel (128 x 64 pixels, one bit each) on a Linux host, without Windows.\n"
    "\n"
    "commands:\n"
    "  render   show what a panel makes of the bytes its port receives\n"
    "  convert  turn desktop captures (PNG or binary PPM) into the bytes mirpanel would send\n"
    "  send     convert, and write the bytes to a panel on a serial port\n"
    "  mirror   mirror an X11 desktop onto panels on serial ports, as mirpanel does\n";

const char kExitCodes[] = "\n"
                          "exit codes: 0 done; 1 the output or the device could not be written;\n"
                          "            2 bad arguments or input\n";

const char kRenderPage[] =
    "usage: mirtool render [INPUT] [-o OUT] [--ascii] [--scale N] [--follow]\n"
    "\n"
    "Reads the byte stream a panel receives (17-byte tile records) and writes what the panel\n"
    "shows. INPUT is a file, a serial device, a pty or a FIFO; - or none is standard input.\n"
    "An input whose opening records are not tile records (a PNG, say) is refused.\n"
    "\n"
    "  -o OUT      the picture: OUT ending in .png (greyscale) or .pbm (P4), or - for a PNG\n"
    "              on standard output. A regular file is replaced whole; a FIFO, a device or\n"
    "              a symbolic link (its target) is written into.\n"
    "  --ascii     also print the panel on standard output: 64 lines of 128 characters,\n"
    "              # dark and . light\n"
    "  --scale N   each panel pixel becomes N x N pixels of the PNG, N from 1 to 64 (1)\n"
    "  --follow    keep reading (a line that hangs up is reopened) and rewrite OUT at most\n"
    "              every 100 ms until SIGINT or SIGTERM; needs -o OUT, not -\n";

// The settings of mirpanel's window for one display; convert and send share them.
const char kConversionOptions[] =
    "  --dither N     0 black and white, a threshold (白黒2値); 1 Floyd-Steinberg error\n"
    "                 diffusion; 2 four-level halftone (4色ハーフトーン), animated: every image\n"
    "                 sends the whole window; 3 and 4 as 0, but sending the whole window (1)\n"
    "  --contrast X   gain around mid-grey; the window offers 0.50 to 1.50 in steps of\n"
    "                 0.05 (1.0)\n"
    "  --offset N     brightness, N/256 of the scale added; the window offers -64 to 64 in\n"
    "                 steps of 8 (0)\n"
    "  --gamma X      exponent of the tone curve, above 1 darker; the window offers 0.50 to\n"
    "                 1.50 in steps of 0.05 (1.0)\n"
    "  --invert N     0 as is, any other number: dark and light swapped (0)\n"
    "  --rotate N     0 upright or 2 turned half a turn (0)\n"
    "  --pos X,Y      top-left corner of the panel's 128 x 64 window in the image; the window\n"
    "                 offers X 0 to 128 and Y 0 to 64 in steps of 16 (0,0)\n"
    "  --shrink N     how much of the image is captured: 0 its top-left 384 x 256, 1 320 x 240,\n"
    "                 2 210 x 160, 3 160 x 120; other numbers as 0 (0)\n"
    "Numbers outside the window's ranges are taken as a hand-edited settings file gives them.\n";

const char kConvertPage[] =
    "usage: mirtool convert IMAGE... -o OUT [options]\n"
    "\n"
    "Runs mirpanel's frame pipeline for one display over the images, each a capture of the\n"
    "desktop (PNG, or binary PPM: P6 with maxval 255; all of one size), and writes the bytes\n"
    "its port would receive: the whole window for the first image, then the tiles that\n"
    "changed. An image that is not 128 x 64 gets a warning naming the part the panel shows.\n"
    "\n"
    "  -o OUT         where the bytes go; - is standard output. A regular file is replaced\n"
    "                 whole; a FIFO, a device or a symbolic link (its target) is written into.\n";

const char kSendPage[] =
    "usage: mirtool send IMAGE... --port DEVICE [--speed N] [options]\n"
    "\n"
    "Converts the images as mirtool convert does and writes the bytes to a panel on a serial\n"
    "port: 8 data bits, no parity, 1 stop bit, no flow control, DTR and RTS off.\n"
    "\n"
    "  --port DEVICE  the serial device, such as /dev/ttyUSB0\n"
    "  --speed N      baud rate, the panel's own (500000); the speeds of mirpanel's window\n"
    "                 and a few more:\n";

const char kMirrorPage[] =
    "usage: mirtool mirror [--config FILE] [--port DEVICE] [--speed N] [options]\n"
    "                      [--seconds N] [--verbose]\n"
    "\n"
    "Mirrors the top-left corner of an X11 screen (or XWayland's) onto Mirvane displays on\n"
    "serial devices, as mirpanel mirrors the Windows desktop: only changed 16 x 8 tiles are\n"
    "sent, and a whole picture every 4 s and whenever a device opens or comes back.\n"
    "\n"
    "  --config FILE  settings file in mirpanel's format; every active display with a device\n"
    "                 (MO.n.DEVICE = /dev/ttyUSB0) is driven. Default, when it exists:\n"
    "                 $XDG_CONFIG_HOME/mirvane/mirvista.ini, else ~/.config/mirvane/mirvista.ini\n"
    "  --port DEVICE  display 0's serial device; switches display 0 on, over the file\n"
    "  --speed N      display 0's line speed in baud (default 500000 or the file's)\n"
    "  --seconds N    stop after N seconds; without it, run until Ctrl+C or SIGTERM\n"
    "  --verbose      once a second: frames converted, captures and bytes sent\n"
    "A line on stderr tells when a display's device opens, goes away and comes back; a\n"
    "device that goes away is tried again once a second. The options below set display 0's\n"
    "picture over the file's settings.\n";

const char kMirrorExitCodes[] =
    "\n"
    "exit codes: 0 stopped; 1 no X display, an unsupported screen, a device that cannot be\n"
    "            used, or the display lost; 2 bad arguments, an unreadable settings file, or\n"
    "            a device that is not a serial port or refuses the speed\n";

// The accepted speeds, wrapped under the option's text.
void PrintSpeeds(FILE* out) {
    const std::string list = AcceptedSpeeds();
    const size_t kIndent = 17, kWidth = 92 - kIndent;
    for (size_t at = 0; at < list.size();) {
        size_t end = list.size();
        if (end - at > kWidth) {
            end = list.rfind(' ', at + kWidth);
            end = end == std::string::npos || end <= at ? at + kWidth : end;
        }
        fprintf(out, "%*s%s\n", static_cast<int>(kIndent), "", list.substr(at, end - at).c_str());
        at = end < list.size() && list[end] == ' ' ? end + 1 : end;
    }
}

struct Page {
    const char* command;
    const char* text;
    void (*more)(FILE*); // what follows the text, or null
    bool conversion;     // the conversion options follow
    const char* exitCodes = kExitCodes;
};

const Page kPages[] = {
    {"render", kRenderPage, nullptr, false},
    {"convert", kConvertPage, nullptr, true},
    {"send", kSendPage, PrintSpeeds, true},
    {"mirror", kMirrorPage, nullptr, true, kMirrorExitCodes},
};

} // namespace

bool AsksForHelp(int argc, char** argv) {
    for (int i = 0; i < argc; ++i)
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0)
            return true;
    return false;
}

bool PrintHelp(const char* command, FILE* out) {
    if (command == nullptr) {
        fputs(kToolPage, out);
        fputs(kExitCodes, out);
        return true;
    }
    for (const Page& page : kPages) {
        if (strcmp(page.command, command) != 0)
            continue;
        fputs(page.text, out);
        if (page.more)
            page.more(out);
        if (page.conversion)
            fputs(kConversionOptions, out);
        fputs(page.exitCodes, out);
        return true;
    }
    return false;
}

void PrintVersion(FILE* out) {
    fprintf(out, "mirtool %s\n", MIRTOOL_VERSION);
}

} // namespace mirtool
