// libFuzzer target: arbitrary bytes as mirvista.ini through the load, then a save into
// memory. The saved file must load and save back to the same bytes, a stream that ends
// without reporting its end must load the same, and a stream that fails partway through
// must end the load.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/settings/SettingsFile.h"
#include "tests/multio/MemoryStream.h"

namespace {

// The records are large (work planes); they are made once and their settings reset for
// every load, which keeps the fuzzer fast.
std::vector<MonitorRecord>& recordPool(int which) {
    static std::vector<std::vector<MonitorRecord>> pool(4,
                                                        std::vector<MonitorRecord>(kMonitorCount));
    static const MonitorRecord defaults;
    for (MonitorRecord& record : pool[which]) {
        std::memcpy(&record, &defaults, offsetof(MonitorRecord, plane));
    }
    return pool[which];
}

// Like the records, the streams are kept and start over for every load, their storage
// reused: copying the input and the saved text into new strings showed in every run.
enum StreamUse { kReadFrom, kSaveTo, kFirstSaved, kStreamUses };
MemoryStream& streamPool(StreamUse which, const char* bytes = "", size_t size = 0) {
    static MemoryStream pool[kStreamUses];
    pool[which].Restart(bytes, size);
    return pool[which];
}

struct Loaded {
    explicit Loaded(int which) : records(recordPool(which)) {}
    KeyTable table;
    std::vector<MonitorRecord>& records;
    int32_t runMode = 0;
};

// The text saved, in a stream that keeps it until the next execution.
const std::string& saveToMemory(Loaded& loaded, StreamUse which = kSaveTo) {
    MemoryStream& out = streamPool(which);
    if (saveSettings(loaded.table, out, loaded.records, loaded.runMode) != 0) {
        std::abort();
    }
    return out.written;
}

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Every saved line is KEY=VALUE with a non-empty value and a single line feed.
void checkSavedShape(const std::string& saved, int32_t count) {
    int32_t lines = 0;
    size_t start = 0;
    while (start < saved.size()) {
        const size_t end = saved.find('\n', start);
        check(end != std::string::npos);
        const size_t equals = saved.find('=', start);
        check(equals < end && equals + 1 < end);
        check(end - start <= 1023);
        start = end + 1;
        ++lines;
    }
    check(lines == count && count <= KeyTable::kMaxEntries);
}

} // namespace

// ASan's defaults keep 256 MB of freed blocks and a 30-frame stack for every allocation,
// which here cost more than the code under test: an execution frees far less than the
// quarantine below, so a use after free within it is still caught, and a report still
// shows where the block was made and freed, a few frames deep.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16:malloc_context_size=8";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* file = reinterpret_cast<const char*>(data);

    Loaded first(0);
    loadSettings(first.table, streamPool(kReadFrom, file, size), first.records, first.runMode);
    const std::string& saved = saveToMemory(first, kFirstSaved);
    checkSavedShape(saved, first.table.Count());

    Loaded again(1);
    loadSettings(again.table, streamPool(kReadFrom, saved.data(), saved.size()), again.records,
                 again.runMode);
    check(saveToMemory(again) == saved);

    Loaded quiet(2);
    MemoryStream& silent = streamPool(kReadFrom, file, size);
    silent.silentEnd = true; // ends without ever reporting its end
    loadSettings(quiet.table, silent, quiet.records, quiet.runMode);
    check(saveToMemory(quiet) == saved);

    Loaded broken(3);
    MemoryStream& failing = streamPool(kReadFrom, file, size);
    failing.failAt = static_cast<long>(size / 2);
    loadSettings(broken.table, failing, broken.records, broken.runMode);
    check(failing.readCalls <= static_cast<int>(size / 2) + 1);
    saveToMemory(broken);
    return 0;
}
