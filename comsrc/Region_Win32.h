// A value-like wrapper around one GDI region, with set operations against
// rectangles and other regions.
#pragma once

#include <windows.h>

#include <cstdint>

namespace comsrc {

// A Region may hold no GDI region at all (null). A null region reads as empty,
// but Union, Intersect, Xor and Equals tell it apart from an empty GDI region:
// Xor of a region with itself leaves an empty, non-null region.
class Region {
public:
    Region() = default;
    Region(const Region& other);
    Region& operator=(const Region& other);
    virtual ~Region();

    virtual Region& operator=(const RECT& r);
    virtual Region& operator+=(const RECT& r);
    virtual Region& operator+=(const Region& other);
    virtual Region& operator-=(const RECT& r);
    virtual Region& operator-=(const Region& other);
    virtual Region& operator|=(const RECT& r);
    virtual Region& operator|=(const Region& other);
    virtual Region& operator&=(const RECT& r);
    virtual Region& operator&=(const Region& other);
    virtual Region& operator^=(const RECT& r);
    virtual Region& operator^=(const Region& other);
    virtual Region operator+(const RECT& r) const;
    virtual Region operator+(const Region& other) const;
    virtual Region operator-(const RECT& r) const;
    virtual Region operator-(const Region& other) const;
    virtual Region operator|(const RECT& r) const;
    virtual Region operator|(const Region& other) const;
    virtual Region operator&(const RECT& r) const;
    virtual Region operator&(const Region& other) const;
    virtual Region operator^(const RECT& r) const;
    virtual Region operator^(const Region& other) const;
    virtual bool operator==(const RECT& r) const;
    virtual bool operator==(const Region& other) const;
    virtual bool IsEqualTo(const RECT& r) const;
    virtual bool IsEqualTo(const Region& other) const;
    virtual void Assign(const Region& other);
    // Makes the region one rectangle; nonzero on success.
    virtual int32_t SetRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
    virtual int32_t SetRect(const RECT& r);
    virtual void Offset(int32_t dx, int32_t dy);
    virtual bool Equals(const RECT& r) const;
    virtual bool Equals(const Region& other) const;
    // Writes the region's rectangles to the start of buffer and returns their
    // count: 0 for a null region, -1 when they do not fit in size bytes (the
    // buffer holds at most (size - 32) / 16 of them).
    virtual int32_t GetRects(void* buffer, int32_t size) const;
    // Bounding box, (0, 0, 0, 0) for a null or empty region.
    virtual const RECT* GetBox();
    virtual bool IsEmpty();
    virtual void Union(const RECT& r);
    virtual void Union(const Region& other);
    virtual void Intersect(const RECT& r);
    virtual void Intersect(const Region& other);
    virtual void Subtract(const RECT& r);
    virtual void Subtract(const Region& other);
    virtual void Xor(const RECT& r);
    virtual void Xor(const Region& other);
    // Scales every rectangle by factor, growing each edge outwards by one pixel
    // when grow. Falls back to the scaled bounding box and returns -1 when the
    // region has more rectangles than fit in 8192 bytes; otherwise 0.
    virtual int32_t Scale(double factor, bool grow);
    virtual HRGN GetHRGN() const { return hrgn; }
    virtual void SetNull();

private:
    static Region FromRect(const RECT& r);
    // Combines other into this region with mode; both must be non-null.
    void Combine(const Region& other, int mode);
    // Combines a non-null other into this; a null this becomes a copy of other.
    void CombineOrAdopt(const Region& other, int mode);

    HRGN hrgn = nullptr;
    RECT box = {0, 0, 0, 0};
};

} // namespace comsrc
