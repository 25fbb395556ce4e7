// xscene: a test scene for the Linux mirror, and screenshots of it, on an X11 display.
//   xscene show [--still]
//       an override-redirect window of 384 x 256 at the screen's top-left corner with
//       shapes, blocks and grey ramps; without --still a 32 x 32 square moves in the
//       top-left 128 x 64 every 50 ms. Prints "ready" once drawn; runs until killed.
//   xscene move N GAP_MS [X Y W H]
//       the scene, then a 32 x 32 square moved N times to places inside the area (default
//       0 0 128 64), GAP_MS apart; after each move, once the server has drawn it, a line
//       "SECONDS OLD_X OLD_Y X Y" (SECONDS of the realtime clock).
//   xscene shot OUT.ppm [WIDTH HEIGHT]
//       the screen's top-left WIDTH x HEIGHT pixels (default 384 x 256) as a binary PPM.
//   xscene copy PERIOD_MS SECONDS [WIDTH HEIGHT]
//       copies the top-left WIDTH x HEIGHT (default 128 x 64) through MIT-SHM every
//       PERIOD_MS for SECONDS: the bare baseline of the mirror's benchmark.
// Exit status 0, 1 when the display or the file cannot be used, 2 for bad arguments.

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <vector>

namespace {

constexpr int kWidth = 384;
constexpr int kHeight = 256;
constexpr int kSquare = 32;
constexpr int kStripRows = 32; // rows per PutImage, well within the request size limit

struct Display {
    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;
    ~Display() {
        if (connection)
            xcb_disconnect(connection);
    }
};

bool Connect(Display& d) {
    int number = 0;
    d.connection = xcb_connect(nullptr, &number);
    if (xcb_connection_has_error(d.connection)) {
        std::fprintf(stderr, "xscene: cannot open the X display\n");
        return false;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(d.connection));
    for (int i = 0; i < number && screens.rem; ++i)
        xcb_screen_next(&screens);
    d.screen = screens.data;
    return d.screen != nullptr;
}

// Waits until the server has handled every request sent so far.
void Sync(xcb_connection_t* c) {
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

double Now(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void SleepUntil(double monotonicSeconds) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(monotonicSeconds);
    t.tv_nsec = static_cast<long>((monotonicSeconds - double(t.tv_sec)) * 1e9);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

// The still scene, blue, green, red and an unused byte per pixel.
class Scene {
public:
    Scene() : pixels(size_t(kWidth) * kHeight * 4) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                Set(pixels, x, y, Background(x, y));
    }
    const std::vector<uint8_t>& Pixels() const { return pixels; }
    // The scene with the square's top-left corner at (sx, sy).
    uint8_t At(int x, int y, int sx, int sy) const {
        if (x >= sx && x < sx + kSquare && y >= sy && y < sy + kSquare)
            return 0;
        return pixels[(size_t(y) * kWidth + x) * 4];
    }
    static void Set(std::vector<uint8_t>& out, size_t index, int grey) {
        for (int k = 0; k < 3; ++k)
            out[index * 4 + k] = static_cast<uint8_t>(grey);
    }

private:
    static void Set(std::vector<uint8_t>& out, int x, int y, int grey) {
        Set(out, size_t(y) * kWidth + x, grey);
    }
    // White, a black block with a ring and a cross beside it, rows of small blocks like
    // text, sixteen grey steps and a smooth ramp, a grey box and a diagonal gradient.
    static int Background(int x, int y) {
        const int dx = x - 58, dy = y - 20;
        if (x >= 4 && x < 24 && y >= 4 && y < 24)
            return 0;
        if (dx * dx + dy * dy <= 14 * 14 && dx * dx + dy * dy >= 11 * 11)
            return 0;
        if (x >= 80 && x < 100 && y >= 6 && y < 26 && (x - 80 == y - 6 || x - 80 == 25 - y))
            return 0;
        if (y >= 30 && y < 40 && x >= 4 && x < 124 && (x / 3) % 4 != 3 && (y - 30) % 5 < 3)
            return 0;
        if (y >= 44 && y < 54 && x < 128)
            return (x / 8) * 255 / 15;
        if (y >= 54 && y < 64 && x < 128)
            return x * 255 / 127;
        if (x >= 200 && x < 376 && y >= 176 && y < 240)
            return 96;
        if (x >= 128 || y >= 64)
            return (x + 2 * y) * 255 / (kWidth + 2 * kHeight);
        return 255;
    }
    std::vector<uint8_t> pixels;
};

class SceneWindow {
public:
    SceneWindow(Display& d, const Scene& scene) : d(d), scene(scene) {}

    bool Open() {
        xcb_connection_t* c = d.connection;
        if (d.screen->root_depth != 24 && d.screen->root_depth != 32)
            return false;
        window = xcb_generate_id(c);
        const uint32_t values[] = {1, XCB_EVENT_MASK_EXPOSURE};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, d.screen->root, 0, 0, kWidth, kHeight, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, d.screen->root_visual,
                          XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        gc = xcb_generate_id(c);
        xcb_create_gc(c, gc, window, 0, nullptr);
        xcb_map_window(c, window);
        Draw(0, 0, kWidth, kHeight);
        Sync(c);
        return !xcb_connection_has_error(c);
    }

    // Moves the square from where it is to (x, y): both places are drawn again, as when a
    // window moves.
    void MoveSquare(int x, int y) {
        const int oldX = squareX, oldY = squareY;
        squareX = x;
        squareY = y;
        Draw(oldX, oldY, kSquare, kSquare);
        Draw(x, y, kSquare, kSquare);
    }
    int SquareX() const { return squareX; }
    int SquareY() const { return squareY; }

    // Redraws what was exposed; false when the display is gone.
    bool HandleEvents() {
        while (xcb_generic_event_t* e = xcb_poll_for_event(d.connection)) {
            if ((e->response_type & 0x7F) == XCB_EXPOSE)
                Draw(0, 0, kWidth, kHeight);
            free(e);
        }
        xcb_flush(d.connection);
        return !xcb_connection_has_error(d.connection);
    }

private:
    void Draw(int left, int top, int width, int height) {
        const int right = std::min(left + width, kWidth), bottom = std::min(top + height, kHeight);
        left = std::max(left, 0);
        top = std::max(top, 0);
        width = right - left;
        height = bottom - top;
        if (width <= 0 || height <= 0)
            return;
        std::vector<uint8_t> strip(size_t(width) * kStripRows * 4);
        for (int y0 = top; y0 < top + height; y0 += kStripRows) {
            const int rows = std::min(kStripRows, top + height - y0);
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < width; ++x)
                    Scene::Set(strip, size_t(y) * width + x,
                               scene.At(left + x, y0 + y, squareX, squareY));
            xcb_put_image(d.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, width, rows, left,
                          y0, 0, d.screen->root_depth, uint32_t(width) * rows * 4, strip.data());
        }
    }

    Display& d;
    const Scene& scene;
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    int squareX = -kSquare; // off the window until the first move
    int squareY = 0;
};

// The scene in its window on the display.
struct SceneOnScreen {
    Display d;
    Scene scene;
    SceneWindow window{d, scene};
    bool Open() { return Connect(d) && window.Open(); }
};

bool ParseInt(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end != '\0' || v < low || v > high)
        return false;
    value = static_cast<int>(v);
    return true;
}

