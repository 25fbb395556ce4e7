#pragma once
// The application's Win32 entry points: start-up, the frame loop, shutdown, and the
// operations that the main window and the loop call on the other subsystems.

#include <windows.h>

#include <cstdint>

class SenderLink;

extern HINSTANCE g_instance;

// Frame loop helpers called by the main window.
int recreateMediator();
int requestFullRefresh();
int applyWindowPosition();

// Start-up and shutdown, in the order WinMain runs them.
void startUp(HINSTANCE instance);
HWND createMainWindow(int showCommand);
int runFrameLoop(HWND mainWindow);
void shutDown();

// Capture (discovery and conversion).
int discoverDisplays();
void convertFrame();

// Device link.
int StartLinks();
int FindComPort(int32_t current, int32_t step);
bool anyLinkFailed(); // a running link's port is no longer open
void stopAllLinks();  // Stop and delete every link, empty g_links
int setLinkWindow(SenderLink* link, const RECT& window);

// Settings: load when load is non-zero, save otherwise.
int loadOrSaveSettings(int load);

// Capture objects: re-creation of the mode's mediator, the mirror driver check, and the
// release of everything discovery created.
int recreateScreenMediator();
int recreateMirrorMediator();
int checkMirrorDriver();
void releaseCaptureObjects();
