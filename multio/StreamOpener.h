#pragma once
// Opening a named stream. The flags say how; an opener maps them onto its own system.

#include <cstdint>

#include "multio/Stream.h"

namespace multio {

// Open flags.
enum OpenFlags : uint32_t {
    kOpenRead = 0x001,     // read access; others may read too
    kOpenWrite = 0x002,    // write access
    kOpenExecute = 0x004,  // execute access
    kOpenTruncate = 0x200, // empty an existing file
    kOpenCreate = 0x400,   // create a missing file
    kOpenNew = 0x800,      // create, failing when the file exists
};

// StreamOpener_File_WIN32File result when the path copy cannot be allocated.
constexpr int32_t kOpenNoMemory = -1024;
// Result when the stream object cannot be allocated.
constexpr int32_t kOpenNoStream = -2;

class StreamOpener {
public:
    virtual ~StreamOpener() = default;
    // Stores the new stream in `stream` (null on failure) and returns 0 or a negative code.
    virtual int32_t Open(const char* name, uint32_t flags, Stream** stream) = 0;
};

} // namespace multio
