// Link start, the failure poll and the COM port search of mirpanel.

#include "app/link/Links_Win32.h"

#include "app/core/Globals.h"
#include "app/link/PortSearch.h"
#include "app/link/SenderLink.h"
#include "multio/SioIF.h"

namespace {

constexpr DWORD kSettleMs = 100; // lets a port that was just closed settle before reopening
constexpr int32_t kSearchBaud = 9600;

SenderLink* StartLink(MonitorRecord& record) {
    char path[128];
    FormatPortPath(record.port, path, sizeof path);
    SenderLink* link = new SenderLink(path, record.speed, record.cts != 0);
    link->window = panelWindow(record);
    link->invert = record.invert != 0;
    link->rotate = record.rotate;
    return link;
}

bool CanOpenPort(const char* portPath, void*) {
    SioIF test(portPath, kSearchBaud, false);
    return !test.IsFailed();
}

} // namespace

void stopAllLinks() {
    for (SenderLink* link : g_links) {
        if (link) {
            link->Stop();
            if (!link->WasAbandoned())
                delete link; // else its thread may still use it
        }
    }
    g_links.clear();
}

int StartLinks() {
    g_linksUp = 1;
    g_anyActive = 0;
    Sleep(kSettleMs);
    stopAllLinks();
    for (MonitorRecord& record : g_monitors) {
        if (!record.active) {
            g_links.push_back(nullptr);
            continue;
        }
        g_anyActive = 1;
        SenderLink* link = StartLink(record);
        g_links.push_back(link);
        record.linkUp = link->IsStreamFailed() ? 0 : 1;
        if (!record.linkUp)
            g_linksUp = 0;
    }
    return g_linksUp ? 0 : -1;
}

bool anyLinkFailed() {
    for (SenderLink* link : g_links)
        if (link && link->IsStreamFailed())
            return true;
    return false;
}

int setLinkWindow(SenderLink* link, const RECT& window) {
    if (!link)
        return -1;
    link->window = window;
    return 0;
}

int applyWindowPosition() {
    const int32_t index = g_selectedMonitor;
    if (index < 0 || static_cast<size_t>(index) >= g_links.size() ||
        static_cast<size_t>(index) >= g_monitors.size() || !g_links[index])
        return -1;
    return setLinkWindow(g_links[index], panelWindow(g_monitors[index]));
}

int FindComPort(int32_t current, int32_t step) {
    return SearchComPort(current, step, &CanOpenPort, nullptr);
}