int Show(int argc, char** argv) {
    const bool still = argc == 1 && std::strcmp(argv[0], "--still") == 0;
    if (argc > 1 || (argc == 1 && !still))
        return 2;
    SceneOnScreen on;
    if (!on.Open())
        return 1;
    SceneWindow& window = on.window;
    std::printf("ready\n");
    std::fflush(stdout);
    for (unsigned frame = 0;; ++frame) {
        SleepUntil(Now(CLOCK_MONOTONIC) + 0.05);
        if (!still) {
            const unsigned x = frame * 4 % 192, y = frame * 3 % 64;
            window.MoveSquare(x < 96 ? int(x) : int(192 - x), y < 32 ? int(y) : int(64 - y));
        }
        if (!window.HandleEvents())
            return 1;
    }
}

int Move(int argc, char** argv) {
    int count = 0, gap = 0, area[4] = {0, 0, 128, 64};
    if ((argc != 2 && argc != 6) || !ParseInt(argv[0], 1, 100000, count) ||
        !ParseInt(argv[1], 1, 60000, gap))
        return 2;
    for (int i = 0; i < 4 && argc == 6; ++i)
        if (!ParseInt(argv[2 + i], i < 2 ? 0 : kSquare, i % 2 ? kHeight : kWidth, area[i]))
            return 2;
    SceneOnScreen on;
    if (!on.Open())
        return 1;
    SceneWindow& window = on.window;
    srand(22); // the same places every run
    double next = Now(CLOCK_MONOTONIC);
    for (int i = 0; i < count; ++i) {
        next += gap / 1000.0;
        SleepUntil(next);
        const int oldX = window.SquareX(), oldY = window.SquareY();
        window.MoveSquare(area[0] + rand() % (area[2] - kSquare + 1),
                          area[1] + rand() % (area[3] - kSquare + 1));
        Sync(on.d.connection);
        std::printf("%.6f %d %d %d %d\n", Now(CLOCK_REALTIME), oldX, oldY, window.SquareX(),
                    window.SquareY());
        std::fflush(stdout);
        if (!window.HandleEvents())
            return 1;
    }
    return 0;
}

