#pragma once
// Opens a file path as a multio::Stream_WIN32File. "/" in the path works like "\".

#include "multio/StreamOpener.h"

namespace multio {

class StreamOpener_File_WIN32File : public StreamOpener {
public:
    // Returns 0, kOpenNoMemory, kOpenNoStream or the negated CreateFileA error.
    int32_t Open(const char* name, uint32_t flags, Stream** stream) override;
};

} // namespace multio
