#include "Region_Win32.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace comsrc {

namespace {

constexpr int32_t kScaleBufferBytes = 8192;

LONG Clamp(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= double(std::numeric_limits<LONG>::max()))
        return std::numeric_limits<LONG>::max();
    if (v <= double(std::numeric_limits<LONG>::min()))
        return std::numeric_limits<LONG>::min();
    return LONG(v); // truncates toward zero
}

// factor * edge truncated toward zero, then moved outwards by grow pixels.
LONG ScaleEdge(LONG edge, double factor, int grow) {
    return Clamp(double(Clamp(factor * edge)) + grow);
}

RECT ScaleRect(const RECT& r, double factor, int g) {
    RECT s = {ScaleEdge(r.left, factor, -g), ScaleEdge(r.top, factor, -g),
              ScaleEdge(r.right, factor, g), ScaleEdge(r.bottom, factor, g)};
    return s;
}

} // namespace

Region::Region(const Region& other) {
    if (!other.hrgn)
        return;
    hrgn = CreateRectRgn(0, 0, 1, 1);
    if (hrgn)
        CombineRgn(hrgn, other.hrgn, other.hrgn, RGN_COPY);
}

Region& Region::operator=(const Region& other) {
    Assign(other);
    return *this;
}

Region::~Region() {
    SetNull();
}

Region Region::FromRect(const RECT& r) {
    Region t;
    t.SetRect(r);
    return t;
}

Region& Region::operator=(const RECT& r) {
    SetRect(r);
    return *this;
}

Region& Region::operator+=(const RECT& r) {
    Union(r);
    return *this;
}

Region& Region::operator+=(const Region& other) {
    Union(other);
    return *this;
}

Region& Region::operator-=(const RECT& r) {
    Subtract(r);
    return *this;
}

Region& Region::operator-=(const Region& other) {
    Subtract(other);
    return *this;
}

Region& Region::operator|=(const RECT& r) {
    return *this += r;
}

Region& Region::operator|=(const Region& other) {
    return *this += other;
}

Region& Region::operator&=(const RECT& r) {
    Intersect(r);
    return *this;
}

Region& Region::operator&=(const Region& other) {
    Intersect(other);
    return *this;
}

Region& Region::operator^=(const RECT& r) {
    Xor(r);
    return *this;
}

Region& Region::operator^=(const Region& other) {
    Xor(other);
    return *this;
}

Region Region::operator+(const RECT& r) const {
    return Region(*this) += r;
}

Region Region::operator+(const Region& other) const {
    return Region(*this) += other;
}

Region Region::operator-(const RECT& r) const {
    return Region(*this) -= r;
}

Region Region::operator-(const Region& other) const {
    return Region(*this) -= other;
}

Region Region::operator|(const RECT& r) const {
    return *this + r;
}

Region Region::operator|(const Region& other) const {
    return *this + other;
}

Region Region::operator&(const RECT& r) const {
    return Region(*this) &= r;
}

Region Region::operator&(const Region& other) const {
    return Region(*this) &= other;
}

Region Region::operator^(const RECT& r) const {
    return Region(*this) ^= r;
}

Region Region::operator^(const Region& other) const {
    return Region(*this) ^= other;
}

bool Region::operator==(const RECT& r) const {
    return Equals(r);
}

bool Region::operator==(const Region& other) const {
    return Equals(other);
}

bool Region::IsEqualTo(const RECT& r) const {
    return Equals(r);
}

bool Region::IsEqualTo(const Region& other) const {
    return Equals(other);
}

void Region::Assign(const Region& other) {
    if (&other == this)
        return;
    if (!other.hrgn) {
        SetNull();
        return;
    }
    if (!hrgn)
        hrgn = CreateRectRgn(0, 0, 1, 1);
    if (hrgn)
        CombineRgn(hrgn, other.hrgn, other.hrgn, RGN_COPY);
}

int32_t Region::SetRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (!hrgn) {
        hrgn = CreateRectRgn(left, top, right, bottom);
        return hrgn ? 1 : 0;
    }
    return SetRectRgn(hrgn, left, top, right, bottom);
}

int32_t Region::SetRect(const RECT& r) {
    return SetRect(r.left, r.top, r.right, r.bottom);
}

void Region::Offset(int32_t dx, int32_t dy) {
    if (hrgn)
        OffsetRgn(hrgn, dx, dy);
}

bool Region::Equals(const RECT& r) const {
    return Equals(FromRect(r));
}

bool Region::Equals(const Region& other) const {
    if (!other.hrgn)
        return !hrgn;
    if (!hrgn)
        return false;
    return EqualRgn(hrgn, other.hrgn) != 0;
}

int32_t Region::GetRects(void* buffer, int32_t size) const {
    if (!hrgn)
        return 0;
    const int32_t headerBytes = int32_t(sizeof(RGNDATAHEADER));
    if (!buffer || size < headerBytes)
        return -1;
    if (GetRegionData(hrgn, DWORD(size), static_cast<RGNDATA*>(buffer)) == 0)
        return -1;
    RGNDATAHEADER header;
    std::memcpy(&header, buffer, sizeof header);
    DWORD room = DWORD(size - headerBytes) / sizeof(RECT);
    if (header.nCount > room)
        return -1;
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    std::memmove(bytes, bytes + headerBytes, header.nCount * sizeof(RECT));
    return int32_t(header.nCount);
}

const RECT* Region::GetBox() {
    if (!hrgn || GetRgnBox(hrgn, &box) == 0)
        box = RECT{0, 0, 0, 0};
    return &box;
}

bool Region::IsEmpty() {
    const RECT* b = GetBox();
    return !(b->right > b->left) && !(b->bottom > b->top);
}

void Region::Combine(const Region& other, int mode) {
    CombineRgn(hrgn, hrgn, other.hrgn, mode);
}

void Region::CombineOrAdopt(const Region& other, int mode) {
    if (!other.hrgn)
        return;
    if (hrgn)
        Combine(other, mode);
    else
        Assign(other);
}

void Region::Union(const RECT& r) {
    Union(FromRect(r));
}

void Region::Union(const Region& other) {
    CombineOrAdopt(other, RGN_OR);
}

void Region::Intersect(const RECT& r) {
    Intersect(FromRect(r));
}

void Region::Intersect(const Region& other) {
    if (hrgn && other.hrgn)
        Combine(other, RGN_AND);
    else
        SetNull();
}

void Region::Subtract(const RECT& r) {
    Subtract(FromRect(r));
}

void Region::Subtract(const Region& other) {
    if (hrgn && other.hrgn)
        Combine(other, RGN_DIFF);
}

void Region::Xor(const RECT& r) {
    Xor(FromRect(r));
}

void Region::Xor(const Region& other) {
    CombineOrAdopt(other, RGN_XOR);
}

int32_t Region::Scale(double factor, bool grow) {
    if (factor == 1.0)
        return 0;
    int g = grow ? 1 : 0;
    alignas(RECT) uint8_t buffer[kScaleBufferBytes];
    int32_t n = GetRects(buffer, kScaleBufferBytes);
    Region result;
    if (n < 0) {
        result.SetRect(ScaleRect(*GetBox(), factor, g));
    } else {
        const RECT* rects = reinterpret_cast<const RECT*>(buffer);
        for (int32_t i = 0; i < n; ++i)
            result.Union(ScaleRect(rects[i], factor, g));
    }
    Assign(result);
    return n < 0 ? -1 : 0;
}

void Region::SetNull() {
    if (hrgn)
        DeleteObject(hrgn);
    hrgn = nullptr;
}

} // namespace comsrc
