#include <gtest/gtest.h>

#include <png.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <string>
#include <termios.h>
#include <thread>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/link/Packing.h"
#include "app/link/TileRecord.h"
#include "tools/mirtool/PanelImage.h"
#include "tools/mirtool/Render.h"

namespace {

using Plane = std::vector<int32_t>;

Plane RandomPlane(unsigned seed) {
    std::mt19937 rng(seed);
    Plane plane(65536);
    for (int32_t& v : plane)
        v = static_cast<int32_t>(rng() % 0x10000);
    return plane;
}

std::vector<uint8_t> PackAll(const Plane& plane, bool invert, int32_t rotate) {
    PackSource source{plane.data(), plane.size(), {0, 0, 128, 64}, invert, rotate};
    RECT all{0, 0, 128, 64};
    std::vector<uint8_t> block;
    PackFrameBlock(source, &all, 1, block);
    return block;
}

bool PlaneDark(const Plane& plane, int x, int y) {
    return plane[y * 128 + x] < 0x8000;
}

class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/mirtool-test.XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() {
        std::string command = "rm -rf '" + path + "'";
        EXPECT_EQ(system(command.c_str()), 0);
    }
    std::string File(const char* name) const { return path + "/" + name; }
    std::string path;
};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

int Render(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    return mirtool::RunRender(static_cast<int>(argv.size()), argv.data());
}

// Dark pixels of a P4 file, as the panel grid.
std::vector<bool> PbmPixels(const std::vector<uint8_t>& file) {
    const std::string header = "P4\n128 64\n";
    std::vector<bool> dark(128 * 64);
    EXPECT_GE(file.size(), header.size());
    if (file.size() < header.size())
        return dark;
    EXPECT_EQ(std::string(file.begin(), file.begin() + header.size()), header);
    EXPECT_EQ(file.size(), header.size() + 16 * 64);
    for (int i = 0; i < 128 * 64 && header.size() + i / 8 < file.size(); ++i)
        dark[i] = (file[header.size() + i / 8] >> (7 - i % 8)) & 1;
    return dark;
}

TEST(PanelImage, PackedStreamsRebuildThePlaneInEachOrientation) {
    Plane plane = RandomPlane(7);
    for (bool invert : {false, true}) {
        for (int32_t rotate : {0, 2}) {
            mirtool::PanelImage panel;
            mirtool::RecordStream records(panel);
            std::vector<uint8_t> block = PackAll(plane, invert, rotate);
            EXPECT_EQ(records.Feed(block.data(), block.size()), 64u);
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 128; ++x) {
                    bool want = PlaneDark(plane, x, y) != invert;
                    int px = rotate == 2 ? 127 - x : x;
                    int py = rotate == 2 ? 63 - y : y;
                    ASSERT_EQ(panel.IsDark(px, py), want) << x << "," << y << " " << rotate;
                }
        }
    }
}

TEST(PanelImage, AnySplitOfTheStreamGivesTheSamePicture) {
    std::vector<uint8_t> block = PackAll(RandomPlane(3), false, 0);
    mirtool::PanelImage whole;
    mirtool::RecordStream a(whole);
    a.Feed(block.data(), block.size());
    std::mt19937 rng(5);
    mirtool::PanelImage pieces;
    mirtool::RecordStream b(pieces);
    for (size_t at = 0; at < block.size();) {
        size_t n = std::min<size_t>(1 + rng() % 40, block.size() - at);
        b.Feed(block.data() + at, n);
        at += n;
    }
    EXPECT_EQ(b.Applied(), 64u);
    EXPECT_EQ(b.Pending(), 0u);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            ASSERT_EQ(whole.IsDark(x, y), pieces.IsDark(x, y));
}

TEST(PanelImage, ReservedAddressBitsSkipTheWholeRecord) {
    mirtool::PanelImage panel;
    mirtool::RecordStream records(panel);
    std::vector<uint8_t> stream(17, 0xFF);
    stream[0] = 0x40 | 5; // would be tile 5 without the reserved bit
    std::vector<uint8_t> good(17, 0x00);
    good[0] = 9;
    good[1] = 0x01;
    stream.insert(stream.end(), good.begin(), good.end());
    stream.push_back(0x80);
    stream.insert(stream.end(), 16, 0xFF);
    stream.insert(stream.end(), {1, 2, 3});
    records.Feed(stream.data(), stream.size());
    EXPECT_EQ(records.Applied(), 1u);
    EXPECT_EQ(records.Rejected(), 2u);
    EXPECT_EQ(records.Pending(), 3u);
    EXPECT_FALSE(panel.IsDark(5 * 16, 0)); // the rejected record changed nothing
    EXPECT_TRUE(panel.IsDark(16, 8));      // tile 9: band 1, group 1
    EXPECT_FALSE(panel.IsDark(17, 8));
}

