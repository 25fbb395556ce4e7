// The mirror display driver driven through its function table: natively with its sources
// linked in, and under Wine with the real mirvane.dll beside the stand-in win32k.sys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <random>
#include <vector>

#include "StandIn.h"
#include "driver/MirvanePrivate.h"

bool operator==(const MirvaneRect& a, const MirvaneRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void PrintTo(const MirvaneRect& r, std::ostream* os) {
    *os << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}

namespace {

using EscapeIn = std::vector<ULONG>;
using PathFn = BOOL(APIENTRY*)(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*,
                               LINEATTRS*, MIX);
using FillPathFn = BOOL(APIENTRY*)(SURFOBJ*, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX, FLONG);
using StretchFn = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*,
                                  COLORADJUSTMENT*, POINTL*, RECTL*, RECTL*, POINTL*, ULONG);
using PlgFn = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*,
                              POINTL*, POINTFIX*, RECTL*, POINTL*, ULONG);
using TextFn = BOOL(APIENTRY*)(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*,
                               BRUSHOBJ*, POINTL*, MIX);
using CopyFn = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*);
using LineFn = BOOL(APIENTRY*)(SURFOBJ*, CLIPOBJ*, BRUSHOBJ*, LONG, LONG, LONG, LONG, RECTL*, MIX);
using GetModesFn = ULONG(APIENTRY*)(HANDLE, ULONG, DEVMODEW*);
using SetPaletteFn = BOOL(APIENTRY*)(DHPDEV, PALOBJ*, FLONG, ULONG, ULONG);
using AssertModeFn = BOOL(APIENTRY*)(DHPDEV, BOOL);

MirvaneRect Rect(LONG l, LONG t, LONG r, LONG b) {
    return MirvaneRect{l, t, r, b};
}

class Driver : public ::testing::Test {
protected:
    void SetUp() override { StandInReset(); }
    void TearDown() override {
        StandInClose(&dev);
        EXPECT_EQ(StandInVideoMappingCount(), 0u) << "video memory left mapped";
        StandInReset();
        EXPECT_EQ(StandInLiveObjects(), 0u) << "engine objects leaked";
    }
    template <class F> F Fn(ULONG index) {
        return reinterpret_cast<F>(reinterpret_cast<void*>(StandInFunction(&dev, index)));
    }
    MirvanePdev* Pdev() const { return reinterpret_cast<MirvanePdev*>(dev.dhpdev); }
    void Open(ULONG w = 640, ULONG h = 480, ULONG bits = 32, ULONG hz = 60) {
        ASSERT_TRUE(StandInOpen(&dev, w, h, bits, hz));
    }
    LONG Esc(ULONG esc, ULONG cjIn, void* in, ULONG cjOut, void* out) {
        return StandInEscape(&dev, esc, cjIn, in, cjOut, out);
    }
    void Identify() { Esc(USBED_ESC_IDENTIFY, 0, nullptr, 0, nullptr); }
    void Fill(MirvaneRect r, ULONG color = 0x00FFFFFF) {
        RECTL rl{r.left, r.top, r.right, r.bottom};
        ASSERT_TRUE(StandInFill(&dev, &rl, color));
    }
    // Drains the queue as mirpanel does and returns the rectangles, oldest first.
    std::vector<MirvaneRect> Drain() {
        std::vector<MirvaneRect> rects;
        std::vector<BYTE> buffer(MIRVANE_CHANGES_MIN_BUFFER);
        LONG n;
        while ((n = Esc(USBED_ESC_GET_CHANGES, 0, nullptr, (ULONG)buffer.size(), buffer.data())) >
               0) {
            auto* r = reinterpret_cast<const MirvaneChangeRecord*>(buffer.data());
            for (LONG i = 0; i < n; ++i) {
                EXPECT_EQ(r[i].header.link, 0u) << "the driver's chaining stays inside it";
                rects.push_back(r[i].payload.rect);
            }
            EXPECT_EQ(r[n].header.recordSize, 0u);
        }
        return rects;
    }
    ULONG PoolsUsed() const {
        ULONG used = 0;
        for (ULONG i = 0; i < Pdev()->poolCount; ++i) {
            used += Pdev()->pools[i]->usedCount;
        }
        return used;
    }
    StandInDevice dev{};
};

TEST_F(Driver, EnableDriverFillsOnlyWhatTheCallerHasRoomFor) {
    StandInEnableDriverFn entry = StandInDriverEntry();
    ASSERT_NE(entry, nullptr);
    DRVENABLEDATA ded{0xEE, 0xEE, nullptr};
    ASSERT_TRUE(entry(DDI_DRIVER_VERSION_NT5_01, 4, &ded));
    EXPECT_EQ(ded.iDriverVersion, 0x30100u);
    EXPECT_EQ(ded.c, 0xEEu);
    ASSERT_TRUE(entry(DDI_DRIVER_VERSION_NT5_01, sizeof(ded), &ded));
    ASSERT_EQ(ded.c, 27u);
    std::vector<ULONG> indices;
    for (ULONG i = 0; i < ded.c; ++i) {
        indices.push_back(ded.pdrvfn[i].iFunc);
    }
    EXPECT_EQ(indices, (std::vector<ULONG>{0,  1,  2,  3,  4,  5,  7,  8,  12, 14, 15, 16, 18, 19,
                                           20, 22, 23, 24, 31, 38, 41, 68, 69, 70, 71, 74, 89}));
}

