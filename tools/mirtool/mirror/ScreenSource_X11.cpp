#include "tools/mirtool/mirror/ScreenSource_X11.h"

#include <cstdlib>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace mirtool {

namespace {

constexpr size_t kSharedBytes = size_t{kMaxCaptureWidth} * kMaxCaptureHeight * 4;

// Replies and errors are the caller's to free.
template <typename T> struct Freed {
    T* reply;
    ~Freed() { free(reply); }
    T* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

const xcb_visualtype_t* FindVisual(const xcb_screen_t& screen, xcb_visualid_t id) {
    for (auto depths = xcb_screen_allowed_depths_iterator(&screen); depths.rem;
         xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
             xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == id)
                return visuals.data;
        }
    }
    return nullptr;
}

uint8_t BitsPerPixel(const xcb_setup_t& setup, uint8_t depth) {
    for (auto formats = xcb_setup_pixmap_formats_iterator(&setup); formats.rem;
         xcb_format_next(&formats)) {
        if (formats.data->depth == depth)
            return formats.data->bits_per_pixel;
    }
    return 0;
}

bool Present(xcb_connection_t* connection, xcb_extension_t* extension) {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(connection, extension);
    return data != nullptr && data->present;
}

} // namespace

ScreenSource_X11::ScreenSource_X11(xcb_connection_t* connection) : connection(connection) {}

std::unique_ptr<ScreenSource_X11> ScreenSource_X11::Connect(std::string& error) {
    const char* name = getenv("DISPLAY");
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    std::unique_ptr<ScreenSource_X11> source(new ScreenSource_X11(connection));
    if (source->Lost()) {
        error = name && *name ? std::string("cannot open X display \"") + name + "\""
                              : "no X display: DISPLAY is not set";
        return nullptr;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection);
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        error = std::string("X display \"") + (name ? name : "") + "\" has no screen " +
                std::to_string(screenNumber);
        return nullptr;
    }
    const xcb_screen_t& info = *screens.data;
    if (!source->CheckVisual(info, error))
        return nullptr;
    source->root = info.root;
    source->screen = CaptureSize{info.width_in_pixels, info.height_in_pixels};
    // A new screen size (RandR) comes as ConfigureNotify on the root window.
    const uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, info.root, XCB_CW_EVENT_MASK, &events);
    source->SetUpShm();
    source->SetUpDamage();
    xcb_flush(connection);
    return source;
}

ScreenSource_X11::~ScreenSource_X11() {
    if (segment != 0 && !Lost())
        xcb_shm_detach(connection, segment);
    if (shared != nullptr)
        shmdt(shared);
    xcb_disconnect(connection); // frees the damage object and the region with the connection
}

// The frame holds blue, green, red and an unused byte: the layout of 24- and 32-bit
// TrueColor screens on little-endian servers.
bool ScreenSource_X11::CheckVisual(const xcb_screen_t& info, std::string& error) const {
    const xcb_visualtype_t* visual = FindVisual(info, info.root_visual);
    const uint8_t bits = BitsPerPixel(*xcb_get_setup(connection), info.root_depth);
    const bool trueColor = visual && visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                           (info.root_depth == 24 || info.root_depth == 32);
    if (!trueColor) {
        error = "unsupported visual: depth " + std::to_string(info.root_depth) +
                (visual && visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR ? " TrueColor"
                                                                         : " not TrueColor") +
                "; the mirror needs a 24- or 32-bit TrueColor screen";
        return false;
    }
    if (bits != 32 || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 ||
        visual->blue_mask != 0xFF ||
        xcb_get_setup(connection)->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) {
        error = "unsupported visual: pixels are not 32-bit blue, green, red";
        return false;
    }
    return true;
}

bool ScreenSource_X11::Failed(xcb_void_cookie_t cookie) {
    xcb_generic_error_t* problem = xcb_request_check(connection, cookie);
    const bool failed = problem != nullptr;
    free(problem);
    return failed;
}

// Without MIT-SHM, or when the server cannot reach this process's memory (a display on
// another machine), pixels come through plain GetImage.
void ScreenSource_X11::SetUpShm() {
    if (!Present(connection, &xcb_shm_id))
        return;
    Freed<xcb_shm_query_version_reply_t> version{
        xcb_shm_query_version_reply(connection, xcb_shm_query_version(connection), nullptr)};
    if (!version)
        return;
    const int id = shmget(IPC_PRIVATE, kSharedBytes, IPC_CREAT | 0600);
    if (id < 0)
        return;
    void* address = shmat(id, nullptr, 0);
    const xcb_shm_seg_t seg = xcb_generate_id(connection);
    const bool attached = address != reinterpret_cast<void*>(-1) &&
                          !Failed(xcb_shm_attach_checked(connection, seg, id, 0));
    shmctl(id, IPC_RMID, nullptr); // goes with the last detach, however this process ends
    if (!attached) {
        if (address != reinterpret_cast<void*>(-1))
            shmdt(address);
        return;
    }
    shared = static_cast<uint8_t*>(address);
    segment = seg;
}

