/* The display driver interface as the host build sees it: the types, constants and Eng
 * functions the mirror driver and the stand-in graphics engine use, with the names and
 * values of the Windows headers. The Windows build uses MinGW's winddi.h and ntddvdeo.h
 * instead; types that are only passed through stay opaque here. Layouts follow the host's
 * pointer size; the Wine test checks the i686 layouts of the real image. */
#ifndef MIRVISTA_HOST_DDI_H
#define MIRVISTA_HOST_DDI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define APIENTRY
#define WIN32KAPI
#define TRUE 1
#define FALSE 0

typedef int BOOL;
typedef uint8_t BYTE, UCHAR;
typedef uint16_t WORD, USHORT, WCHAR;
typedef int16_t SHORT;
typedef uint32_t DWORD, ULONG, FLONG, ROP4, MIX, HGLYPH;
typedef int32_t LONG, FIX, LDECI4;
typedef uintptr_t ULONG_PTR;
typedef void VOID;
typedef void* PVOID;
typedef void* HANDLE;
typedef DWORD* LPDWORD;
typedef WCHAR* LPWSTR;
typedef ULONG* PULONG;
typedef struct HDEV__* HDEV;
typedef struct HSURF__* HSURF;
typedef struct DHSURF__* DHSURF;
typedef struct DHPDEV__* DHPDEV;
typedef struct HPALETTE__* HPALETTE;
typedef ULONG_PTR (*PFN)(void);

typedef struct _POINTL {
    LONG x, y;
} POINTL, *PPOINTL;
typedef struct _SIZEL {
    LONG cx, cy;
} SIZEL;
typedef struct _RECTL {
    LONG left, top, right, bottom;
} RECTL, *PRECTL;
typedef struct _POINTFIX {
    FIX x, y;
} POINTFIX, *PPOINTFIX;
typedef struct _RECTFX {
    FIX xLeft, yTop, xRight, yBottom;
} RECTFX, *PRECTFX;

typedef struct _CLIPOBJ CLIPOBJ;
typedef struct _XLATEOBJ XLATEOBJ;
typedef struct _COLORADJUSTMENT COLORADJUSTMENT;
typedef struct _XFORMOBJ XFORMOBJ;
typedef struct _LINEATTRS LINEATTRS;
typedef struct _BLENDOBJ BLENDOBJ;
typedef struct _TRIVERTEX TRIVERTEX;
typedef struct _FONTOBJ FONTOBJ;
typedef struct _PALOBJ PALOBJ;
typedef struct _PATHOBJ {
    FLONG fl;
    ULONG cCurves;
} PATHOBJ;

typedef struct _BRUSHOBJ {
    ULONG iSolidColor;
    PVOID pvRbrush;
    FLONG flColorType;
} BRUSHOBJ;

typedef struct _SURFOBJ {
    DHSURF dhsurf;
    HSURF hsurf;
    DHPDEV dhpdev;
    HDEV hdev;
    SIZEL sizlBitmap;
    ULONG cjBits;
    PVOID pvBits;
    PVOID pvScan0;
    LONG lDelta;
    ULONG iUniq;
    ULONG iBitmapFormat;
    USHORT iType;
    USHORT fjBitmap;
} SURFOBJ;

typedef struct _GLYPHBITS {
    POINTL ptlOrigin;
    SIZEL sizlBitmap;
    BYTE aj[1];
} GLYPHBITS;
typedef union _GLYPHDEF {
    GLYPHBITS* pgb;
    PATHOBJ* ppo;
} GLYPHDEF;
typedef struct _GLYPHPOS {
    HGLYPH hg;
    GLYPHDEF* pgdf;
    POINTL ptl;
} GLYPHPOS, *PGLYPHPOS;
typedef struct _STROBJ {
    ULONG cGlyphs;
    FLONG flAccel;
    ULONG ulCharInc;
    RECTL rclBkGround;
    GLYPHPOS* pgp;
    LPWSTR pwszOrg;
} STROBJ;

typedef struct _DEVMODEW { /* 220 bytes, as on Windows */
    WCHAR dmDeviceName[32];
    WORD dmSpecVersion, dmDriverVersion, dmSize, dmDriverExtra;
    DWORD dmFields;
    BYTE dmPrinterOrDisplay[26];
    WCHAR dmFormName[32];
    WORD dmLogPixels;
    DWORD dmBitsPerPel, dmPelsWidth, dmPelsHeight, dmDisplayFlags, dmDisplayFrequency;
    DWORD dmICMMethod, dmICMIntent, dmMediaType, dmDitherType;
    DWORD dmReserved1, dmReserved2, dmPanningWidth, dmPanningHeight;
} DEVMODEW, *PDEVMODEW;

