// Loading mirvista.ini on Linux: the same parser, keys and table as the Windows program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/MonitorRecord.h"
#include "app/settings/KeyTable.h"

namespace mirtool {

// Reads the settings file at `path` into `table` and the records. Returns 0, or the negated
// errno of opening or reading it with `error` naming the file. A file that reads only in
// part is refused rather than half applied.
int32_t LoadSettingsFile(const std::string& path, KeyTable& table,
                         std::vector<MonitorRecord>& records, int32_t& runMode, std::string& error);

} // namespace mirtool
