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

namespace mirtool {

namespace {

const char kUsage[] = "usage: convert IMAGE... -o OUT [--dither N] [--contrast X] [--offset N] "
                      "[--gamma X] [--invert N] [--rotate N] [--pos X,Y] [--shrink N]";

int Fail(const std::string& message) {
    fprintf(stderr, "mirtool convert: %s\n", message.c_str());
    return 2;
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

// Writes under a temporary name and renames into place: OUT is whole or untouched.
bool WriteOutput(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    std::string temporary = path + ".part";
    FILE* f = fopen(temporary.c_str(), "wb");
    if (!f) {
        error = temporary + ": " + strerror(errno);
        return false;
    }
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (fclose(f) == 0) && ok;
    if (ok && rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    error = path + ": write failed";
    remove(temporary.c_str());
    return false;
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
                   std::vector<uint8_t>& bytes, std::string& error) {
    std::vector<Capture> captures;
    if (!ReadCaptures(images, captures, error))
        return false;
    bytes = ConvertCaptures(captures, settings);
    return true;
}

int RunConvert(int argc, char** argv) {
    PipelineSettings settings;
    std::vector<std::string> images;
    std::string output;
    std::string error;
    if (!ParseCommand(argc, argv, {{"-o", &output}}, settings, images, error))
        return Fail(error);
    if (output.empty())
        return Fail(std::string("no -o OUT given; ") + kUsage);
    std::vector<uint8_t> bytes;
    if (!BytesOfImages(images, settings, bytes, error))
        return Fail(error);
    if (!WriteOutput(output, bytes, error)) {
        fprintf(stderr, "mirtool convert: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace mirtool