TEST_F(Driver, ModeSelection) {
    Open(0, 0, 0, 0); // nothing asked: the first usable mode
    EXPECT_EQ(Pdev()->modeIndex, 0u);
    EXPECT_NE(dev.surface, nullptr);
    StandInClose(&dev);
    Open(800, 600, 32, 75);
    EXPECT_EQ(Pdev()->modeIndex, 2u);
    EXPECT_EQ(Pdev()->frameBufferBytes, 600u * 3200);
    StandInClose(&dev);
    EXPECT_FALSE(StandInOpen(&dev, 800, 600, 32, 70)); // only the frequency differs
    EXPECT_FALSE(StandInOpen(&dev, 640, 480, 4, 60));  // unusable depth
}

TEST_F(Driver, GetModesCountsUnusableModesButWritesUsableOnes) {
    StandInEnableDriverFn entry = StandInDriverEntry();
    ASSERT_TRUE(entry(DDI_DRIVER_VERSION_NT5_01, sizeof(dev.table), &dev.table));
    auto getModes = Fn<GetModesFn>(INDEX_DrvGetModes);
    EXPECT_EQ(getModes(StandInMiniport(), 0, nullptr), 10u * 220);
    std::vector<DEVMODEW> dm(10);
    EXPECT_EQ(getModes(StandInMiniport(), 10 * 220, dm.data()), 6u * 220);
    EXPECT_EQ(getModes(StandInMiniport(), 2 * 220 + 219, dm.data()), 2u * 220);
    EXPECT_EQ(dm[1].dmPelsWidth, 800u);
    EXPECT_EQ(dm[1].dmBitsPerPel, 32u);
    EXPECT_EQ(dm[1].dmDisplayFrequency, 60u);
    EXPECT_EQ(dm[1].dmFields, 0x007C0000u);
    EXPECT_EQ(dm[1].dmSize, 220u);
    EXPECT_EQ(dm[1].dmSpecVersion, 0x401u);
    EXPECT_EQ(dm[1].dmDeviceName[0], 'm');
    EXPECT_EQ(dm[1].dmDeviceName[6], 0);
    VIDEO_MODE_INFORMATION padded[2] = {StandInMode(0, 1366, 768, 32, 60),
                                        StandInMode(1, 1366, 768, 32, 60)};
    padded[0].ScreenStride = 5504; // padded rows, which mirpanel would read sheared
    StandInSetModes(padded, 2);
    EXPECT_EQ(getModes(StandInMiniport(), 2 * 220, dm.data()), 220u);
    Open(1366, 768, 32, 60);
    EXPECT_EQ(Pdev()->modeIndex, 1u);
    StandInSetIoctlFault(IOCTL_VIDEO_QUERY_AVAIL_MODES, STANDIN_IOCTL_SHORT);
    EXPECT_EQ(getModes(StandInMiniport(), 10 * 220, dm.data()), 0u);
}

TEST_F(Driver, CapabilitiesOfA32BitMode) {
    Open();
    const GDIINFO& gi = dev.gdiInfo;
    EXPECT_EQ(gi.ulVersion, 0x4000u);
    EXPECT_EQ(gi.ulTechnology, (ULONG)DT_RASDISPLAY);
    EXPECT_EQ(gi.ulHorzSize, 160u);
    EXPECT_EQ(gi.ulHorzRes, 640u);
    EXPECT_EQ(gi.ulPanningVertRes, 480u);
    EXPECT_EQ(gi.cBitsPixel, 32u);
    EXPECT_EQ(gi.ulNumColors, 0xFFFFFFFFu);
    EXPECT_EQ(gi.ulNumPalReg, 0u);
    EXPECT_EQ(gi.ulHTOutputFormat, (ULONG)HT_FORMAT_32BPP);
    EXPECT_EQ(gi.ulLogPixelsX, 96u);
    EXPECT_EQ(gi.ulAspectXY, 51u);
    EXPECT_EQ(gi.denStyleStep, 3);
    EXPECT_EQ(gi.ciDevice.Red.x, 6400); // from the miniport
    EXPECT_EQ(gi.ciDevice.AlignmentWhite.Y, 10000);
    const DEVINFO& di = dev.devInfo;
    EXPECT_EQ(di.flGraphicsCaps, (ULONG)(GCAPS_OPAQUERECT | GCAPS_ASYNCMOVE));
    EXPECT_EQ(di.flGraphicsCaps2, (ULONG)(GCAPS2_ALPHACURSOR | GCAPS2_MOUSETRAILS));
    EXPECT_EQ(di.iDitherFormat, (ULONG)BMF_32BPP);
    EXPECT_EQ(di.lfDefaultFont.lfWeight, 700);
    EXPECT_EQ(di.lfAnsiFixFont.lfFaceName[6], 'r');
    EXPECT_NE(di.hpalDefault, nullptr);
    ULONG mode, entries[256], masks[3];
    StandInLastPalette(&mode, entries, masks);
    EXPECT_EQ(mode, (ULONG)PAL_BITFIELDS);
    EXPECT_EQ(masks[0], 0xFF0000u);
    StandInClose(&dev);

    StandInSetIoctlFault(IOCTL_VIDEO_QUERY_COLOR_CAPABILITIES, STANDIN_IOCTL_FAIL);
    Open();
    EXPECT_EQ(dev.gdiInfo.ciDevice.Red.x, 6700);
    EXPECT_EQ(dev.gdiInfo.ciDevice.Blue.y, 800);
    EXPECT_EQ(dev.gdiInfo.ciDevice.GreenGamma, 20000);
}

