// Where a command's output goes: "-" is standard output; a regular file (or a path that
// does not exist yet) is written under a temporary name beside it and renamed into place, so
// that a reader never sees half of it; anything else that the path names (a FIFO, a device,
// a symbolic link, followed to its target) is opened and written into, never replaced.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirtool {

// Returns false with `error` set, naming `path` as the user gave it, on failure.
bool WriteOutputFile(const std::string& path, const std::vector<uint8_t>& bytes,
                     std::string& error);

} // namespace mirtool
