// The screen of an X11 display (or XWayland's) through XCB: pixels of the root window
// through MIT-SHM, else plain GetImage; drawing reported by DAMAGE (with XFixes regions),
// else found by comparing captures. 24- and 32-bit TrueColor screens only.
#pragma once

#include <xcb/damage.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/mirtool/mirror/ScreenSource.h"

namespace mirtool {

class ScreenSource_X11 : public ScreenSource {
public:
    // Connects to $DISPLAY. Null with `error` set when there is no display or its screen
    // is not 24- or 32-bit TrueColor with 32-bit blue, green, red pixels.
    static std::unique_ptr<ScreenSource_X11> Connect(std::string& error);
    ~ScreenSource_X11() override;
    ScreenSource_X11(const ScreenSource_X11&) = delete;
    ScreenSource_X11& operator=(const ScreenSource_X11&) = delete;

    // The connection's descriptor, to wait on.
    int Fd() const { return xcb_get_file_descriptor(connection); }
    // Handles what the server sent (drawing reports, a new screen size) and sends what is
    // buffered. Without `readSocket` only what was read already (while a reply was awaited)
    // is handled. False when the connection is lost.
    bool HandleEvents(bool readSocket);
    // How pixels and changes are found, for --verbose.
    std::string Method() const;

    CaptureSize ScreenSize() override { return screen; }
    bool ChangesPending() override;

protected:
    bool TracksDamage() const override { return damage != 0; }
    bool TakeDamage(std::vector<RECT>& rects) override;
    bool Fetch(const RECT& area, PixelImage& pixels) override;

private:
    explicit ScreenSource_X11(xcb_connection_t* connection);
    bool CheckVisual(const xcb_screen_t& info, std::string& error) const;
    void SetUpShm();
    void SetUpDamage();
    bool Lost() const { return xcb_connection_has_error(connection) != 0; }
    bool Failed(xcb_void_cookie_t cookie);

    xcb_connection_t* connection;
    xcb_window_t root = 0;
    CaptureSize screen{0, 0};
    xcb_shm_seg_t segment = 0; // 0 without MIT-SHM
    uint8_t* shared = nullptr;
    uint8_t damageEvent = 0;
    xcb_damage_damage_t damage = 0; // 0 without DAMAGE
    xcb_xfixes_region_t region = 0;
    bool damaged = false; // drawing reported since the last TakeDamage
    std::unique_ptr<xcb_get_image_reply_t, void (*)(void*)> image{nullptr, free}; // GetImage's
};

} // namespace mirtool