TEST_F(Driver, EightBitModeHasTheColourCubeWithSystemColoursAndNoSurface) {
    Open(640, 480, 8, 60);
    EXPECT_EQ(dev.surface, nullptr);
    EXPECT_EQ(dev.gdiInfo.ulNumColors, 20u);
    EXPECT_EQ(dev.gdiInfo.ulNumPalReg, 256u);
    EXPECT_EQ(dev.gdiInfo.ulHTOutputFormat, (ULONG)HT_FORMAT_8BPP);
    EXPECT_EQ(dev.devInfo.flGraphicsCaps & (GCAPS_PALMANAGED | GCAPS_COLOR_DITHER),
              (ULONG)(GCAPS_PALMANAGED | GCAPS_COLOR_DITHER));
    ULONG mode, p[256], masks[3];
    ASSERT_EQ(StandInLastPalette(&mode, p, masks), 256u);
    EXPECT_EQ(mode, (ULONG)PAL_INDEXED);
    EXPECT_EQ(p[1], 0x000080u);
    EXPECT_EQ(p[9], 0xF0CAA6u);
    EXPECT_EQ(p[10], 0x002040u); // cube: red 2 x 32, green 1 x 32
    EXPECT_EQ(p[245], 0xC0C0A0u);
    EXPECT_EQ(p[246], 0xF0FBFFu);
    EXPECT_EQ(p[255], 0xFFFFFFu);

    // Colours go to the registers shifted to the 6-bit DAC, the fourth byte cleared.
    auto setPalette = Fn<SetPaletteFn>(INDEX_DrvSetPalette);
    StandInPalette palette{};
    palette.colors[11] = 0xFF4080FC;
    palette.delivered = 2;
    EXPECT_FALSE(setPalette(dev.dhpdev, (PALOBJ*)&palette, 0, 10, 3)); // not all delivered
    ULONG first, regs[256];
    EXPECT_EQ(StandInColorRegisters(&first, regs), 0u);
    palette.delivered = 3;
    EXPECT_TRUE(setPalette(dev.dhpdev, (PALOBJ*)&palette, 0, 10, 3));
    ASSERT_EQ(StandInColorRegisters(&first, regs), 3u);
    EXPECT_EQ(first, 10u);
    EXPECT_EQ(regs[1], 0x0010203Fu);
}

TEST_F(Driver, SixteenBitModeEnablesAPdevButNoSurface) {
    Open(800, 600, 16, 60);
    EXPECT_EQ(dev.surface, nullptr);
    EXPECT_EQ(dev.devInfo.iDitherFormat, (ULONG)BMF_16BPP);
    EXPECT_EQ(dev.gdiInfo.ulHTOutputFormat, (ULONG)HT_FORMAT_16BPP);
    char tag[8];
    EXPECT_EQ(Esc(USBED_ESC_IDENTIFY, 0, nullptr, 8, tag), 0) << "no surface, no escapes";
}

TEST_F(Driver, SurfaceFailsWhenTheFrameBufferDoesNotHoldTheProbe) {
    ASSERT_TRUE(StandInBreakFrameBuffer());
    Open();
    EXPECT_EQ(dev.surface, nullptr);
    EXPECT_EQ(StandInVideoMappingCount(), 0u);
}

TEST_F(Driver, FailuresOfTheEngineOrMiniportFailCleanly) {
    StandInSetIoctlFault(IOCTL_VIDEO_SET_CURRENT_MODE, STANDIN_IOCTL_SHORT);
    Open();
    EXPECT_EQ(dev.surface, nullptr);
    EXPECT_TRUE(Fn<AssertModeFn>(INDEX_DrvAssertMode)(dev.dhpdev, TRUE));
    StandInClose(&dev);
    StandInReset();
    StandInSetIoctlFault(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, STANDIN_IOCTL_SHORT);
    EXPECT_FALSE(StandInOpen(&dev, 0, 0, 0, 0));
    StandInReset();
    StandInSetEngFaults(STANDIN_FAIL_PALETTE);
    EXPECT_FALSE(StandInOpen(&dev, 0, 0, 0, 0));
    for (ULONG fault : {STANDIN_FAIL_CREATE_SURFACE, STANDIN_FAIL_ASSOCIATE, STANDIN_FAIL_MODIFY}) {
        StandInSetEngFaults(fault);
        Open();
        EXPECT_EQ(dev.surface, nullptr);
        EXPECT_EQ(StandInVideoMappingCount(), 0u);
        StandInClose(&dev);
    }
}

