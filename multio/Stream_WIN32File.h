#pragma once
// A multio::Stream over a Windows file handle. The opener creates it on a handle that is
// already open; Close closes that handle, the destructor does not, so the owner calls Close
// and then deletes the stream.

#include <windows.h>

#include "multio/Stream.h"

namespace multio {

class Stream_WIN32File : public Stream {
public:
    explicit Stream_WIN32File(HANDLE handle = nullptr);

    int32_t Open(const char* path, uint32_t flags) override;
    int32_t Close() override;
    int32_t Read(void* buffer, int32_t length, uint32_t flags) override;
    int32_t Write(const void* buffer, int32_t length, uint32_t flags) override;
    int32_t Seek(int32_t offset, int32_t origin) override;
    int32_t Tell() override;
    int32_t Available() override;
    bool IsEof() override;
    int32_t Flush() override;
    bool CanSeek() override;

    virtual int32_t Attach(HANDLE handle);

private:
    HANDLE fileHandle;
    bool atEnd = false;
};

} // namespace multio