typedef struct tagLOGFONTW {
    LONG lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight;
    BYTE lfItalic, lfUnderline, lfStrikeOut, lfCharSet;
    BYTE lfOutPrecision, lfClipPrecision, lfQuality, lfPitchAndFamily;
    WCHAR lfFaceName[32];
} LOGFONTW;

typedef struct _CIECHROMA {
    LDECI4 x, y, Y;
} CIECHROMA;
typedef struct _COLORINFO {
    CIECHROMA Red, Green, Blue, Cyan, Magenta, Yellow, AlignmentWhite;
    LDECI4 RedGamma, GreenGamma, BlueGamma;
    LDECI4 MagentaInCyanDye, YellowInCyanDye, CyanInMagentaDye;
    LDECI4 YellowInMagentaDye, CyanInYellowDye, MagentaInYellowDye;
} COLORINFO;

typedef struct _GDIINFO {
    ULONG ulVersion, ulTechnology, ulHorzSize, ulVertSize, ulHorzRes, ulVertRes;
    ULONG cBitsPixel, cPlanes, ulNumColors, flRaster, ulLogPixelsX, ulLogPixelsY;
    ULONG flTextCaps, ulDACRed, ulDACGreen, ulDACBlue, ulAspectX, ulAspectY, ulAspectXY;
    LONG xStyleStep, yStyleStep, denStyleStep;
    POINTL ptlPhysOffset;
    SIZEL szlPhysSize;
    ULONG ulNumPalReg;
    COLORINFO ciDevice;
    ULONG ulDevicePelsDPI, ulPrimaryOrder, ulHTPatternSize, ulHTOutputFormat, flHTFlags;
    ULONG ulVRefresh, ulBltAlignment, ulPanningHorzRes, ulPanningVertRes;
    ULONG xPanningAlignment, yPanningAlignment, cxHTPat, cyHTPat;
    BYTE *pHTPatA, *pHTPatB, *pHTPatC;
    ULONG flShadeBlend, ulPhysicalPixelCharacteristics, ulPhysicalPixelGamma;
} GDIINFO;

typedef struct _DEVINFO {
    FLONG flGraphicsCaps;
    LOGFONTW lfDefaultFont, lfAnsiVarFont, lfAnsiFixFont;
    ULONG cFonts, iDitherFormat;
    USHORT cxDither, cyDither;
    HPALETTE hpalDefault;
    FLONG flGraphicsCaps2;
} DEVINFO;

typedef struct _DRVFN {
    ULONG iFunc;
    PFN pfn;
} DRVFN;
typedef struct _DRVENABLEDATA {
    ULONG iDriverVersion;
    ULONG c;
    DRVFN* pdrvfn;
} DRVENABLEDATA;

/* Video miniport requests and records. */
typedef struct _VIDEO_MODE_INFORMATION {
    ULONG Length, ModeIndex, VisScreenWidth, VisScreenHeight, ScreenStride;
    ULONG NumberOfPlanes, BitsPerPlane, Frequency, XMillimeter, YMillimeter;
    ULONG NumberRedBits, NumberGreenBits, NumberBlueBits, RedMask, GreenMask, BlueMask;
    ULONG AttributeFlags, VideoMemoryBitmapWidth, VideoMemoryBitmapHeight;
    ULONG DriverSpecificAttributeFlags;
} VIDEO_MODE_INFORMATION;
typedef struct _VIDEO_NUM_MODES {
    ULONG NumModes, ModeInformationLength;
} VIDEO_NUM_MODES;
typedef struct _VIDEO_MODE {
    ULONG RequestedMode;
} VIDEO_MODE;
typedef struct _VIDEO_MEMORY {
    PVOID RequestedVirtualAddress;
} VIDEO_MEMORY;
typedef struct _VIDEO_MEMORY_INFORMATION {
    PVOID VideoRamBase;
    ULONG VideoRamLength;
    PVOID FrameBufferBase;
    ULONG FrameBufferLength;
} VIDEO_MEMORY_INFORMATION;
typedef struct _VIDEO_COLOR_CAPABILITIES {
    ULONG Length, AttributeFlags;
    LONG RedPhosphoreDecay, GreenPhosphoreDecay, BluePhosphoreDecay;
    LONG WhiteChromaticity_x, WhiteChromaticity_y, WhiteChromaticity_Y;
    LONG RedChromaticity_x, RedChromaticity_y, GreenChromaticity_x, GreenChromaticity_y;
    LONG BlueChromaticity_x, BlueChromaticity_y;
    LONG WhiteGamma, RedGamma, GreenGamma, BlueGamma;
} VIDEO_COLOR_CAPABILITIES;
typedef struct _VIDEO_POINTER_CAPABILITIES {
    ULONG Flags, MaxWidth, MaxHeight, HWPtrBitmapStart, HWPtrBitmapEnd;
} VIDEO_POINTER_CAPABILITIES;
typedef struct _VIDEO_POINTER_ATTRIBUTES {
    ULONG Flags, Width, Height, WidthInBytes, Enable;
    SHORT Column, Row;
    UCHAR Pixels[1];
} VIDEO_POINTER_ATTRIBUTES;
typedef struct _VIDEO_CLUTDATA {
    UCHAR Red, Green, Blue, Unused;
} VIDEO_CLUTDATA;
typedef struct {
    USHORT NumEntries;
    USHORT FirstEntry;
    union {
        VIDEO_CLUTDATA RgbArray;
        ULONG RgbLong;
    } LookupTable[1];
} VIDEO_CLUT;

