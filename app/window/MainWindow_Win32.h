#pragma once
// The main window's class and procedure.

#include <windows.h>

void registerMainWindowClass(HINSTANCE instance, const char* className);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