// DAMAGE reports drawing as regions of XFixes; without either, captures are compared.
void ScreenSource_X11::SetUpDamage() {
    if (!Present(connection, &xcb_damage_id) || !Present(connection, &xcb_xfixes_id))
        return;
    Freed<xcb_xfixes_query_version_reply_t> fixes{xcb_xfixes_query_version_reply(
        connection, xcb_xfixes_query_version(connection, 2, 0), nullptr)};
    Freed<xcb_damage_query_version_reply_t> version{xcb_damage_query_version_reply(
        connection, xcb_damage_query_version(connection, 1, 1), nullptr)};
    if (!fixes || fixes->major_version < 2 || !version)
        return;
    const xcb_damage_damage_t id = xcb_generate_id(connection);
    region = xcb_generate_id(connection);
    if (Failed(xcb_xfixes_create_region_checked(connection, region, 0, nullptr)) ||
        Failed(
            xcb_damage_create_checked(connection, id, root, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY))) {
        return;
    }
    damageEvent = xcb_get_extension_data(connection, &xcb_damage_id)->first_event;
    damage = id;
}

std::string ScreenSource_X11::Method() const {
    return std::string(segment ? "MIT-SHM" : "GetImage") +
           (damage ? ", changes reported by DAMAGE" : ", changes found by comparing captures");
}

bool ScreenSource_X11::HandleEvents(bool readSocket) {
    for (;;) {
        xcb_generic_event_t* event =
            readSocket ? xcb_poll_for_event(connection) : xcb_poll_for_queued_event(connection);
        if (event == nullptr)
            break;
        const uint8_t type = event->response_type & 0x7F;
        if (damage != 0 && type == damageEvent + XCB_DAMAGE_NOTIFY) {
            damaged = true;
        } else if (type == XCB_CONFIGURE_NOTIFY) {
            const auto* moved = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            if (moved->window == root &&
                (moved->width != screen.width || moved->height != screen.height)) {
                screen = CaptureSize{moved->width, moved->height};
                ForgetFrame();
            }
        }
        free(event);
    }
    xcb_flush(connection);
    return !Lost();
}

bool ScreenSource_X11::ChangesPending() {
    return damage == 0 || damaged || FrameForgotten();
}

bool ScreenSource_X11::TakeDamage(std::vector<RECT>& rects) {
    if (damage == 0)
        return !Lost();
    damaged = false;
    xcb_damage_subtract(connection, damage, XCB_NONE, region);
    Freed<xcb_xfixes_fetch_region_reply_t> reply{xcb_xfixes_fetch_region_reply(
        connection, xcb_xfixes_fetch_region(connection, region), nullptr)};
    if (!reply)
        return !Lost();
    const xcb_rectangle_t* pieces = xcb_xfixes_fetch_region_rectangles(reply.reply);
    const int count = xcb_xfixes_fetch_region_rectangles_length(reply.reply);
    for (int i = 0; i < count; ++i) {
        const xcb_rectangle_t& r = pieces[i];
        rects.push_back(RECT{r.x, r.y, r.x + r.width, r.y + r.height});
    }
    return true;
}

// A fetch the server refuses (the screen shrank before its new size arrived) leaves the
// frame to be fetched whole again.
bool ScreenSource_X11::Fetch(const RECT& area, PixelImage& pixels) {
    const int16_t x = static_cast<int16_t>(area.left);
    const int16_t y = static_cast<int16_t>(area.top);
    const uint16_t width = static_cast<uint16_t>(area.right - area.left);
    const uint16_t height = static_cast<uint16_t>(area.bottom - area.top);
    pixels = PixelImage{nullptr, int32_t{width} * 4};
    if (segment != 0) {
        Freed<xcb_shm_get_image_reply_t> reply{
            xcb_shm_get_image_reply(connection,
                                    xcb_shm_get_image(connection, root, x, y, width, height, ~0u,
                                                      XCB_IMAGE_FORMAT_Z_PIXMAP, segment, 0),
                                    nullptr)};
        pixels.row0 = reply ? shared : nullptr;
    } else {
        image.reset(xcb_get_image_reply(
            connection,
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, x, y, width, height, ~0u),
            nullptr));
        const bool whole =
            image && xcb_get_image_data_length(image.get()) >= pixels.stride * height;
        pixels.row0 = whole ? xcb_get_image_data(image.get()) : nullptr;
    }
    if (!pixels.row0)
        ForgetFrame();
    return !Lost();
}

} // namespace mirtool