TEST_F(Driver, SurfaceLiesInVideoMemoryAndThePoolsInTheDriversOwn) {
    Open();
    ULONG flags;
    EXPECT_EQ(StandInSurfaceHooks(dev.hsurf, &flags), 0x3B5EFu);
    EXPECT_EQ(flags, (ULONG)MS_NOTSYSTEMMEMORY);
    BYTE* memory = StandInVideoMemory();
    EXPECT_EQ(dev.surface->pvScan0, memory + 4 * 1024 * 1024);
    EXPECT_EQ(dev.surface->lDelta, 2560);
    EXPECT_EQ(dev.surface->dhpdev, dev.dhpdev);
    struct Expected {
        ULONG start, header, blockSize, count;
    };
    const Expected pools[] = {{128, 160, 64, 1023},
                              {65792, 48, 512, 160},
                              {147840, 40, 8192, 96},
                              {934400, 32, 524288, 4}};
    ASSERT_EQ(Pdev()->poolCount, 4u);
    for (ULONG i = 0; i < 4; ++i) {
        auto* pool = reinterpret_cast<MirvanePool*>(Pdev()->poolMemory + pools[i].start);
        EXPECT_EQ(Pdev()->pools[i], pool);
        EXPECT_EQ(pool->headerBytes, pools[i].header) << i;
        EXPECT_EQ(pool->blockSize, pools[i].blockSize) << i;
        EXPECT_EQ(pool->blockCount, pools[i].count) << i;
        EXPECT_EQ(pool->totalBlockBytes, pools[i].blockSize * pools[i].count) << i;
        EXPECT_EQ(pool->firstBlock, pools[i].start + pools[i].header) << i;
        EXPECT_LE(pool->firstBlock + pool->totalBlockBytes, 3u * 1024 * 1024) << i;
    }
}

TEST_F(Driver, TrackingStartsAtTheFirstIdentify) {
    Open();
    Fill(Rect(0, 0, 8, 8));
    ULONG size = 0xEE;
    EXPECT_EQ(Esc(USBED_ESC_PEEK_CHANGE, 0, nullptr, 4, &size), 0);
    EXPECT_EQ(size, 0u);
    char tag[8] = "xxxxxxx";
    EXPECT_EQ(Esc(USBED_ESC_IDENTIFY, 0, nullptr, 4, tag), 0); // no room, still switches on
    EXPECT_STREQ(tag, "xxxxxxx");
    Fill(Rect(1, 2, 3, 4));
    EXPECT_EQ(Esc(USBED_ESC_PEEK_CHANGE, 0, nullptr, 4, &size), 0);
    EXPECT_EQ(size, 44u);
    MirvaneChangeRecord r;
    ASSERT_EQ(Esc(USBED_ESC_GET_CHANGE, 0, nullptr, sizeof(r), &r), 0);
    EXPECT_EQ(r.header.headerSize, 16u);
    EXPECT_EQ(r.header.recordType, 127u);
    EXPECT_EQ(r.header.link, 0u);
    EXPECT_EQ(r.payload.payloadSize, 28u);
    EXPECT_EQ(r.payload.rectCount, 1u);
    EXPECT_EQ(r.payload.rect, Rect(1, 2, 3, 4));
}

TEST_F(Driver, QueueKeepsTheNewest1023Records) {
    Open();
    Identify();
    for (LONG i = 0; i < 1024; ++i) {
        Fill(Rect(i, 0, i + 1, 1));
    }
    EXPECT_EQ(Pdev()->changeCount, 1023u);
    EXPECT_EQ(PoolsUsed(), 1023u);
    EXPECT_EQ(Pdev()->pools[0]->usedCount, 1022u); // the newest came from the next pool
    std::vector<MirvaneRect> rects = Drain();
    ASSERT_EQ(rects.size(), 1023u);
    EXPECT_EQ(rects.front(), Rect(1, 0, 2, 1));
    EXPECT_EQ(rects.back(), Rect(1023, 0, 1024, 1));
    EXPECT_EQ(PoolsUsed(), 0u);
}