#define IOCTL_VIDEO_MAP_VIDEO_MEMORY 0x00230458u
#define IOCTL_VIDEO_QUERY_AVAIL_MODES 0x00230400u
#define IOCTL_VIDEO_QUERY_COLOR_CAPABILITIES 0x00230468u
#define IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES 0x00230404u
#define IOCTL_VIDEO_QUERY_POINTER_CAPABILITIES 0x00230450u
#define IOCTL_VIDEO_SET_COLOR_REGISTERS 0x0023041Cu
#define IOCTL_VIDEO_SET_CURRENT_MODE 0x0023040Cu
#define IOCTL_VIDEO_UNMAP_VIDEO_MEMORY 0x0023045Cu

#define VIDEO_MODE_COLOR 0x0001
#define VIDEO_MODE_GRAPHICS 0x0002
#define VIDEO_MODE_PALETTE_DRIVEN 0x0004
#define VIDEO_MODE_BANKED 0x0080
#define VIDEO_MODE_ASYNC_POINTER 0x01
#define VIDEO_MODE_MONO_POINTER 0x02
#define VIDEO_MODE_COLOR_POINTER 0x04

#define DDI_DRIVER_VERSION_NT5_01 0x00030100
#define GDI_DRIVER_VERSION 0x4000
#define DT_RASDISPLAY 1
#define TC_RA_ABLE 0x00002000
#define DM_BITSPERPEL 0x00040000
#define DM_PELSWIDTH 0x00080000
#define DM_PELSHEIGHT 0x00100000
#define DM_DISPLAYFLAGS 0x00200000
#define DM_DISPLAYFREQUENCY 0x00400000
#define GCAPS_COLOR_DITHER 0x00000020
#define GCAPS_OPAQUERECT 0x00000100
#define GCAPS_ASYNCMOVE 0x00001000
#define GCAPS_PALMANAGED 0x00080000
#define GCAPS2_ALPHACURSOR 0x00000020
#define GCAPS2_MOUSETRAILS 0x00000200
#define BMF_8BPP 3
#define BMF_16BPP 4
#define BMF_24BPP 5
#define BMF_32BPP 6
#define BMF_TOPDOWN 0x0001
#define STYPE_BITMAP 0
#define STYPE_DEVICE 1
#define PRIMARY_ORDER_CBA 4
#define HT_PATSIZE_4x4_M 3
#define HT_FORMAT_8BPP 4
#define HT_FORMAT_16BPP 5
#define HT_FORMAT_24BPP 6
#define HT_FORMAT_32BPP 7
#define HT_FLAG_ADDITIVE_PRIMS 0x00000004
#define FL_ZERO_MEMORY 0x00000001
#define MS_NOTSYSTEMMEMORY 0x00000001
#define PAL_INDEXED 0x00000001
#define PAL_BITFIELDS 0x00000002
#define DRD_SUCCESS 0
#define HOOK_BITBLT 0x00000001
#define HOOK_STRETCHBLT 0x00000002
#define HOOK_PLGBLT 0x00000004
#define HOOK_TEXTOUT 0x00000008
#define HOOK_STROKEPATH 0x00000020
#define HOOK_FILLPATH 0x00000040
#define HOOK_STROKEANDFILLPATH 0x00000080
#define HOOK_LINETO 0x00000100
#define HOOK_COPYBITS 0x00000400
#define HOOK_SYNCHRONIZE 0x00001000
#define HOOK_STRETCHBLTROP 0x00002000
#define HOOK_TRANSPARENTBLT 0x00008000
#define HOOK_ALPHABLEND 0x00010000
#define HOOK_GRADIENTFILL 0x00020000

