// Fuzzes the mirror driver's escapes with drawing calls interleaved. Each input is a run of
// operations on one device (the queue is flushed and tracking switched off between inputs):
//   0 escape:   number (known by index, else any 32-bit), presence flags, cjIn, cjOut, the
//               input bytes; a present buffer has exactly its size, a missing one any size
//   1 fill:     a rectangle filled through DrvBitBlt, then 0 to 510 lines in it
//   2 hook:     one of the other recording hooks with fuzzed coordinates
//   3 identify
//   4 engine:   drawing calls fail or succeed from now on
//   5 poke:     a word written anywhere in the video memory that the map request shows, its
//               first 4 MiB included (nothing there may matter to the driver)
// After every operation: at most 1023 records queued and the pools' used blocks equal the
// queued records; after each input, the queue's links walk to its tail in that many steps.
// The sanitizers check that nothing outside the buffers is read or written.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "StandIn.h"
#include "driver/MirvanePrivate.h"

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t Word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= (uint32_t)Byte() << (8 * i);
        }
        return v;
    }
    // Fills a buffer from the input, zeros once the input is used up.
    void Bytes(uint8_t* out, uint32_t n) {
        size_t take = size_ - pos_ < n ? size_ - pos_ : n;
        std::memcpy(out, data_ + pos_, take);
        std::memset(out + take, 0, n - take);
        pos_ += take;
    }
    int32_t Small() { return (int16_t)(Byte() | Byte() << 8); }
    // Sizes: mostly small, sometimes anything.
    uint32_t Size() { return (Byte() & 0x80) != 0 ? Word() : Byte() % 64 * 4 + Byte() % 4; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

const ULONG kEscapes[] = {USBED_ESC_QUERYESCSUPPORT,
                          USBED_ESC_IDENTIFY,
                          USBED_ESC_COPY_RECT,
                          USBED_ESC_GET_BITS,
                          USBED_ESC_MAP,
                          USBED_ESC_UNMAP,
                          USBED_ESC_KEEP_MAP,
                          USBED_ESC_MINIPORT_QUERY,
                          USBED_ESC_RESERVED_PAIR,
                          USBED_ESC_PEEK_CHANGE,
                          USBED_ESC_GET_CHANGE,
                          USBED_ESC_GET_CHANGES,
                          USBED_ESC_FLUSH_CHANGES};
constexpr uint32_t kMaxBuffer = 1 << 16;

StandInDevice g_dev;

MirvanePdev* Pdev() {
    return reinterpret_cast<MirvanePdev*>(g_dev.dhpdev);
}

template <class F> F Fn(ULONG index) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(StandInFunction(&g_dev, index)));
}

// After every operation: the counts.
void CheckCounts() {
    MirvanePdev* pdev = Pdev();
    ULONG used = 0;
    for (ULONG i = 0; i < pdev->poolCount; ++i) {
        used += pdev->pools[i]->usedCount;
    }
    if (pdev->changeCount > MIRVANE_QUEUE_LIMIT || used != pdev->changeCount) {
        std::abort();
    }
}

// After each input: the links lead from the head to the tail in changeCount steps.
void CheckLinks() {
    MirvanePdev* pdev = Pdev();
    ULONG walked = 0;
    const MirvaneChangeRecord* r = pdev->changeHead;
    while (r != nullptr && walked <= MIRVANE_QUEUE_LIMIT) {
        ++walked;
        if (r == pdev->changeTail) {
            r = nullptr;
            break;
        }
        r = reinterpret_cast<const MirvaneChangeRecord*>(pdev->poolMemory + r->header.link);
    }
    if (walked != pdev->changeCount || r != nullptr) {
        std::abort();
    }
}

// A buffer of exactly the size the caller claims, or none.
uint8_t* Buffer(bool present, uint32_t& size) {
    if (!present) {
        return nullptr;
    }
    size %= kMaxBuffer;
    return static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size)) + (size == 0 ? 1 : 0);
}

void Escape(Input& in) {
    uint8_t which = in.Byte();
    ULONG esc = which < sizeof(kEscapes) / sizeof(kEscapes[0]) ? kEscapes[which] : in.Word();
    uint8_t flags = in.Byte();
    uint32_t cjIn = in.Size(), cjOut = in.Size();
    uint8_t* pvIn = Buffer(flags & 1, cjIn);
    uint8_t* pvOut = Buffer(flags & 2, cjOut);
    if (pvIn != nullptr) {
        in.Bytes(pvIn, cjIn);
    }
    if (esc == USBED_ESC_MAP && pvIn != nullptr && cjIn >= 4 && (flags & 4) != 0) {
        ULONG process = StandInProcess(); // a map that succeeds, to unmap later
        std::memcpy(pvIn, &process, 4);
    }
    StandInEscape(&g_dev, esc, cjIn, pvIn, cjOut, pvOut);
    std::free(pvIn != nullptr && cjIn == 0 ? pvIn - 1 : pvIn);
    std::free(pvOut != nullptr && cjOut == 0 ? pvOut - 1 : pvOut);
}