TEST_F(Driver, HooksRecordTheRectangleTheyTouched) {
    Open();
    Identify();
    StandInPath path{{0, 0}, {0x15, 0x20, 0x31, 0x40}};
    EXPECT_TRUE(Fn<FillPathFn>(INDEX_DrvFillPath)(dev.surface, &path.path, nullptr, nullptr,
                                                  nullptr, 0, 0));
    path.bounds = {0, 0, 4 * 16, 4 * 16}; // a square stroked through column 4 and row 4
    EXPECT_TRUE(Fn<PathFn>(INDEX_DrvStrokePath)(dev.surface, &path.path, nullptr, nullptr, nullptr,
                                                nullptr, nullptr, 0));
    // Parallelogram (0,0) (10,1) (1,10): its fourth corner (11,11) lies outside the others.
    POINTFIX plg[3] = {{0, 0}, {160, 16}, {16, 160}};
    RECTL src{0, 0, 4, 4};
    EXPECT_TRUE(Fn<PlgFn>(INDEX_DrvPlgBlt)(dev.surface, dev.surface, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, plg, &src, nullptr, 0));
    RECTL mirrored{50, 40, 20, 10};
    EXPECT_TRUE(Fn<StretchFn>(INDEX_DrvStretchBlt)(dev.surface, dev.surface, nullptr, nullptr,
                                                   nullptr, nullptr, nullptr, &mirrored, &src,
                                                   nullptr, 0));
    RECTL bounds{5, 6, 7, 8};
    EXPECT_TRUE(Fn<LineFn>(INDEX_DrvLineTo)(dev.surface, nullptr, nullptr, 5, 6, 6, 7, &bounds, 0));
    // Glyphs are drawn at their position moved by their origin offset, here up and left.
    GLYPHBITS g1{{-2, -12}, {8, 14}, {0}}, g2{{0, -10}, {6, 10}, {0}};
    GLYPHDEF d1, d2;
    d1.pgb = &g1;
    d2.pgb = &g2;
    GLYPHPOS glyphs[3] = {{0, &d1, {100, 50}}, {0, &d2, {110, 50}}, {0, &d1, {120, 60}}};
    STROBJ text{};
    text.cGlyphs = 3;
    text.pgp = glyphs;
    EXPECT_TRUE(Fn<TextFn>(INDEX_DrvTextOut)(dev.surface, &text, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, 0));
    RECTL opaque{1, 1, 9, 9};
    EXPECT_TRUE(Fn<TextFn>(INDEX_DrvTextOut)(dev.surface, &text, nullptr, nullptr, nullptr, &opaque,
                                             nullptr, nullptr, nullptr, 0));
    StandInSetEngFaults(STANDIN_FAIL_DRAW); // a call the engine fails is not recorded
    EXPECT_FALSE(
        Fn<LineFn>(INDEX_DrvLineTo)(dev.surface, nullptr, nullptr, 0, 0, 1, 1, &bounds, 0));
    EXPECT_EQ(Drain(),
              (std::vector<MirvaneRect>{Rect(1, 2, 4, 4), Rect(0, 0, 5, 5), Rect(0, 0, 11, 11),
                                        Rect(20, 10, 50, 40), Rect(5, 6, 7, 8),
                                        Rect(98, 38, 126, 62), Rect(1, 1, 9, 9)}));
}

// Random shapes, fractions included, through each hook that the stand-in engine paints: every
// pixel the call changed lies in the rectangle recorded for it.
TEST_F(Driver, RecordedRectanglesCoverEveryPixelTheCallChanged) {
    const LONG w = 160, h = 120; // small, so that many calls are quick to compare
    VIDEO_MODE_INFORMATION mode = StandInMode(0, w, h, 32, 60);
    StandInSetModes(&mode, 1);
    Open(w, h);
    Identify();
    std::mt19937 random(19);
    const auto* frame = static_cast<const ULONG*>(dev.surface->pvScan0);
    int changedCalls = 0;
    for (ULONG call = 0; call < 300; ++call) {
        FIX v[6];
        std::generate(v, v + 6, [&] { return (FIX)(random() % 1024) - 128; }); // -8 to 56 pixels
        StandInPath path{{0, 0},
                         {std::min(v[0], v[1]), std::min(v[2], v[3]), std::max(v[0], v[1]),
                          std::max(v[2], v[3])}};
        POINTFIX plg[3] = {{v[0], v[1]}, {v[2], v[3]}, {v[4], v[5]}};
        BRUSHOBJ brush{call + 1, nullptr, 0};
        std::vector<ULONG> before(frame, frame + w * h);
        if (call % 3 == 0) {
            Fn<PathFn>(INDEX_DrvStrokePath)(dev.surface, &path.path, nullptr, nullptr, &brush,
                                            nullptr, nullptr, 0);
        } else if (call % 3 == 1) {
            Fn<PlgFn>(INDEX_DrvPlgBlt)(dev.surface, dev.surface, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, plg, nullptr, nullptr, 0);
        } else {
            Fill(Rect(v[0] / 16, v[1] / 16, v[2] / 16, v[3] / 16), call);
        }
        std::vector<MirvaneRect> r = Drain();
        ASSERT_EQ(r.size(), 1u);
        LONG outside = -1; // the first changed pixel outside it
        for (LONG i = 0; i < w * h && outside < 0; ++i) {
            LONG x = i % w, y = i / w;
            bool in = x >= r[0].left && x < r[0].right && y >= r[0].top && y < r[0].bottom;
            outside = frame[i] != before[i] && !in ? i : -1;
        }
        ASSERT_EQ(outside, -1) << "call " << call << " (" << outside % w << "," << outside / w
                               << ") outside " << ::testing::PrintToString(r[0]);
        changedCalls += !std::equal(before.begin(), before.end(), frame);
    }
    EXPECT_GT(changedCalls, 200);
}

TEST_F(Driver, CopyIntoAnEngineBitmapRecordsNothing) {
    Open();
    Identify();
    Fill(Rect(2, 3, 4, 5), 0x00ABCDEF);
    Drain();
    SURFOBJ* bitmap = StandInCreateBitmap(16, 16);
    RECTL dest{0, 0, 4, 4};
    POINTL from{1, 2};
    EXPECT_TRUE(Fn<CopyFn>(INDEX_DrvCopyBits)(bitmap, dev.surface, nullptr, nullptr, &dest, &from));
    EXPECT_EQ(static_cast<ULONG*>(bitmap->pvScan0)[1 * 16 + 1], 0x00ABCDEFu);
    EXPECT_TRUE(Drain().empty());
    StandInDeleteBitmap(bitmap);
}