TEST(RenderCommand, WritesPbmAndScaledPngOfThePackedStream) {
    TempDir dir;
    Plane plane = RandomPlane(11);
    WriteBytes(dir.File("in.bin"), PackAll(plane, false, 2));
    ASSERT_EQ(Render({dir.File("in.bin"), "-o", dir.File("out.pbm")}), 0);
    std::vector<bool> dark = PbmPixels(ReadBytes(dir.File("out.pbm")));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            ASSERT_EQ(dark[(63 - y) * 128 + 127 - x], PlaneDark(plane, x, y));

    ASSERT_EQ(Render({dir.File("in.bin"), "-o", dir.File("out.png"), "--scale", "3"}), 0);
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, dir.File("out.png").c_str()));
    EXPECT_EQ(image.width, 384u);
    EXPECT_EQ(image.height, 192u);
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> grey(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr));
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 384; ++x)
            ASSERT_EQ(grey[y * 384 + x], dark[(y / 3) * 128 + x / 3] ? 0 : 255) << x << "," << y;
    EXPECT_FALSE(access((dir.File("out.png") + ".part.png").c_str(), F_OK) == 0);
}

TEST(RenderCommand, AsciiArtOnStandardOutput) {
    TempDir dir;
    std::vector<uint8_t> record(17, 0);
    record[0] = 63;
    record[16] = 0x80; // bottom-right pixel of the panel
    WriteBytes(dir.File("in.bin"), record);
    testing::internal::CaptureStdout();
    ASSERT_EQ(Render({dir.File("in.bin"), "--ascii"}), 0);
    std::string text = testing::internal::GetCapturedStdout();
    ASSERT_EQ(text.size(), 64u * 129u);
    EXPECT_EQ(text.substr(0, 129), std::string(128, '.') + "\n");
    EXPECT_EQ(text.substr(63 * 129, 129), std::string(127, '.') + "#\n");
}

TEST(RenderCommand, MalformedStreamsAreReportedButReadToTheEnd) {
    TempDir dir;
    std::vector<uint8_t> stream(17, 0xFF);
    stream[0] = 0xC0;
    stream.insert(stream.end(), {0, 1, 2, 3, 4});
    WriteBytes(dir.File("bad.bin"), stream);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Render({dir.File("bad.bin"), "-o", dir.File("out.pbm")}), 0);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("skipped 1 record"), std::string::npos) << errors;
    EXPECT_NE(errors.find("5 of 17 bytes"), std::string::npos) << errors;
    std::vector<bool> dark = PbmPixels(ReadBytes(dir.File("out.pbm")));
    for (bool d : dark)
        ASSERT_FALSE(d); // all light: nothing valid arrived
}

TEST(RenderCommand, BadArgumentsAndUnreadableInputsExitWithTwo) {
    TempDir dir;
    WriteBytes(dir.File("in.bin"), {});
    testing::internal::CaptureStderr();
    EXPECT_EQ(Render({dir.File("missing.bin"), "-o", dir.File("o.pbm")}), 2);
    EXPECT_EQ(Render({dir.path, "-o", dir.File("o.pbm")}), 2); // a folder cannot be read
    EXPECT_EQ(Render({dir.File("in.bin"), "-o", dir.File("o.gif")}), 2);
    EXPECT_EQ(Render({dir.File("in.bin")}), 2);
    EXPECT_EQ(Render({dir.File("in.bin"), "--ascii", "--scale", "0"}), 2);
    EXPECT_EQ(Render({dir.File("in.bin"), "--ascii", "--scale", "2x"}), 2);
    EXPECT_EQ(Render({dir.File("in.bin"), "--ascii", "--bogus"}), 2);
    EXPECT_EQ(Render({dir.File("in.bin"), "--follow", "--ascii"}), 2);
    EXPECT_EQ(Render({dir.File("in.bin"), dir.File("in.bin"), "--ascii"}), 2);
    EXPECT_EQ(Render({dir.File("in.bin"), "-o"}), 2);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("missing.bin"), std::string::npos);
    EXPECT_FALSE(access(dir.File("o.pbm").c_str(), F_OK) == 0);
}

// A pty whose other side goes away ends the input, as a vanished serial adapter does.
TEST(RenderCommand, PtyReadUntilItsOtherSideCloses) {
    TempDir dir;
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    std::string slave = ptsname(master);
    termios mode;
    ASSERT_EQ(tcgetattr(master, &mode), 0);
    cfmakeraw(&mode);
    ASSERT_EQ(tcsetattr(master, TCSANOW, &mode), 0);
    // A second handle on the line, only to see what waits in it for the reader.
    int watch = open(slave.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watch, 0);
    auto unread = [&] {
        int n = -1;
        return ioctl(watch, FIONREAD, &n) == 0 ? n : -1;
    };
    std::vector<uint8_t> record(17, 0);
    record[1] = 0x0D; // CR and LF bits too: a cooked line would change them
    record[2] = 0x0A;
    ASSERT_EQ(write(master, record.data(), record.size()), 17);
    while (unread() < 17)
        usleep(1000);
    int status = -1;
    std::thread reader([&] { status = Render({slave, "-o", dir.File("out.pbm")}); });
    while (unread() > 0)
        usleep(1000);
    close(watch);
    close(master); // the other side goes away
    reader.join();
    EXPECT_EQ(status, 0);
    std::vector<bool> dark = PbmPixels(ReadBytes(dir.File("out.pbm")));
    EXPECT_TRUE(dark[0]);
    EXPECT_FALSE(dark[128]);
    EXPECT_TRUE(dark[2 * 128]);
    EXPECT_TRUE(dark[3 * 128]);
    EXPECT_TRUE(dark[1 * 128 + 1]);
    EXPECT_TRUE(dark[3 * 128 + 1]);
    EXPECT_FALSE(dark[2 * 128 + 1]);
}

