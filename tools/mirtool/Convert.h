// mirtool convert and send: mirpanel's frame pipeline run on images instead of the screen.
//
// Each image is one capture of display 0, the only active display: the first capture
// reports the whole area, each later one is compared with the previous image in 32 x 32
// cells with the alternating pair phase; then the full-window refresh of the halftone
// modes, the frame counter, luminance, tone, dithering into the display's persistent
// plane, and packing. The result is every frame block in order: exactly the bytes the
// display's port would receive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/MonitorRecord.h"
#include "tools/mirtool/ImageInput.h"

namespace mirtool {

// Display 0's settings; defaults are those of a new record.
struct PipelineSettings {
    int32_t dither = 1;
    double contrast = 1.0;
    int32_t offset = 0;
    double gamma = 1.0;
    int32_t invert = 0;
    int32_t rotate = 0;
    int32_t posX = 0;
    int32_t posY = 0;
    int32_t shrink = 0;
};

// The settings into a display's record, and back.
void ApplyPipelineSettings(const PipelineSettings& settings, MonitorRecord& record);
PipelineSettings PipelineSettingsOf(const MonitorRecord& record);

enum class OptionResult { Taken, NotMine, Bad };

// Parses the conversion option at argv[i] (and its value, advancing i). On Bad, `error`
// tells why.
OptionResult ParsePipelineOption(int argc, char** argv, int& i, PipelineSettings& settings,
                                 std::string& error);

bool ParseInt32(const char* text, int32_t& value);
bool ParseDouble(const char* text, double& value);

// An option of a command that takes a value, stored as given.
struct NamedValue {
    const char* name;
    std::string* value;
};

// Parses IMAGE... with the conversion options and the command's own `named` options.
// False with `error` set for an unknown option, a missing value or one that does not parse.
bool ParseCommand(int argc, char** argv, const std::vector<NamedValue>& named,
                  PipelineSettings& settings, std::vector<std::string>& images, std::string& error);

// Reads the images and runs the pipeline over them. False with `error` set when an image
// cannot be used or the window lies outside it; `warning` is set when the images are not
// the panel's size, naming the part the panel shows.
bool BytesOfImages(const std::vector<std::string>& images, const PipelineSettings& settings,
                   std::vector<uint8_t>& bytes, std::string& warning, std::string& error);

// Prints a non-empty warning of the command on stderr.
void PrintWarning(const char* command, const std::string& warning);

// Reads every image; all must have one size. False with `error` set otherwise.
bool ReadCaptures(const std::vector<std::string>& paths, std::vector<Capture>& captures,
                  std::string& error);

// Runs the pipeline over the captures, from a fresh state (frame counter 0, phase 0).
std::vector<uint8_t> ConvertCaptures(const std::vector<Capture>& captures,
                                     const PipelineSettings& settings);

// Exit status: 0 done, 1 the output could not be written, 2 bad arguments or input.
int RunConvert(int argc, char** argv);

} // namespace mirtool