TEST_F(Driver, QueryIdentifyAndUnknownEscapes) {
    Open();
    ULONG asked = USBED_ESC_IDENTIFY;
    EXPECT_EQ(Esc(USBED_ESC_QUERYESCSUPPORT, 4, &asked, 0, nullptr), 1);
    EXPECT_EQ(Esc(USBED_ESC_QUERYESCSUPPORT, 3, &asked, 0, nullptr), 0);
    EXPECT_EQ(Esc(USBED_ESC_QUERYESCSUPPORT, 4, nullptr, 0, nullptr), 0);
    asked = USBED_ESC_GET_CHANGES;
    EXPECT_EQ(Esc(USBED_ESC_QUERYESCSUPPORT, 4, &asked, 0, nullptr), 0);
    char tag[10] = "---------";
    EXPECT_EQ(Esc(USBED_ESC_IDENTIFY, 0, nullptr, 8, nullptr), 0);
    EXPECT_EQ(Esc(USBED_ESC_IDENTIFY, 0, nullptr, 9, tag), 8);
    EXPECT_EQ(std::memcmp(tag, "USBED!!\0-", 9), 0);
    // The surface address would tell user mode where the kernel keeps it: not answered.
    ULONG bits[2] = {0xEE, 0xEE};
    EXPECT_EQ(Esc(USBED_ESC_GET_BITS, 0, nullptr, 8, bits), 0);
    EXPECT_EQ(bits[0], 0xEEu);
    EXPECT_EQ(Esc(0x123456, 0, nullptr, 8, bits), 0);
    EXPECT_EQ(Esc(USBED_ESC_RESERVED_PAIR, 0, nullptr, 7, bits), 0);
    EXPECT_EQ(Esc(USBED_ESC_RESERVED_PAIR, 0, nullptr, 8, bits), 8);
    EXPECT_EQ(bits[0] | bits[1], 0u);
    EXPECT_EQ(Esc(USBED_ESC_MINIPORT_QUERY, 0, nullptr, 3, bits), USBED_ERR_OUTPUT_SIZE);
    EXPECT_EQ(Esc(USBED_ESC_MINIPORT_QUERY, 0, nullptr, 4, nullptr), USBED_ERR_OUTPUT_SIZE);
    EXPECT_EQ(Esc(USBED_ESC_MINIPORT_QUERY, 0, nullptr, 4, bits), 0x20100);
    StandInSetIoctlFault(MIRVANE_IOCTL_QUERY, STANDIN_IOCTL_SHORT);
    EXPECT_EQ(Esc(USBED_ESC_MINIPORT_QUERY, 0, nullptr, 4, bits), USBED_ERR_MINIPORT);
}

TEST_F(Driver, CopyRectStaysInsideTheSurface) {
    Open();
    Fill(Rect(10, 20, 13, 22), 0x00123456);
    ULONG out[8] = {};
    EscapeIn in{20, 10, 22, 13}; // top, left, bottom, right
    EXPECT_EQ(Esc(USBED_ESC_COPY_RECT, 16, in.data(), 24, out), 24);
    EXPECT_EQ(out[0], 0x00123456u);
    EXPECT_EQ(out[5], 0x00123456u);
    EXPECT_EQ(Esc(USBED_ESC_COPY_RECT, 16, in.data(), 23, out), USBED_ERR_OUTPUT_SIZE);
    EXPECT_EQ(Esc(USBED_ESC_COPY_RECT, 16, in.data(), 24, nullptr), USBED_ERR_OUTPUT_SIZE);
    EXPECT_EQ(Esc(USBED_ESC_COPY_RECT, 15, in.data(), 24, out), USBED_ERR_INPUT_SIZE);
    EXPECT_EQ(Esc(USBED_ESC_COPY_RECT, 17, in.data(), 24, out), USBED_ERR_INPUT_SIZE);
    EXPECT_EQ(Esc(USBED_ESC_COPY_RECT, 16, nullptr, 24, out), USBED_ERR_INPUT_SIZE);
    in = {5, 0, 5, 640};
    EXPECT_EQ(Esc(USBED_ESC_COPY_RECT, 16, in.data(), 0, nullptr), 0);
    in = {0, 7, 480, 7};
    EXPECT_EQ(Esc(USBED_ESC_COPY_RECT, 16, in.data(), 0, nullptr), 0);
    const EscapeIn refused[] = {{0, 5, 1, 4},
                                {0, 0, 1, 641},
                                {479, 0, 481, 1},
                                {0, (ULONG)-1, 1, 0},
                                {0, 0, 0x7FFFFFFF, 0x7FFFFFFF},
                                {(ULONG)-0x7FFFFFFF, 0, 0x7FFFFFFF, 1}};
    for (const EscapeIn& r : refused) {
        EXPECT_EQ(Esc(USBED_ESC_COPY_RECT, 16, const_cast<ULONG*>(r.data()), 32, out),
                  USBED_ERR_RECT)
            << (LONG)r[0] << " " << (LONG)r[1] << " " << (LONG)r[2] << " " << (LONG)r[3];
    }
}

