#pragma once
// The main window's widgets: building them, and the value refresh that writes the selected
// display's settings and the global state into them.

#include <windows.h>

#include <string>

#include "ui/Form_Win32.h"

// Builds the window's 53 widgets into the form, in paint order.
void buildMainPanel(ui::Form& form);
// Rewrites every value label, the tabs and the checkbox from the selected display's record
// and the global state, draws them at once, and moves that display's link window.
void refreshValues(HWND window, ui::Form& form);
// Sets a label's text and draws it at once on dc; skipped when the form has no such label.
void showText(ui::Form& form, HDC dc, int id, const std::string& text);
