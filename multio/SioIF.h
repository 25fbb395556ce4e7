// SioIF: a serial (COM) port as a multio::Stream. Windows only.
//
// Opened by the constructor with 8N1, DTR and RTS off, and optional CTS output
// flow control. A port that does not open leaves the stream Failed; a write
// that finds the device gone closes the port and makes it Failed for good.
#pragma once

#include "multio/Stream.h"

#include <windows.h>

#include <atomic>

class SioIF : public multio::Stream {
public:
    SioIF(const char* portPath, int32_t baudRate, bool ctsFlow);
    ~SioIF() override;

    int32_t Read(void* buffer, int32_t length, uint32_t flags) override;
    int32_t Write(const void* buffer, int32_t length, uint32_t flags) override;
    bool IsFailed() override;

private:
    void Configure(int32_t baudRate, bool ctsFlow);
    void CloseHandleNow();

    // Written by the sender thread, read by the frame loop through IsFailed.
    std::atomic<HANDLE> handle{INVALID_HANDLE_VALUE};
};