// Waits until the picture file exists and shows pixel `index` dark; false after 20 s.
bool WaitForPicture(const std::string& path, size_t index) {
    for (int i = 0; i < 2000; ++i) {
        std::vector<uint8_t> file = ReadBytes(path);
        if (file.size() == 10 + 16 * 64 && PbmPixels(file)[index])
            return true;
        usleep(10000);
    }
    return false;
}

// Runs `mirtool render ARGS...` in a child process; stops it (SIGTERM) when done.
class Follower {
public:
    explicit Follower(std::vector<std::string> args) {
        pid = fork();
        if (pid == 0) {
            std::vector<char*> argv{const_cast<char*>("mirtool"), const_cast<char*>("render")};
            for (std::string& a : args)
                argv.push_back(&a[0]);
            argv.push_back(nullptr);
            execv(MIRTOOL_PATH, argv.data());
            _exit(127);
        }
    }
    ~Follower() {
        if (pid > 0)
            Stop();
    }
    // SIGTERM, then the exit status (-1 when it did not exit normally).
    int Stop() {
        kill(pid, SIGTERM);
        int status = 0;
        pid_t waited = waitpid(pid, &status, 0);
        pid = -1;
        return waited > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t pid;
};

// --follow on a FIFO: the picture is rewritten while records arrive and once more on SIGTERM.
TEST(RenderCommand, FollowRewritesAndFinishesOnSigterm) {
    TempDir dir;
    const std::string fifo = dir.File("line");
    const std::string out = dir.File("out.pbm");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Follower follower({fifo, "--follow", "-o", out});
    ASSERT_GT(follower.pid, 0);
    int fd = open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    std::vector<uint8_t> first(17, 0);
    first[1] = 0x01; // top-left pixel
    ASSERT_EQ(write(fd, first.data(), first.size()), 17);
    ASSERT_TRUE(WaitForPicture(out, 0));
    std::vector<uint8_t> second(17, 0);
    second[0] = 63;
    second[16] = 0x80; // bottom-right pixel
    ASSERT_EQ(write(fd, second.data(), second.size()), 17);
    close(fd); // the writer goes away; following goes on
    ASSERT_TRUE(WaitForPicture(out, 63 * 128 + 127));
    ASSERT_EQ(unlink(out.c_str()), 0);
    EXPECT_EQ(follower.Stop(), 0);
    std::vector<bool> dark = PbmPixels(ReadBytes(out)); // written once more at the end
    EXPECT_TRUE(dark[0]);
    EXPECT_TRUE(dark[63 * 128 + 127]);
}

// A pty as a serial line seen from the far end: the master side, and the slave's path.
struct Pty {
    Pty() {
        // Close-on-exec: a follower started later must not hold the line up itself.
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_GE(master, 0);
        EXPECT_EQ(grantpt(master), 0);
        EXPECT_EQ(unlockpt(master), 0);
        slave = ptsname(master);
    }
    // Waits until a reader has opened the line and made it raw.
    void WaitRaw() const {
        termios mode;
        while (tcgetattr(master, &mode) == 0 && (mode.c_lflag & ICANON))
            usleep(10000);
    }
    int master;
    std::string slave;
};

// --follow on a line that goes away and comes back at the same path (a replugged adapter,
// a restarted pty pair): the picture goes on from the new line.
TEST(RenderCommand, FollowReopensALineThatCameBack) {
    TempDir dir;
    const std::string line = dir.File("line");
    const std::string out = dir.File("out.pbm");
    Pty first;
    ASSERT_EQ(symlink(first.slave.c_str(), line.c_str()), 0);
    Follower follower({line, "--follow", "-o", out});
    ASSERT_GT(follower.pid, 0);
    first.WaitRaw();
    std::vector<uint8_t> record(17, 0);
    record[1] = 0x01; // top-left pixel
    ASSERT_EQ(write(first.master, record.data(), record.size()), 17);
    ASSERT_TRUE(WaitForPicture(out, 0));
    Pty second;
    ASSERT_EQ(unlink(line.c_str()), 0);
    ASSERT_EQ(symlink(second.slave.c_str(), line.c_str()), 0);
    close(first.master); // the old line hangs up
    second.WaitRaw();
    record[0] = 63;
    record[1] = 0;
    record[16] = 0x80; // bottom-right pixel
    ASSERT_EQ(write(second.master, record.data(), record.size()), 17);
    ASSERT_TRUE(WaitForPicture(out, 63 * 128 + 127));
    EXPECT_EQ(follower.Stop(), 0);
    EXPECT_TRUE(PbmPixels(ReadBytes(out))[0]); // the first line's picture stays
    close(second.master);
}

} // namespace
