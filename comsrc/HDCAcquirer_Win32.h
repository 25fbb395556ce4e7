#pragma once
// Owns the device context of one display device and remembers where that display lies on
// the desktop (its creator writes the rectangle).

#include <windows.h>

class HDCAcquirer {
public:
    // deviceName null selects the whole display.
    explicit HDCAcquirer(const char* deviceName);
    HDCAcquirer(const HDCAcquirer&) = delete;
    HDCAcquirer& operator=(const HDCAcquirer&) = delete;

    virtual ~HDCAcquirer();
    // (Re)creates the device context; also recovers one that stopped working. 0 or -1.
    virtual int Open();
    virtual int Close();
    virtual RECT* GetRect();
    virtual HDC GetHDC();
    virtual HANDLE GetHandle();

private:
    char* deviceName_;
    bool named_; // a device was named, even if keeping the copy failed
    HDC hdc_ = nullptr;
    HANDLE handle_ = nullptr;
    RECT rect_{};
};
