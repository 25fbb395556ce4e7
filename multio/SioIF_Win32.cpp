#include "multio/SioIF.h"

#include "multio/DeviceLoss.h"

SioIF::SioIF(const char* portPath, int32_t baudRate, bool ctsFlow) {
    handle =
        CreateFileA(portPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        Configure(baudRate, ctsFlow);
}

SioIF::~SioIF() {
    CloseHandleNow();
}

// Only the line settings change; every other DCB field keeps the port's value.
// A rate the driver rejects is not detected: the port stays usable as it was.
void SioIF::Configure(int32_t baudRate, bool ctsFlow) {
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb))
        return;
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = ctsFlow ? 1 : 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    SetCommState(handle, &dcb);
}

void SioIF::CloseHandleNow() {
    HANDLE h = handle.exchange(INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

int32_t SioIF::Read(void* buffer, int32_t length, uint32_t) {
    const HANDLE port = handle;
    if (port == INVALID_HANDLE_VALUE || length < 0)
        return multio::kStreamFailed;
    DWORD got = 0;
    if (!ReadFile(port, buffer, static_cast<DWORD>(length), &got, nullptr))
        return multio::kStreamFailed;
    return static_cast<int32_t>(got);
}

int32_t SioIF::Write(const void* buffer, int32_t length, uint32_t) {
    const HANDLE port = handle;
    if (port == INVALID_HANDLE_VALUE || length < 0)
        return multio::kStreamFailed;
    DWORD put = 0;
    if (WriteFile(port, buffer, static_cast<DWORD>(length), &put, nullptr))
        return static_cast<int32_t>(put);
    if (multio::IsDeviceLostError(GetLastError()))
        CloseHandleNow();
    return multio::kStreamFailed;
}

bool SioIF::IsFailed() {
    return handle == INVALID_HANDLE_VALUE;
}
