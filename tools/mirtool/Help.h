// mirtool's help texts: one page per command and one for the tool, on standard output.
#pragma once

#include <cstdio>

namespace mirtool {

// The exit statuses that every command uses.
constexpr int kExitDone = 0;
constexpr int kExitOutputFailed = 1; // the output, or the device, could not be written
constexpr int kExitBadInput = 2;     // bad arguments or input

// Whether the command's arguments ask for its help ("--help" or "-h").
bool AsksForHelp(int argc, char** argv);

// Prints the page of `command` ("render", "convert", "send", "mirror"), or the tool's page
// for null.
// Returns false for a command that has no page.
bool PrintHelp(const char* command, FILE* out);

// "mirtool VERSION".
void PrintVersion(FILE* out);

} // namespace mirtool