int Shot(int argc, char** argv) {
    int width = kWidth, height = kHeight;
    if ((argc != 1 && argc != 3) ||
        (argc == 3 && (!ParseInt(argv[1], 1, 4096, width) || !ParseInt(argv[2], 1, 4096, height))))
        return 2;
    Display d;
    if (!Connect(d))
        return 1;
    xcb_get_image_reply_t* reply =
        xcb_get_image_reply(d.connection,
                            xcb_get_image(d.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, d.screen->root,
                                          0, 0, uint16_t(width), uint16_t(height), ~0u),
                            nullptr);
    const size_t count = size_t(width) * height;
    if (!reply || size_t(xcb_get_image_data_length(reply)) < count * 4) {
        std::fprintf(stderr, "xscene: cannot read the screen's %d x %d pixels\n", width, height);
        free(reply);
        return 1;
    }
    const uint8_t* bgrx = xcb_get_image_data(reply);
    std::vector<uint8_t> rgb(count * 3);
    for (size_t i = 0; i < count; ++i)
        for (int k = 0; k < 3; ++k)
            rgb[i * 3 + k] = bgrx[i * 4 + 2 - k];
    free(reply);
    FILE* f = std::fopen(argv[0], "wb");
    bool ok = f && std::fprintf(f, "P6\n%d %d\n255\n", width, height) > 0 &&
              std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
    ok = f && std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "xscene: cannot write %s\n", argv[0]);
    return ok ? 0 : 1;
}

int Copy(int argc, char** argv) {
    int period = 0, seconds = 0, width = 128, height = 64;
    if ((argc != 2 && argc != 4) || !ParseInt(argv[0], 1, 60000, period) ||
        !ParseInt(argv[1], 1, 86400, seconds) ||
        (argc == 4 && (!ParseInt(argv[2], 1, 4096, width) || !ParseInt(argv[3], 1, 4096, height))))
        return 2;
    Display d;
    if (!Connect(d))
        return 1;
    const size_t bytes = size_t(width) * height * 4;
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    void* address = id >= 0 ? shmat(id, nullptr, 0) : reinterpret_cast<void*>(-1);
    const xcb_shm_seg_t segment = xcb_generate_id(d.connection);
    xcb_generic_error_t* error =
        address == reinterpret_cast<void*>(-1)
            ? nullptr
            : xcb_request_check(d.connection,
                                xcb_shm_attach_checked(d.connection, segment, uint32_t(id), 0));
    if (id >= 0)
        shmctl(id, IPC_RMID, nullptr);
    if (address == reinterpret_cast<void*>(-1) || error) {
        std::fprintf(stderr, "xscene: MIT-SHM is not available\n");
        free(error);
        return 1;
    }
    const double start = Now(CLOCK_MONOTONIC);
    for (double next = start; next < start + seconds; next += period / 1000.0) {
        SleepUntil(next);
        free(xcb_shm_get_image_reply(d.connection,
                                     xcb_shm_get_image(d.connection, d.screen->root, 0, 0,
                                                       uint16_t(width), uint16_t(height), ~0u,
                                                       XCB_IMAGE_FORMAT_Z_PIXMAP, segment, 0),
                                     nullptr));
    }
    shmdt(address);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int result = 2;
    if (argc >= 2 && std::strcmp(argv[1], "show") == 0)
        result = Show(argc - 2, argv + 2);
    else if (argc >= 2 && std::strcmp(argv[1], "move") == 0)
        result = Move(argc - 2, argv + 2);
    else if (argc >= 2 && std::strcmp(argv[1], "shot") == 0)
        result = Shot(argc - 2, argv + 2);
    else if (argc >= 2 && std::strcmp(argv[1], "copy") == 0)
        result = Copy(argc - 2, argv + 2);
    if (result == 2)
        std::fprintf(stderr, "usage: xscene show [--still]\n"
                             "       xscene move N GAP_MS [X Y W H]\n"
                             "       xscene shot OUT.ppm [WIDTH HEIGHT]\n"
                             "       xscene copy PERIOD_MS SECONDS [WIDTH HEIGHT]\n");
    return result;
}
