#pragma once
// Real input for window tests, as a user makes it (SetCursorPos and SendInput); `settle`
// runs between events: a message pump, or a plain wait when another process takes them.

#include <windows.h>

#include <vector>

using Settle = void (*)(DWORD ms);

inline void send(DWORD type, DWORD flags, WORD key, Settle settle) {
    INPUT in{};
    in.type = type;
    (type == INPUT_MOUSE ? in.mi.dwFlags : in.ki.dwFlags) = flags;
    in.ki.wVk = type == INPUT_KEYBOARD ? key : 0;
    SendInput(1, &in, sizeof(in));
    settle(30);
}

// Presses the keys in order and releases them in reverse.
inline void pressKeys(std::vector<WORD> keys, Settle settle) {
    for (size_t i = 0, n = keys.size(); i < 2 * n; ++i)
        send(INPUT_KEYBOARD, i < n ? 0 : KEYEVENTF_KEYUP, keys[i < n ? i : 2 * n - 1 - i], settle);
    settle(100);
}

// Moves the pointer to client point p of the window, then sends the button events.
inline void mouseAt(HWND window, POINT p, std::vector<DWORD> buttons, Settle settle) {
    ClientToScreen(window, &p);
    SetCursorPos(p.x, p.y);
    settle(50);
    for (DWORD flags : buttons)
        send(INPUT_MOUSE, flags, 0, settle);
    settle(50);
}