TEST_F(Driver, MapShowsTheFrameBufferInTheProcess) {
    Open();
    Fill(Rect(10, 20, 11, 21), 0x00654321);
    ULONG in[2] = {StandInProcess(), 0}, address = 0;
    EXPECT_EQ(Esc(USBED_ESC_MAP, 0, nullptr, 3, &address), USBED_ERR_OUTPUT_SIZE);
    EXPECT_EQ(Esc(USBED_ESC_MAP, 3, in, 4, &address), USBED_ERR_INPUT_SIZE);
    EXPECT_EQ(Esc(USBED_ESC_MAP, 4, nullptr, 4, &address), USBED_ERR_INPUT_SIZE);
    ASSERT_EQ(Esc(USBED_ESC_MAP, 8, in, 4, &address), 4);
    ULONG words[4];
    StandInLastMapRequest(words);
    EXPECT_EQ(words[0], StandInProcess());
    EXPECT_EQ(words[2], 480u * 2560);
    const BYTE* frame = reinterpret_cast<const BYTE*>((uintptr_t)address);
    EXPECT_NE(frame, (const BYTE*)dev.surface->pvScan0) << "a view of its own";
    EXPECT_EQ(*reinterpret_cast<const ULONG*>(frame + 20 * 2560 + 10 * 4), 0x00654321u);
    EXPECT_EQ(Esc(USBED_ESC_KEEP_MAP, 0, nullptr, 0, nullptr), 0);
    EXPECT_EQ(StandInKeepAliveCount(), 1u);
    ULONG unmap[2] = {StandInProcess(), address};
    EXPECT_EQ(Esc(USBED_ESC_UNMAP, 7, unmap, 0, nullptr), USBED_ERR_INPUT_SIZE);
    EXPECT_EQ(Esc(USBED_ESC_UNMAP, 8, unmap, 0, nullptr), 1);
    EXPECT_EQ(StandInMappingCount(), 0u);
    EXPECT_EQ(Esc(USBED_ESC_UNMAP, 8, unmap, 0, nullptr), USBED_ERR_MINIPORT);
    StandInSetIoctlFault(MIRVANE_IOCTL_MAP, STANDIN_IOCTL_SHORT);
    EXPECT_EQ(Esc(USBED_ESC_MAP, 8, in, 4, &address), USBED_ERR_MINIPORT);
    StandInSetIoctlFault(MIRVANE_IOCTL_KEEP_MAP, STANDIN_IOCTL_FAIL);
    EXPECT_EQ(Esc(USBED_ESC_KEEP_MAP, 0, nullptr, 0, nullptr), USBED_ERR_MINIPORT);
}

// A failed map, a short answer, no memory for the pointer buffer, a surface that cannot move:
// each leaves the PDEV whole on its old mapping. The last remap is taken, the queue kept.
TEST_F(Driver, RemapIsTakenWholeOrNotAtAll) {
    Open();
    Identify();
    Fill(Rect(0, 0, 1, 1));
    BYTE* old = Pdev()->videoMemory;
    StandInSetRemap(1);
    const std::pair<StandInIoctlFault, ULONG> faults[] = {{STANDIN_IOCTL_FAIL, 0},
                                                          {STANDIN_IOCTL_SHORT, 0},
                                                          {STANDIN_IOCTL_OK, STANDIN_FAIL_ALLOC},
                                                          {STANDIN_IOCTL_OK, STANDIN_FAIL_MODIFY},
                                                          {STANDIN_IOCTL_OK, 0}};
    for (const auto& [map, engine] : faults) {
        StandInSetIoctlFault(IOCTL_VIDEO_MAP_VIDEO_MEMORY, map);
        StandInSetEngFaults(engine);
        EXPECT_TRUE(Fn<AssertModeFn>(INDEX_DrvAssertMode)(dev.dhpdev, TRUE));
        StandInSetEngFaults(0);
        EXPECT_EQ(Pdev()->videoMemory != old, map == STANDIN_IOCTL_OK && engine == 0)
            << map << " " << engine;
        EXPECT_EQ(dev.surface->pvScan0, Pdev()->videoMemory + MIRVANE_FRAME_OFFSET);
        EXPECT_EQ(StandInVideoMappingCount(), 1u);
    }
    Fill(Rect(2, 2, 3, 3));
    EXPECT_EQ(Drain(), (std::vector<MirvaneRect>{Rect(0, 0, 1, 1), Rect(2, 2, 3, 3)}));
}

