// Base of every bitmap: a size, a kind and one drawing context it hands out.
#pragma once

#include <cstdint>

namespace comsrc {

class DrawingContext;

enum : int32_t {
    kBitmapKindCompat = 1,
    kBitmapKindDIB = 2,
    kBitmapKindDIBWin32 = 257,
};

class Bitmap {
public:
    virtual ~Bitmap();
    virtual int32_t Create(int32_t width, int32_t height) = 0;
    virtual DrawingContext* AcquireContext() = 0;
    virtual int32_t ReleaseContext(DrawingContext* ctx) = 0;
    virtual int32_t GetWidth() const { return width; }
    virtual int32_t GetHeight() const { return height; }
    virtual int32_t GetKind() const { return kind; }

    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

protected:
    explicit Bitmap(int32_t bitmapKind) : kind(bitmapKind) {}
    // Deletes the owned context object, if any, and forgets it.
    void DestroyContext();

    DrawingContext* context = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t kind;
};

} // namespace comsrc