#define INDEX_DrvEnablePDEV 0
#define INDEX_DrvCompletePDEV 1
#define INDEX_DrvDisablePDEV 2
#define INDEX_DrvEnableSurface 3
#define INDEX_DrvDisableSurface 4
#define INDEX_DrvAssertMode 5
#define INDEX_DrvResetPDEV 7
#define INDEX_DrvDisableDriver 8
#define INDEX_DrvRealizeBrush 12
#define INDEX_DrvStrokePath 14
#define INDEX_DrvFillPath 15
#define INDEX_DrvStrokeAndFillPath 16
#define INDEX_DrvBitBlt 18
#define INDEX_DrvCopyBits 19
#define INDEX_DrvStretchBlt 20
#define INDEX_DrvSetPalette 22
#define INDEX_DrvTextOut 23
#define INDEX_DrvEscape 24
#define INDEX_DrvLineTo 31
#define INDEX_DrvSynchronize 38
#define INDEX_DrvGetModes 41
#define INDEX_DrvGradientFill 68
#define INDEX_DrvStretchBltROP 69
#define INDEX_DrvPlgBlt 70
#define INDEX_DrvAlphaBlend 71
#define INDEX_DrvTransparentBlt 74
#define INDEX_DrvResetDevice 89

/* Graphics engine services (the stand-in engine provides them). */
PVOID EngAllocMem(ULONG Flags, ULONG MemSize, ULONG Tag);
VOID EngFreeMem(PVOID Mem);
HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed, FLONG flGreen,
                          FLONG flBlue);
BOOL EngDeletePalette(HPALETTE hpal);
HSURF EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat);
HSURF EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits);
BOOL EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks);
BOOL EngModifySurface(HSURF hsurf, HDEV hdev, FLONG flHooks, FLONG flSurface, DHSURF dhsurf,
                      VOID* pvScan0, LONG lDelta, VOID* pvReserved);
BOOL EngDeleteSurface(HSURF hsurf);
SURFOBJ* EngLockSurface(HSURF hsurf);
VOID EngUnlockSurface(SURFOBJ* pso);
DWORD EngDeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, PVOID lpInBuffer,
                         DWORD nInBufferSize, PVOID lpOutBuffer, DWORD nOutBufferSize,
                         LPDWORD lpBytesReturned);
BOOL EngBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
               RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
               ROP4 rop4);
BOOL EngCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                 POINTL* pptlSrc);
BOOL EngStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                   XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest,
                   RECTL* prclSrc, POINTL* pptlMask, ULONG iMode);
BOOL EngStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                      XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest,
                      RECTL* prclSrc, POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4);
BOOL EngAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                   RECTL* prclSrc, BLENDOBJ* pBlendObj);
BOOL EngTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                       RECTL* prclDst, RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved);
BOOL EngGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex,
                     ULONG nVertex, PVOID pMesh, ULONG nMesh, RECTL* prclExtents,
                     POINTL* pptlDitherOrg, ULONG ulMode);
BOOL EngLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2,
               RECTL* prclBounds, MIX mix);
BOOL EngFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                 MIX mix, FLONG flOptions);
BOOL EngStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                   POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix);
BOOL EngStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo,
                          BRUSHOBJ* pboStroke, LINEATTRS* plineattrs, BRUSHOBJ* pboFill,
                          POINTL* pptlBrushOrg, MIX mixFill, FLONG flOptions);
BOOL EngPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo,
               COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl,
               POINTL* pptl, ULONG iMode);
BOOL EngTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                MIX mix);
VOID PATHOBJ_vGetBounds(PATHOBJ* ppo, PRECTFX prectfx);
VOID STROBJ_vEnumStart(STROBJ* pstro);
BOOL STROBJ_bEnum(STROBJ* pstro, ULONG* pc, PGLYPHPOS* ppgpos);
ULONG PALOBJ_cGetColors(PALOBJ* ppalo, ULONG iStart, ULONG cColors, ULONG* pulColors);

#ifdef __cplusplus
}
#endif

#endif /* MIRVISTA_HOST_DDI_H */
