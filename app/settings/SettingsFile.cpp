#include "app/settings/SettingsFile.h"

#include <cstdio>
#include <cstring>

#include "multio/TextReader_Stream.h"
#include "multio/TextWriter_Stream.h"

namespace {

// Each program line is formatted into a buffer of this size.
constexpr size_t kProgramLineSize = 512;
const char kTrimmed[] = " \r\n\t";

// The display keys, in the order they are put and written.
struct MonitorKey {
    const char* name;
    int32_t MonitorRecord::*integer; // null for a double field
    double MonitorRecord::*real;     // null for an integer field
    bool asFlag;                     // written as 0 or 1
};

const MonitorKey kMonitorKeys[] = {
    {"ACTIVE", &MonitorRecord::active, nullptr, false},
    {"PORT", &MonitorRecord::port, nullptr, false},
    {"SPEED", &MonitorRecord::speed, nullptr, false},
    {"DITHER", &MonitorRecord::dither, nullptr, false},
    {"CONTRAST", nullptr, &MonitorRecord::contrast, false},
    {"OFFSET", &MonitorRecord::offset, nullptr, false},
    {"GAMMA", nullptr, &MonitorRecord::gamma, false},
    {"INVERT", &MonitorRecord::invert, nullptr, true},
    {"ROTATE", &MonitorRecord::rotate, nullptr, false},
    {"SHRINK", &MonitorRecord::shrink, nullptr, false},
    {"CTS", &MonitorRecord::cts, nullptr, false},
    {"POS.X", &MonitorRecord::posX, nullptr, false},
    {"POS.Y", &MonitorRecord::posY, nullptr, false},
};

const char kModeKey[] = "G.MODE";

void putMonitorKey(KeyTable& table, int index, const MonitorKey& key, const MonitorRecord& rec) {
    char line[kProgramLineSize];
    if (key.real != nullptr) {
        std::snprintf(line, sizeof line, "MO.%d.%s = %f", index, key.name, rec.*key.real);
    } else {
        const int32_t value = key.asFlag ? (rec.*key.integer != 0 ? 1 : 0) : rec.*key.integer;
        std::snprintf(line, sizeof line, "MO.%d.%s = %d", index, key.name, static_cast<int>(value));
    }
    table.Put(line);
}

void takeMonitorKey(const KeyTable& table, int index, const MonitorKey& key, MonitorRecord& rec) {
    char name[64];
    std::snprintf(name, sizeof name, "MO.%d.%s", index, key.name);
    if (key.real != nullptr) {
        rec.*key.real = table.GetDouble(name, rec.*key.real);
    } else {
        rec.*key.integer = table.GetInteger(name, rec.*key.integer);
    }
}

bool isTrimmed(char c) {
    return c != '\0' && std::strchr(kTrimmed, c) != nullptr;
}

} // namespace

void handleSettingsLine(KeyTable& table, const std::string& line) {
    if (line.empty()) {
        return;
    }
    char buffer[kSettingsLineMax + 1];
    // A NUL byte ends the line like the end of the copy does.
    const size_t length = strnlen(line.c_str(), kSettingsLineMax);
    std::memcpy(buffer, line.c_str(), length);
    buffer[length] = '\0';

    char* comment = std::strchr(buffer, '#');
    if (comment != nullptr) {
        *comment = '\0';
    }
    if (std::strchr(buffer, '=') == nullptr) {
        return;
    }
    size_t end = std::strlen(buffer);
    while (end > 0 && isTrimmed(buffer[end - 1])) {
        buffer[--end] = '\0';
    }
    if (end == 0) {
        return;
    }
    table.Put(buffer + std::strspn(buffer, kTrimmed));
}

void putProgramKeys(KeyTable& table, const std::vector<MonitorRecord>& records, int32_t runMode) {
    char line[kProgramLineSize];
    std::snprintf(line, sizeof line, "G.MODE = %d", static_cast<int>(runMode));
    table.Put(line);
    for (size_t i = 0; i < records.size() && i < static_cast<size_t>(kMonitorCount); ++i) {
        for (const MonitorKey& key : kMonitorKeys) {
            putMonitorKey(table, static_cast<int>(i), key, records[i]);
        }
    }
}

void takeProgramKeys(const KeyTable& table, std::vector<MonitorRecord>& records, int32_t& runMode) {
    for (size_t i = 0; i < records.size() && i < static_cast<size_t>(kMonitorCount); ++i) {
        for (const MonitorKey& key : kMonitorKeys) {
            takeMonitorKey(table, static_cast<int>(i), key, records[i]);
        }
    }
    runMode = table.GetInteger(kModeKey, runMode);
    if (runMode != 0 && runMode != 1) {
        runMode = 0;
    }
}

void readSettingsLines(KeyTable& table, multio::Stream& stream) {
    if (stream.IsEof()) {
        return;
    }
    // A lookahead of -1 refills one byte at a time: the reader never holds bytes past the
    // line it returns.
    multio::TextReader_Stream reader(&stream);
    auto more = [&reader] { return !reader.IsEof() && reader.RefillStatus() == 0; };
    do {
        std::string line = reader.ReadLine(-1);
        bool ended = !line.empty() && line.back() == '\n';
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
            line.pop_back();
        }
        handleSettingsLine(table, line);
        // A line longer than the reader's buffer comes in pieces: drop the rest, or a key
        // at the end of a long comment would take effect.
        while (!ended && more()) {
            const std::string piece = reader.ReadLine(-1);
            ended = !piece.empty() && piece.back() == '\n';
        }
    } while (more());
}

int32_t writeSettingsLines(const KeyTable& table, multio::Stream& stream) {
    multio::TextWriter_Stream writer(&stream);
    for (int32_t i = 0; i < table.Count(); ++i) {
        const int32_t result = writer.Printf("%s=%s\n", table.KeyAt(i), table.ValueAt(i));
        if (result < 0) {
            return result;
        }
    }
    return 0;
}

void loadSettings(KeyTable& table, multio::Stream& stream, std::vector<MonitorRecord>& records,
                  int32_t& runMode) {
    putProgramKeys(table, records, runMode);
    readSettingsLines(table, stream);
    takeProgramKeys(table, records, runMode);
}

int32_t saveSettings(KeyTable& table, multio::Stream& stream,
                     const std::vector<MonitorRecord>& records, int32_t runMode) {
    putProgramKeys(table, records, runMode);
    return writeSettingsLines(table, stream);
}
