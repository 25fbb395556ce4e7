#include "app/settings/SettingsFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "multio/TextReader_Stream.h"
#include "multio/TextWriter_Stream.h"

namespace {

// Each program line is formatted into a buffer of this size.
constexpr size_t kProgramLineSize = 512;
// Bytes the reader asks the stream for beyond what a line needs: reading byte by byte
// would cost a stream call per byte.
constexpr int32_t kReadAhead = 2047;

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

// Key names and integer values are put together by hand, without printf or the heap: a
// load puts and takes every key. `Size` counts the NUL.
template <size_t Size> struct KeyText {
    char text[Size];
    size_t length = 0;
    KeyText& operator<<(const char* part) {
        const size_t n = std::min(std::strlen(part), sizeof text - 1 - length);
        std::memcpy(text + length, part, n);
        length += n;
        text[length] = '\0';
        return *this;
    }
    KeyText& operator<<(int32_t value) {
        char digits[12];
        char* at = digits + sizeof digits;
        *--at = '\0';
        uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : value;
        do {
            *--at = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0) {
            *--at = '-';
        }
        return *this << at;
    }
};

constexpr size_t kMonitorKeyCount = sizeof kMonitorKeys / sizeof kMonitorKeys[0];

// "MO.<display>.<NAME>" of display `index`'s key `key`. Made once: a load and a save put
// and take every one of them.
const char* monitorKeyName(size_t index, size_t key) {
    struct Names {
        char text[kMonitorCount][kMonitorKeyCount][32];
        Names() {
            for (size_t i = 0; i < static_cast<size_t>(kMonitorCount); ++i) {
                for (size_t k = 0; k < kMonitorKeyCount; ++k) {
                    KeyText<sizeof text[i][k]> name;
                    name << "MO." << static_cast<int32_t>(i) << "." << kMonitorKeys[k].name;
                    std::memcpy(text[i][k], name.text, name.length + 1);
                }
            }
        }
    };
    static const Names names;
    return names.text[index][key];
}

void putMonitorKey(KeyTable& table, size_t index, size_t keyIndex, const MonitorRecord& rec) {
    const MonitorKey& key = kMonitorKeys[keyIndex];
    const char* name = monitorKeyName(index, keyIndex);
    if (key.real != nullptr) {
        char value[kProgramLineSize];
        std::snprintf(value, sizeof value, "%f", rec.*key.real);
        table.PutValue(name, value);
    } else {
        KeyText<16> digits;
        digits << (key.asFlag ? (rec.*key.integer != 0 ? 1 : 0) : rec.*key.integer);
        table.PutValue(name, digits.text);
    }
}

void takeMonitorKey(const KeyTable& table, size_t index, size_t keyIndex, MonitorRecord& rec) {
    const MonitorKey& key = kMonitorKeys[keyIndex];
    const char* name = monitorKeyName(index, keyIndex);
    if (key.real != nullptr) {
        rec.*key.real = table.GetDouble(name, rec.*key.real);
    } else {
        rec.*key.integer = table.GetInteger(name, rec.*key.integer);
    }
}

bool isTrimmed(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

// Appends what fits of `length` bytes to a file line of at most kSettingsLineMax bytes.
size_t appendCapped(char* line, size_t used, const char* text, size_t length) {
    const size_t n = std::min(length, kSettingsLineMax - used);
    std::memcpy(line + used, text, n);
    return used + n;
}

} // namespace

void handleSettingsLine(KeyTable& table, const std::string& line) {
    // A NUL byte ends the line like the end of the copy does.
    const size_t limit = std::min(line.size(), kSettingsLineMax);
    const void* nul = std::memchr(line.data(), '\0', limit);
    size_t end =
        nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - line.data()) : limit;
    const void* comment = std::memchr(line.data(), '#', end);
    if (comment != nullptr) {
        end = static_cast<size_t>(static_cast<const char*>(comment) - line.data());
    }
    if (std::memchr(line.data(), '=', end) == nullptr) {
        return;
    }
    while (end > 0 && isTrimmed(line[end - 1])) {
        --end;
    }
    size_t start = 0;
    while (start < end && isTrimmed(line[start])) {
        ++start;
    }
    char buffer[kSettingsLineMax + 1];
    std::memcpy(buffer, line.data() + start, end - start);
    buffer[end - start] = '\0';
    table.PutEditable(buffer, end - start);
}

void putProgramKeys(KeyTable& table, const std::vector<MonitorRecord>& records, int32_t runMode) {
    KeyText<16> mode;
    mode << runMode;
    table.PutValue(kModeKey, mode.text);
    for (size_t i = 0; i < records.size() && i < static_cast<size_t>(kMonitorCount); ++i) {
        for (size_t k = 0; k < kMonitorKeyCount; ++k) {
            putMonitorKey(table, i, k, records[i]);
        }
    }
}

void takeProgramKeys(const KeyTable& table, std::vector<MonitorRecord>& records, int32_t& runMode) {
    for (size_t i = 0; i < records.size() && i < static_cast<size_t>(kMonitorCount); ++i) {
        for (size_t k = 0; k < kMonitorKeyCount; ++k) {
            takeMonitorKey(table, i, k, records[i]);
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
    // The reader reads ahead in chunks, so it may hold lines the stream no longer reports:
    // read until a line comes back empty (every line but a last one keeps its line feed),
    // which is the end of the data, a stream that stopped delivering, or a failure.
    multio::TextReader_Stream reader(&stream);
    std::string line; // one string for every line: its storage is reused
    for (;;) {
        reader.ReadLineInto(line, kReadAhead);
        if (line.empty()) {
            return;
        }
        bool ended = line.back() == '\n';
        handleSettingsLine(table, line);
        // A line longer than the reader's buffer comes in pieces: drop the rest, or a key
        // at the end of a long comment would take effect.
        while (!ended) {
            reader.ReadLineInto(line, kReadAhead);
            if (line.empty()) {
                return;
            }
            ended = line.back() == '\n';
        }
    }
}

int32_t writeSettingsLines(const KeyTable& table, multio::Stream& stream) {
    multio::TextWriter_Stream writer(&stream);
    char line[kSettingsLineMax + 2];
    for (int32_t i = 0; i < table.Count(); ++i) {
        size_t used = appendCapped(line, 0, table.KeyAt(i), table.KeyLengthAt(i));
        used = appendCapped(line, used, "=", 1);
        used = appendCapped(line, used, table.ValueAt(i), table.ValueLengthAt(i));
        line[used] = '\n';
        line[used + 1] = '\0';
        const int32_t result = writer.WriteString(line);
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
