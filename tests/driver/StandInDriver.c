/* Drives the mirror driver through its function table as the graphics engine would. Linked
 * into each test program: in the Windows build it loads the real mirvane.dll. */
#ifdef _WIN32
#include <windows.h>
#endif
#include <string.h>

#include "StandIn.h"

#ifdef _WIN32
StandInEnableDriverFn StandInDriverEntry(void) {
    HMODULE image = LoadLibraryA("mirvane.dll");
    return image != NULL ? (StandInEnableDriverFn)(void*)GetProcAddress(image, "DrvEnableDriver")
                         : NULL;
}
#else
BOOL APIENTRY DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded);

StandInEnableDriverFn StandInDriverEntry(void) {
    return DrvEnableDriver;
}
#endif

PFN StandInFunction(const StandInDevice* dev, ULONG index) {
    for (ULONG i = 0; i < dev->table.c; ++i) {
        if (dev->table.pdrvfn[i].iFunc == index) {
            return dev->table.pdrvfn[i].pfn;
        }
    }
    return NULL;
}

typedef DHPDEV(APIENTRY* EnablePdevFn)(DEVMODEW*, LPWSTR, ULONG, HSURF*, ULONG, ULONG*, ULONG,
                                       DEVINFO*, HDEV, LPWSTR, HANDLE);
typedef VOID(APIENTRY* CompletePdevFn)(DHPDEV, HDEV);
typedef HSURF(APIENTRY* EnableSurfaceFn)(DHPDEV);
typedef VOID(APIENTRY* DisableFn)(DHPDEV);
typedef ULONG(APIENTRY* EscapeFn)(SURFOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID);
typedef BOOL(APIENTRY* BitBltFn)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*,
                                 POINTL*, BRUSHOBJ*, POINTL*, ROP4);

BOOL StandInOpen(StandInDevice* dev, ULONG width, ULONG height, ULONG bits, ULONG frequency) {
    memset(dev, 0, sizeof(*dev));
    StandInEnableDriverFn entry = StandInDriverEntry();
    if (entry == NULL || !entry(DDI_DRIVER_VERSION_NT5_01, sizeof(dev->table), &dev->table)) {
        return FALSE;
    }
    DEVMODEW dm;
    memset(&dm, 0, sizeof(dm));
    dm.dmSize = sizeof(dm);
    dm.dmPelsWidth = width;
    dm.dmPelsHeight = height;
    dm.dmBitsPerPel = bits;
    dm.dmDisplayFrequency = frequency;
    dm.dmLogPixels = 96;
    dev->hdev = StandInNewHdev();
    EnablePdevFn enable = (EnablePdevFn)(void*)StandInFunction(dev, INDEX_DrvEnablePDEV);
    dev->dhpdev = enable(&dm, NULL, 0, NULL, sizeof(GDIINFO), (ULONG*)&dev->gdiInfo,
                         sizeof(DEVINFO), &dev->devInfo, dev->hdev, NULL, StandInMiniport());
    if (dev->dhpdev == NULL) {
        StandInFreeHdev(dev->hdev);
        dev->hdev = NULL;
        return FALSE;
    }
    StandInBindHdev(dev->hdev, dev->dhpdev);
    ((CompletePdevFn)(void*)StandInFunction(dev, INDEX_DrvCompletePDEV))(dev->dhpdev, dev->hdev);
    dev->hsurf =
        ((EnableSurfaceFn)(void*)StandInFunction(dev, INDEX_DrvEnableSurface))(dev->dhpdev);
    dev->surface = dev->hsurf != NULL ? StandInSurface(dev->hsurf) : NULL;
    return TRUE;
}

void StandInClose(StandInDevice* dev) {
    if (dev->dhpdev == NULL) {
        return;
    }
    if (dev->hsurf != NULL) {
        ((DisableFn)(void*)StandInFunction(dev, INDEX_DrvDisableSurface))(dev->dhpdev);
    }
    ((DisableFn)(void*)StandInFunction(dev, INDEX_DrvDisablePDEV))(dev->dhpdev);
    StandInFreeHdev(dev->hdev);
    memset(dev, 0, sizeof(*dev));
}

LONG StandInEscape(StandInDevice* dev, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut,
                   PVOID pvOut) {
    EscapeFn escape = (EscapeFn)(void*)StandInFunction(dev, INDEX_DrvEscape);
    return (LONG)escape(dev->surface, iEsc, cjIn, pvIn, cjOut, pvOut);
}

BOOL StandInFill(StandInDevice* dev, RECTL* rect, ULONG color) {
    BRUSHOBJ brush;
    memset(&brush, 0, sizeof(brush));
    brush.iSolidColor = color;
    BitBltFn blt = (BitBltFn)(void*)StandInFunction(dev, INDEX_DrvBitBlt);
    return blt(dev->surface, NULL, NULL, NULL, NULL, rect, NULL, NULL, &brush, NULL, 0xF0F0);
}
