#pragma once
// The main window's class and procedure, its about box, and the shell call that opens the
// maker's web page.

#include <windows.h>

#include "ui/Form_Win32.h"

// The maker's web page, opened by the Help menu.
constexpr char kMakerWebPage[] = "https://www.mirvane.jp/";

void registerMainWindowClass(HINSTANCE instance, const char* className);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The window's widgets; empty until the window procedure's first message.
ui::Form* mainForm();

// The shell call behind the web page command; tests put their own in its place so that
// no browser starts.
using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
extern ShellExecuteFunction g_shellExecute;
