#include "tools/mirtool/mirror/MirrorSetup.h"

#include "tools/mirtool/Convert.h"

namespace mirtool {

namespace {

constexpr int32_t kMaxSeconds = 31 * 24 * 3600; // a month: keeps deadlines far from overflow

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

bool ParseSeconds(const char* text, int32_t& seconds) {
    return ParseInt32(text, seconds) && seconds >= 1 && seconds <= kMaxSeconds;
}

bool ParseSpeed(const char* text, int32_t& speed) {
    return ParseInt32(text, speed) && speed > 0;
}

// The mirror's own options that take a value; the value is checked here.
OptionResult TakeValueOption(int argc, char** argv, int& i, MirrorArgs& args, std::string& error) {
    const std::string name = argv[i];
    bool ok = true;
    if (name != "--config" && name != "--port" && name != "--seconds" && name != "--speed")
        return OptionResult::NotMine;
    if (i + 1 >= argc) {
        error = name + " needs a value";
        return OptionResult::Bad;
    }
    const char* value = argv[++i];
    if (name == "--config")
        ok = (args.config = value).size() > 0;
    else if (name == "--port")
        ok = (args.port = value).size() > 0;
    else if (name == "--seconds")
        ok = ParseSeconds(value, args.seconds);
    else
        ok = ParseSpeed(value, args.speed);
    if (!ok)
        error = "bad value for " + name + ": \"" + value + "\"";
    return ok ? OptionResult::Taken : OptionResult::Bad;
}

// A display's device: --port for display 0, else the file's key.
std::string DeviceOf(int32_t index, const MirrorArgs& args, const KeyTable* table) {
    if (index == 0 && !args.port.empty())
        return args.port;
    const char* value = table ? table->Find(DeviceKey(index).c_str()) : nullptr;
    return value ? value : "";
}

} // namespace

bool ParseMirrorArgs(int argc, char** argv, MirrorArgs& args, std::string& error) {
    PipelineSettings scratch;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const int at = i;
        OptionResult r = ParsePipelineOption(argc, argv, i, scratch, error);
        if (r == OptionResult::Taken)
            args.conversionArgs.push_back(at);
        if (r == OptionResult::NotMine)
            r = TakeValueOption(argc, argv, i, args, error);
        if (r == OptionResult::Bad)
            return false;
        if (r == OptionResult::Taken)
            continue;
        if (arg == "--help" || arg == "-h") {
            args.help = true;
        } else if (arg == "--verbose") {
            args.verbose = true;
        } else {
            error = "unknown argument " + arg;
            return false;
        }
    }
    return true;
}

std::string DefaultConfigPath(const char* xdgConfigHome, const char* home) {
    std::string base;
    if (IsAbsolute(xdgConfigHome))
        base = xdgConfigHome;
    else if (IsAbsolute(home))
        base = std::string(home) + "/.config";
    else
        return "";
    return base + "/mirvane/mirvista.ini";
}

std::string DeviceKey(int32_t index) {
    return "MO." + std::to_string(index) + ".DEVICE";
}

bool PlanDisplays(int argc, char** argv, const MirrorArgs& args, const KeyTable* table,
                  std::vector<MonitorRecord>& records, std::vector<MirrorPort>& ports,
                  std::vector<std::string>& notes, std::string& error) {
    if (records.empty()) {
        error = "no display records";
        return false;
    }
    PipelineSettings settings = PipelineSettingsOf(records[0]);
    for (int at : args.conversionArgs) {
        int i = at; // checked by ParseMirrorArgs: the value is there and parses
        ParsePipelineOption(argc, argv, i, settings, error);
    }
    ApplyPipelineSettings(settings, records[0]);
    if (args.speed > 0)
        records[0].speed = args.speed;
    if (!table || !args.port.empty())
        records[0].active = 1;
    ports.clear();
    for (size_t i = 0; i < records.size(); ++i) {
        const int32_t index = static_cast<int32_t>(i);
        if (!records[i].active)
            continue;
        std::string device = DeviceOf(index, args, table);
        if (device.empty()) {
            records[i].active = 0;
            notes.push_back("display " + std::to_string(index) + " is active but has no device (" +
                            (index == 0 ? "--port or " : "") + DeviceKey(index) + "): not driven");
            continue;
        }
        ports.push_back(MirrorPort{index, device, records[i].speed, records[i].cts != 0});
    }
    if (ports.empty()) {
        error = table ? "no active display with a device in the settings file; give --port DEVICE"
                      : "no --port DEVICE given and no settings file";
        return false;
    }
    return true;
}

} // namespace mirtool
