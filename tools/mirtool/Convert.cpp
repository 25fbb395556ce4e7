#include "tools/mirtool/Convert.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/capture/CellCompare.h"
#include "app/convert/FrameConversion.h"
#include "app/core/Globals.h"
#include "comsrc/RectList.h"
#include "tools/mirtool/Help.h"
#include "tools/mirtool/OutputFile.h"

namespace mirtool {

namespace {

const char kUsage[] = "usage: convert IMAGE... -o OUT [--dither N] [--contrast X] [--offset N] "
                      "[--gamma X] [--invert N] [--rotate N] [--pos X,Y] [--shrink N]";

int Fail(const std::string& message) {
    fprintf(stderr, "mirtool convert: %s\n", message.c_str());
    return kExitBadInput;
}

bool ParsePosition(const char* text, PipelineSettings& settings) {
    const char* comma = strchr(text, ',');
    if (!comma)
        return false;
    std::string x(text, comma);
    return ParseInt32(x.c_str(), settings.posX) && ParseInt32(comma + 1, settings.posY);
}

bool ParseValue(const std::string& name, const char* value, PipelineSettings& s) {
    if (name == "--dither")
        return ParseInt32(value, s.dither);
    if (name == "--contrast")
        return ParseDouble(value, s.contrast);
    if (name == "--offset")
        return ParseInt32(value, s.offset);
    if (name == "--gamma")
        return ParseDouble(value, s.gamma);
    if (name == "--invert")
        return ParseInt32(value, s.invert);
    if (name == "--rotate")
        return ParseInt32(value, s.rotate);
    if (name == "--shrink")
        return ParseInt32(value, s.shrink);
    return ParsePosition(value, s);
}

// The capture as the frame bitmap: top row first, nothing to release.
class CapturePixels : public FramePixels {
public:
    explicit CapturePixels(const Capture& capture) : capture(capture) {}
    const uint8_t* Lock(int32_t& stride, int32_t& width, int32_t& height) override {
        stride = capture.width * 4;
        width = capture.width;
        height = capture.height;
        return capture.bgrx.data();
    }
    void Unlock() override {}

private:
    const Capture& capture;
};

class AppendBlocks : public BlockSink {
public:
    explicit AppendBlocks(std::vector<uint8_t>& out) : out(out) {}
    void Deliver(size_t, const std::vector<uint8_t>& block) override {
        out.insert(out.end(), block.begin(), block.end());
    }

private:
    std::vector<uint8_t>& out;
};

std::unique_ptr<MonitorRecord> DisplayRecord(const PipelineSettings& s) {
    auto record = std::make_unique<MonitorRecord>();
    record->active = 1;
    record->linkUp = 1;
    ApplyPipelineSettings(s, *record);
    return record;
}

PixelImage View(const Capture& capture) {
    return PixelImage{capture.bgrx.data(), capture.width * 4};
}

std::string SizeText(int32_t width, int32_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// The part of the capture that the display's window takes, in capture coordinates; empty
// when the window lies outside what is captured.
RECT UsedPart(const Capture& capture, const MonitorRecord& record) {
    const CaptureSize size = limitCaptureSize(capture.width, capture.height, record.shrink);
    return clipWindow(panelWindow(record), size.width, size.height);
}

// Refuses a window that takes nothing of the image; warns, in `warning`, when the image is
// not the panel's size, naming the part the panel shows.
bool CheckWindow(const std::string& path, const Capture& capture, const MonitorRecord& record,
                 std::string& warning, std::string& error) {
    const RECT used = UsedPart(capture, record);
    const CaptureSize size = limitCaptureSize(capture.width, capture.height, record.shrink);
    const std::string image = path + " (" + SizeText(capture.width, capture.height) + ")";
    const std::string captured =
        size.width == capture.width && size.height == capture.height
            ? image
            : "the captured top-left " + SizeText(size.width, size.height) + " of " + image;
    if (used.left >= used.right || used.top >= used.bottom) {
        error = "--pos " + std::to_string(record.posX) + "," + std::to_string(record.posY) +
                " lies outside " + captured;
        return false;
    }
    if (capture.width == kPanelWidth && capture.height == kPanelHeight)
        return true;
    warning = image + " is not the panel's 128 x 64: the panel shows x " +
              std::to_string(used.left) + "-" + std::to_string(used.right - 1) + ", y " +
              std::to_string(used.top) + "-" + std::to_string(used.bottom - 1) + " of it";
    if (used.right - used.left < kPanelWidth || used.bottom - used.top < kPanelHeight)
        warning += ", on part of its screen";
    return true;
}

} // namespace

void ApplyPipelineSettings(const PipelineSettings& s, MonitorRecord& record) {
    record.dither = s.dither;
    record.contrast = s.contrast;
    record.gamma = s.gamma;
    record.offset = s.offset;
    record.rotate = s.rotate;
    record.shrink = s.shrink;
    record.invert = s.invert;
    record.posX = s.posX;
    record.posY = s.posY;
}

PipelineSettings PipelineSettingsOf(const MonitorRecord& r) {
    return PipelineSettings{r.dither, r.contrast, r.offset, r.gamma, r.invert,
                            r.rotate, r.posX,     r.posY,   r.shrink};
}

bool ParseInt32(const char* text, int32_t& value) {
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool ParseDouble(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    double v = strtod(text, &end);
    if (end == text || *end != '\0' || isspace(static_cast<unsigned char>(*text)))
        return false;
    value = v; // overflow gives +-inf, which the tone step handles
    return true;
}

OptionResult ParsePipelineOption(int argc, char** argv, int& i, PipelineSettings& settings,
                                 std::string& error) {
    static const char* const kNames[] = {"--dither", "--contrast", "--offset", "--gamma",
                                         "--invert", "--rotate",   "--pos",    "--shrink"};
    std::string name = argv[i];
    bool known = false;
    for (const char* n : kNames)
        known = known || name == n;
    if (!known)
        return OptionResult::NotMine;
    if (i + 1 >= argc) {
        error = name + " needs a value";
        return OptionResult::Bad;
    }
    const char* value = argv[++i];
    if (!ParseValue(name, value, settings)) {
        error = "bad value for " + name + ": " + value;
        return OptionResult::Bad;
    }
    // Quarter turns would not tile the panel.
    if (name == "--rotate" && settings.rotate != 0 && settings.rotate != 2) {
        error = std::string("--rotate must be 0 (upright) or 2 (half a turn), not ") + value;
        return OptionResult::Bad;
    }
    return OptionResult::Taken;
}

bool ReadCaptures(const std::vector<std::string>& paths, std::vector<Capture>& captures,
                  std::string& error) {
    if (paths.empty()) {
        error = "no IMAGE given";
        return false;
    }
    captures.resize(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!ReadCapture(paths[i], captures[i], error))
            return false;
        if (captures[i].width != captures[0].width || captures[i].height != captures[0].height) {
            error = paths[i] + ": size differs from " + paths[0];
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> ConvertCaptures(const std::vector<Capture>& captures,
                                     const PipelineSettings& settings) {
    std::unique_ptr<MonitorRecord> record = DisplayRecord(settings);
    FrameDisplay slot{record.get(), panelWindow(*record), record->invert != 0, record->rotate};
    comsrc::RectList dirty(256, 16);
    std::vector<uint8_t> out;
    AppendBlocks sink(out);
    g_comparePhase = 0;
    g_frameCounter = 0;
    for (size_t i = 0; i < captures.size(); ++i) {
        const Capture& now = captures[i];
        const Capture& before = captures[i == 0 ? 0 : i - 1];
        reportChanges(i == 0, View(now), View(before), now.width, now.height, dirty);
        CapturePixels pixels(now);
        convertCapturedFrame(&slot, 1, CaptureSize{now.width, now.height}, record->shrink, pixels,
                             dirty, sink);
    }
    return out;
}

bool ParseCommand(int argc, char** argv, const std::vector<NamedValue>& named,
                  PipelineSettings& settings, std::vector<std::string>& images,
                  std::string& error) {
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        OptionResult r = ParsePipelineOption(argc, argv, i, settings, error);
        if (r == OptionResult::Bad)
            return false;
        if (r == OptionResult::Taken)
            continue;
        const NamedValue* option = nullptr;
        for (const NamedValue& n : named)
            option = arg == n.name ? &n : option;
        if (option) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            *option->value = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            images.push_back(arg);
        }
    }
    return true;
}

bool BytesOfImages(const std::vector<std::string>& images, const PipelineSettings& settings,
                   std::vector<uint8_t>& bytes, std::string& warning, std::string& error) {
    std::vector<Capture> captures;
    if (!ReadCaptures(images, captures, error) ||
        !CheckWindow(images[0], captures[0], *DisplayRecord(settings), warning, error))
        return false;
    bytes = ConvertCaptures(captures, settings);
    return true;
}

void PrintWarning(const char* command, const std::string& warning) {
    if (!warning.empty())
        fprintf(stderr, "mirtool %s: warning: %s\n", command, warning.c_str());
}

int RunConvert(int argc, char** argv) {
    if (AsksForHelp(argc, argv)) {
        PrintHelp("convert", stdout);
        return kExitDone;
    }
    PipelineSettings settings;
    std::vector<std::string> images;
    std::string output;
    std::string error;
    if (!ParseCommand(argc, argv, {{"-o", &output}}, settings, images, error))
        return Fail(error);
    if (output.empty())
        return Fail(std::string("no -o OUT given; ") + kUsage);
    std::vector<uint8_t> bytes;
    std::string warning;
    if (!BytesOfImages(images, settings, bytes, warning, error))
        return Fail(error);
    PrintWarning("convert", warning);
    if (!WriteOutputFile(output, bytes, error)) {
        fprintf(stderr, "mirtool convert: %s\n", error.c_str());
        return kExitOutputFailed;
    }
    return kExitDone;
}

} // namespace mirtool