// A fill, then up to 510 lines with the same bounds: short inputs reach the queue's limit
// without painting thousands of times.
void Fill(Input& in) {
    RECTL r{in.Small(), in.Small(), in.Small(), in.Small()};
    StandInFill(&g_dev, &r, in.Word());
    using F = BOOL(APIENTRY*)(SURFOBJ*, CLIPOBJ*, BRUSHOBJ*, LONG, LONG, LONG, LONG, RECTL*, MIX);
    F lineTo = Fn<F>(INDEX_DrvLineTo);
    for (ULONG n = in.Byte() * 2u; n > 0; --n) {
        lineTo(g_dev.surface, nullptr, nullptr, 0, 0, 1, 1, &r, 0);
        CheckCounts();
    }
}

void Hook(Input& in) {
    RECTL r{in.Small(), in.Small(), in.Small(), in.Small()};
    switch (in.Byte() % 4) {
    case 0: {
        StandInPath path{{0, 0}, {(FIX)in.Word(), (FIX)in.Word(), (FIX)in.Word(), (FIX)in.Word()}};
        using F = BOOL(APIENTRY*)(SURFOBJ*, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX, FLONG);
        Fn<F>(INDEX_DrvFillPath)(g_dev.surface, &path.path, nullptr, nullptr, nullptr, 0, 0);
        break;
    }
    case 1: {
        POINTFIX p[3] = {{(FIX)in.Word(), (FIX)in.Word()},
                         {(FIX)in.Word(), (FIX)in.Word()},
                         {(FIX)in.Word(), (FIX)in.Word()}};
        using F = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*,
                                  COLORADJUSTMENT*, POINTL*, POINTFIX*, RECTL*, POINTL*, ULONG);
        Fn<F>(INDEX_DrvPlgBlt)(g_dev.surface, g_dev.surface, nullptr, nullptr, nullptr, nullptr,
                               nullptr, p, &r, nullptr, 0);
        break;
    }
    case 2: {
        GLYPHBITS bits{{in.Small(), in.Small()}, {in.Small(), in.Small()}, {0}};
        GLYPHDEF def;
        def.pgb = &bits;
        GLYPHPOS glyphs[5];
        STROBJ text{};
        text.cGlyphs = in.Byte() % 6;
        text.pgp = glyphs;
        for (ULONG i = 0; i < text.cGlyphs; ++i) {
            glyphs[i] = GLYPHPOS{0, &def, {in.Small(), in.Small()}};
        }
        bool opaque = (in.Byte() & 1) != 0;
        using F = BOOL(APIENTRY*)(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*,
                                  BRUSHOBJ*, POINTL*, MIX);
        Fn<F>(INDEX_DrvTextOut)(g_dev.surface, &text, nullptr, nullptr, nullptr,
                                opaque ? &r : nullptr, nullptr, nullptr, nullptr, 0);
        break;
    }
    default: {
        RECTL src{0, 0, 1, 1};
        using F = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*,
                                  COLORADJUSTMENT*, POINTL*, RECTL*, RECTL*, POINTL*, ULONG);
        Fn<F>(INDEX_DrvStretchBlt)(g_dev.surface, g_dev.surface, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, &r, &src, nullptr, 0);
    }
    }
}

void Poke(Input& in) {
    uint32_t offset = in.Word() % (StandInVideoMemoryBytes() / 4) * 4, value = in.Word();
    std::memcpy(StandInVideoMemory() + offset, &value, 4);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (g_dev.surface == nullptr) {
        StandInReset();
        // A small screen: fills cost little, while drawing still reaches past its edges.
        VIDEO_MODE_INFORMATION mode = StandInMode(0, 64, 48, 32, 60);
        StandInSetModes(&mode, 1);
        if (!StandInOpen(&g_dev, 64, 48, 32, 60) || g_dev.surface == nullptr) {
            std::abort();
        }
    }
    StandInEscape(&g_dev, USBED_ESC_FLUSH_CHANGES, 0, nullptr, 0, nullptr);
    Pdev()->trackingEnabled = 0;
    StandInSetEngFaults(0);
    Input in(data, size);
    while (!in.Empty()) {
        switch (in.Byte() % 6) {
        case 0:
            Escape(in);
            break;
        case 1:
            Fill(in);
            break;
        case 2:
            Hook(in);
            break;
        case 3:
            StandInEscape(&g_dev, USBED_ESC_IDENTIFY, 0, nullptr, 0, nullptr);
            break;
        case 4:
            StandInSetEngFaults((in.Byte() & 1) != 0 ? STANDIN_FAIL_DRAW : 0);
            break;
        default:
            Poke(in);
        }
        CheckCounts();
    }
    CheckLinks();
    return 0;
}