// Nothing a process writes through its view of the video memory matters to the driver: the
// words that once hung, crashed or misled it, nor ones over all of the first 4 MiB.
TEST_F(Driver, WritesThroughTheMappedViewAreNeverTrusted) {
    Open();
    Identify();
    ULONG in[2] = {StandInProcess(), 0}, address = 0;
    ASSERT_EQ(Esc(USBED_ESC_MAP, 8, in, 4, &address), 4);
    auto* view = reinterpret_cast<ULONG*>((uintptr_t)address - MIRVANE_FRAME_OFFSET);
    // Word index, value, count: where pool 0's lock word, block size and first block and the
    // first record's link and size lay in the view, then everything before the frame buffer.
    const ULONG writes[][3] = {{33, 1, 1},           {35, 0, 1},
                               {38, 0xFFFFF000u, 1}, {75, 0x7FFFFF00u, 1},
                               {72, 4, 1},           {0, ~0u, MIRVANE_FRAME_OFFSET / 4}};
    for (const auto& w : writes) {
        Fill(Rect(0, 0, 2, 2));
        std::fill_n(view + w[0], w[2], w[1]);
        std::vector<ULONG> before(view, view + MIRVANE_FRAME_OFFSET / 4), small(4, 0xEE);
        EXPECT_EQ(Esc(USBED_ESC_GET_CHANGES, 0, nullptr, 8, small.data()), USBED_ERR_NO_ROOM);
        EXPECT_EQ(small, std::vector<ULONG>(4, 0xEE));
        EXPECT_EQ(Esc(USBED_ESC_FLUSH_CHANGES, 0, nullptr, 0, nullptr), 0);
        Fill(Rect(5, 6, 7, 8));
        EXPECT_EQ(Drain(), std::vector<MirvaneRect>{Rect(5, 6, 7, 8)}) << w[0];
        EXPECT_TRUE(std::equal(before.begin(), before.end(), view)) << w[0];
    }
    ULONG unmap[2] = {StandInProcess(), address};
    EXPECT_EQ(Esc(USBED_ESC_UNMAP, 8, unmap, 0, nullptr), 1);
}

TEST_F(Driver, ChangeEscapesDeliverWholeRecordsOnly) {
    Open();
    ULONG buffer[32];
    EXPECT_EQ(Esc(USBED_ESC_PEEK_CHANGE, 0, nullptr, 3, buffer), USBED_ERR_GENERAL);
    EXPECT_EQ(Esc(USBED_ESC_PEEK_CHANGE, 0, nullptr, 4, nullptr), USBED_ERR_GENERAL);
    EXPECT_EQ(Esc(USBED_ESC_GET_CHANGE, 0, nullptr, 128, buffer), USBED_ERR_GENERAL);
    buffer[0] = 0xEE;
    EXPECT_EQ(Esc(USBED_ESC_GET_CHANGES, 4, nullptr, 128, buffer), 0);
    EXPECT_EQ(buffer[0], 0xEEu);
    EXPECT_EQ(Esc(USBED_ESC_FLUSH_CHANGES, 0, nullptr, 0, nullptr), 0);
    Identify();
    for (LONG i = 0; i < 3; ++i) {
        Fill(Rect(i, i, i + 1, i + 1));
    }
    EXPECT_EQ(Esc(USBED_ESC_GET_CHANGE, 0, nullptr, 43, buffer), USBED_ERR_NO_ROOM);
    EXPECT_EQ(Esc(USBED_ESC_GET_CHANGE, 0, nullptr, 44, nullptr), USBED_ERR_NO_ROOM);
    EXPECT_EQ(Esc(USBED_ESC_GET_CHANGES, 0, nullptr, 47, buffer), USBED_ERR_NO_ROOM);
    EXPECT_EQ(Esc(USBED_ESC_GET_CHANGES, 0, nullptr, 0xFFFFFFF0u, nullptr), USBED_ERR_NO_ROOM);
    EXPECT_EQ(Pdev()->changeCount, 3u);
    EXPECT_EQ(Esc(USBED_ESC_GET_CHANGE, 0, nullptr, 44, buffer), 0);
    MirvaneChangeRecord first;
    std::memcpy(&first, buffer, sizeof(first));
    EXPECT_EQ(first.payload.rect, Rect(0, 0, 1, 1));
    std::memset(buffer, 0xEE, sizeof(buffer));
    EXPECT_EQ(Esc(USBED_ESC_GET_CHANGES, 0, nullptr, 44 + 4 + 43, buffer), 1);
    EXPECT_EQ(buffer[11], 0u);
    EXPECT_EQ(buffer[12], 0xEEEEEEEEu);
    EXPECT_EQ(Pdev()->changeCount, 1u);
    EXPECT_EQ(Esc(USBED_ESC_FLUSH_CHANGES, 0, nullptr, 0, nullptr), 0);
    EXPECT_EQ(Esc(USBED_ESC_PEEK_CHANGE, 0, nullptr, 4, buffer), 0);
    EXPECT_EQ(buffer[0], 0u);
    EXPECT_EQ(PoolsUsed(), 0u);
}

#ifndef _WIN32
TEST_F(Driver, PoolFreeIgnoresBlocksItDidNotHandOut) {
    Open();
    MirvanePdev* pdev = Pdev();
    BYTE* block = static_cast<BYTE*>(PoolAlloc(pdev, 44));
    ASSERT_NE(block, nullptr);
    ULONG outside;
    PoolFree(pdev, &outside);
    PoolFree(pdev, block + 4);
    PoolFree(pdev, pdev->poolMemory + 64); // below every pool
    EXPECT_EQ(PoolsUsed(), 1u);
    PoolFree(pdev, block);
    PoolFree(pdev, block);
    EXPECT_EQ(PoolsUsed(), 0u);
    EXPECT_EQ(PoolAlloc(pdev, 524289), nullptr);
    EXPECT_EQ(RecordChange(nullptr, nullptr), -1);
}
#endif

} // namespace
