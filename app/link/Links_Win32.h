#pragma once
// The links of all displays as the rest of mirpanel starts, polls and steers them: one
// SenderLink per active record in g_links, and the COM port search. Windows only.

#include <windows.h>

#include <cstdint>

class SenderLink;

// Stops every link, then starts one per active record: 0 when every active display's port
// opened, -1 otherwise. Sets g_linksUp, g_anyActive and each record's linkUp.
int StartLinks();
// The next COM port from `current` in direction `step` that opens (port search).
int FindComPort(int32_t current, int32_t step);
// Whether a running link's port is no longer open.
bool anyLinkFailed();
// Stops and deletes every link and empties g_links.
void stopAllLinks();
int setLinkWindow(SenderLink* link, const RECT& window);
// Moves the selected display's link window to the record's position: 0, or -1 when that
// display has no link.
int applyWindowPosition();
