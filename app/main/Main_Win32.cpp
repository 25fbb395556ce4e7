// mirpanel's entry point.

#include "app/main/FrameLoop_Win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    startUp(instance);
    HWND window = createMainWindow(showCommand);
    if (!window)
        return 0; // nothing is saved or released: the program never ran
    const int exitCode = runFrameLoop(window);
    shutDown();
    return exitCode;
}
