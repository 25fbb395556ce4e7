#pragma once
// mirpanel's top layer: start-up, the frame loop and shutdown, in the order WinMain runs
// them. Only this layer uses all the others, and nothing calls up into it.

#include <windows.h>

void startUp(HINSTANCE instance);
HWND createMainWindow(int showCommand);
int runFrameLoop(HWND mainWindow);
void shutDown();
