// mirtool convert: image input, option handling and the pipeline's bytes.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "app/link/TileRecord.h"
#include "tools/mirtool/Convert.h"
#include "tools/mirtool/ImageInput.h"
#include "tools/mirtool/PanelImage.h"
#include "tools/mirtool/Send.h"

namespace {

using mirtool::Capture;
using mirtool::PipelineSettings;

std::vector<uint8_t> Ppm(int w, int h, uint8_t grey, const std::string& header = "") {
    std::string head =
        header.empty() ? "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n" : header;
    std::vector<uint8_t> bytes(head.begin(), head.end());
    bytes.insert(bytes.end(), size_t(w) * h * 3, grey);
    return bytes;
}

Capture Grey(int w, int h, uint8_t grey) {
    Capture c;
    c.width = w;
    c.height = h;
    c.bgrx.assign(size_t(w) * h * 4, grey);
    return c;
}

void SetPixel(Capture& c, int x, int y, uint8_t grey) {
    for (int k = 0; k < 3; ++k)
        c.bgrx[(size_t(y) * c.width + x) * 4 + k] = grey;
}

mirtool::PanelImage Render(const std::vector<uint8_t>& bytes) {
    mirtool::PanelImage panel;
    mirtool::RecordStream stream(panel);
    stream.Feed(bytes.data(), bytes.size());
    return panel;
}

class Files {
public:
    Files() {
        char name[] = "/tmp/mirtool-convert.XXXXXX";
        dir = mkdtemp(name);
    }
    ~Files() { EXPECT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0); }
    std::string Write(const char* name, const std::vector<uint8_t>& bytes) {
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    std::string Path(const char* name) const { return dir + "/" + name; }
    std::string dir;
};

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

int RunConvert(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    return mirtool::RunConvert(int(argv.size()), argv.data());
}

TEST(MirtoolPpm, HeaderWithCommentsAndItsFaults) {
    Capture c;
    std::string error;
    std::vector<uint8_t> ok = Ppm(2, 1, 0, "P6 # a comment\n2 1\n# another\n255\n");
    ok[ok.size() - 6] = 10; // R of the first pixel
    ok[ok.size() - 4] = 30; // B
    ASSERT_TRUE(mirtool::ParsePpm(ok, c, error)) << error;
    EXPECT_EQ(c.width, 2);
    EXPECT_EQ(c.bgrx[0], 30); // stored blue, green, red
    EXPECT_EQ(c.bgrx[2], 10);
    EXPECT_FALSE(mirtool::ParsePpm(Ppm(2, 2, 0, "P3\n2 2\n255\n"), c, error));
    EXPECT_FALSE(mirtool::ParsePpm(Ppm(2, 2, 0, "P6\n2 2\n65535\n"), c, error));
    EXPECT_FALSE(mirtool::ParsePpm(Ppm(2, 2, 0, "P6\n0 2\n255\n"), c, error));
    EXPECT_FALSE(mirtool::ParsePpm(Ppm(1, 1, 0, "P6\n99999 99999\n255\n"), c, error));
    std::vector<uint8_t> truncated = Ppm(4, 4, 0);
    truncated.pop_back();
    EXPECT_FALSE(mirtool::ParsePpm(truncated, c, error));
    EXPECT_FALSE(mirtool::ParsePpm(std::vector<uint8_t>{'P', '6'}, c, error));
}

TEST(MirtoolConvertPipeline, FirstImageIsAFullBlockAndStillImagesSendNothingMore) {
    std::vector<Capture> captures = {Grey(400, 300, 0), Grey(400, 300, 0)};
    std::vector<uint8_t> bytes = mirtool::ConvertCaptures(captures, PipelineSettings{});
    ASSERT_EQ(bytes.size(), wire::kFullBlockSize);
    for (size_t r = 0; r < 64; ++r)
        for (size_t k = 1; k < 17; ++k)
            ASSERT_EQ(bytes[r * 17 + k], 0xFF);
}

TEST(MirtoolConvertPipeline, LaterImagesSendTheChangedCellsAtTheirPhase) {
    PipelineSettings s;
    s.dither = 0;
    Capture white = Grey(256, 128, 255);
    Capture seenFirst = white;
    SetPixel(seenFirst, 66, 40, 0); // cell (64, 32), row 8, pair 1: the first compare's phase
    Capture seenSecond = white;
    SetPixel(seenSecond, 64, 40, 0); // pair 0 of the same row: only the second compare
    std::vector<uint8_t> a = mirtool::ConvertCaptures({white, seenFirst}, s);
    ASSERT_EQ(a.size(), wire::kFullBlockSize + 8 * 17); // a 32 x 32 cell is 2 x 4 tiles
    EXPECT_EQ(a[wire::kFullBlockSize], 8 * 4 + 4);      // band 4, group 4
    std::vector<uint8_t> b = mirtool::ConvertCaptures({white, seenSecond}, s);
    EXPECT_EQ(b.size(), wire::kFullBlockSize);
    std::vector<uint8_t> c = mirtool::ConvertCaptures({white, seenSecond, seenSecond}, s);
    EXPECT_EQ(c.size(), wire::kFullBlockSize);
    std::vector<uint8_t> d = mirtool::ConvertCaptures({white, white, seenSecond}, s);
    EXPECT_EQ(d.size(), wire::kFullBlockSize + 8 * 17);
    EXPECT_TRUE(Render(d).IsDark(64, 40));
}

TEST(MirtoolConvertPipeline, HalftoneSendsAFullBlockForEveryImage) {
    PipelineSettings s;
    s.dither = 2;
    Capture grey = Grey(200, 100, 140);
    std::vector<uint8_t> bytes = mirtool::ConvertCaptures({grey, grey, grey}, s);
    ASSERT_EQ(bytes.size(), 3 * wire::kFullBlockSize);
    // The checkerboard flips from one frame to the next.
    EXPECT_EQ(bytes[1] ^ bytes[wire::kFullBlockSize + 1], 0xFF);
}

TEST(MirtoolConvertPipeline, SettingsReachThePicture) {
    Capture c = Grey(384, 256, 255);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            SetPixel(c, 16 + x, 8 + y, 0); // a dark tile at (16, 8)
    PipelineSettings s;
    s.dither = 0;
    mirtool::PanelImage upright = Render(mirtool::ConvertCaptures({c}, s));
    EXPECT_TRUE(upright.IsDark(16, 8));
    EXPECT_FALSE(upright.IsDark(15, 8));
    s.invert = 1;
    EXPECT_FALSE(Render(mirtool::ConvertCaptures({c}, s)).IsDark(16, 8));
    s.invert = 0;
    s.rotate = 2;
    mirtool::PanelImage turned = Render(mirtool::ConvertCaptures({c}, s));
    EXPECT_TRUE(turned.IsDark(127 - 16, 63 - 8));
    EXPECT_FALSE(turned.IsDark(16, 8));
    s.rotate = 0;
    s.posX = 16;
    s.posY = 8;
    EXPECT_TRUE(Render(mirtool::ConvertCaptures({c}, s)).IsDark(0, 0));
    s.posX = -100000; // a window off the capture sends nothing
    s.shrink = 99;
    EXPECT_TRUE(mirtool::ConvertCaptures({c}, s).empty());
}

TEST(MirtoolConvertCommand, WritesTheBlocksOfPpmAndPngAlike) {
    Files f;
    std::string ppm = f.Write("a.ppm", Ppm(300, 200, 90));
    std::string out = f.Path("out.bin");
    ASSERT_EQ(
        RunConvert({ppm,        ppm,     "-o",       out,   "--dither", "2", "--contrast", "1.5",
                    "--offset", "-3",    "--gamma",  "0.8", "--invert", "1", "--rotate",   "2",
                    "--pos",    "32,16", "--shrink", "1"}),
        0);
    std::ifstream in(out, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    PipelineSettings s;
    s.dither = 2;
    s.contrast = 1.5;
    s.offset = -3;
    s.gamma = 0.8;
    s.invert = 1;
    s.rotate = 2;
    s.posX = 32;
    s.posY = 16;
    s.shrink = 1;
    Capture c;
    std::string error;
    ASSERT_TRUE(mirtool::ReadCapture(ppm, c, error)) << error;
    EXPECT_EQ(bytes, mirtool::ConvertCaptures({c, c}, s));
    EXPECT_EQ(bytes.size(), 2 * wire::kFullBlockSize);
    // The same picture as a PNG gives the same bytes.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 300;
    image.height = 200;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(300 * 200 * 3, 90);
    std::string png = f.Path("a.png");
    ASSERT_TRUE(png_image_write_to_file(&image, png.c_str(), 0, rgb.data(), 0, nullptr));
    std::string out2 = f.Path("out2.bin");
    ASSERT_EQ(
        RunConvert({png,        ppm,     "-o",       out2,  "--dither", "2", "--contrast", "1.5",
                    "--offset", "-3",    "--gamma",  "0.8", "--invert", "1", "--rotate",   "2",
                    "--pos",    "32,16", "--shrink", "1"}),
        0);
    std::ifstream in2(out2, std::ios::binary);
    std::vector<uint8_t> bytes2((std::istreambuf_iterator<char>(in2)),
                                std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes2, bytes);
}

TEST(MirtoolConvertCommand, BadInputFailsWithStatusTwoAndWritesNothing) {
    Files f;
    std::string a = f.Write("a.ppm", Ppm(64, 32, 0));
    std::string b = f.Write("b.ppm", Ppm(64, 33, 0));
    std::string broken = f.Write("c.ppm", Ppm(64, 32, 0, "P6\n64 32\n"));
    std::string png = f.Write("d.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0});
    std::string out = f.Path("out.bin");
    EXPECT_EQ(RunConvert({a, b, "-o", out}), 2);
    EXPECT_EQ(RunConvert({a, broken, "-o", out}), 2);
    EXPECT_EQ(RunConvert({png, "-o", out}), 2);
    EXPECT_EQ(RunConvert({f.Path("missing.ppm"), "-o", out}), 2);
    EXPECT_EQ(RunConvert({a, "-o", out, "--frobnicate"}), 2);
    EXPECT_EQ(RunConvert({a, "-o", out, "--dither", "one"}), 2);
    EXPECT_EQ(RunConvert({a, "-o", out, "--offset", "99999999999"}), 2);
    EXPECT_EQ(RunConvert({a, "-o", out, "--pos", "16"}), 2);
    EXPECT_EQ(RunConvert({a, "-o", out, "--gamma"}), 2);
    EXPECT_EQ(RunConvert({a}), 2);
    EXPECT_EQ(RunConvert({"-o", out}), 2);
    EXPECT_FALSE(Exists(out));
    // Values that parse but make no sense still convert.
    EXPECT_EQ(RunConvert({a, "-o", out, "--contrast", "nan", "--gamma", "1e300", "--offset",
                          "2147483647", "--pos", "-64,0", "--shrink", "99"}),
              0);
    EXPECT_TRUE(Exists(out));
}

int RunSend(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    return mirtool::RunSend(int(argv.size()), argv.data());
}

TEST(MirtoolSend, WritesConvertsBytesToATerminalInRawMode) {
    Files f;
    std::string a = f.Write("a.ppm", Ppm(200, 100, 200));
    int master = -1;
    int slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_EQ(RunSend({a, "--port", name, "--dither", "0", "--invert", "1"}), 0);
    termios mode;
    ASSERT_EQ(tcgetattr(slave, &mode), 0);
    EXPECT_EQ(mode.c_cflag & CSIZE, unsigned(CS8));
    EXPECT_EQ(mode.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(mode.c_oflag & OPOST, 0u); // no newline translation of 0x0A bytes
    EXPECT_EQ(cfgetospeed(&mode), speed_t(B500000));
    std::vector<uint8_t> got(wire::kFullBlockSize);
    size_t done = 0;
    while (done < got.size()) {
        ssize_t n = read(master, got.data() + done, got.size() - done);
        ASSERT_GT(n, 0);
        done += size_t(n);
    }
    PipelineSettings s;
    s.dither = 0;
    s.invert = 1;
    Capture c;
    std::string error;
    ASSERT_TRUE(mirtool::ReadCapture(a, c, error));
    EXPECT_EQ(got, mirtool::ConvertCaptures({c}, s));
    close(master);
    close(slave);
}

TEST(MirtoolSend, BadArgumentsAndDevices) {
    Files f;
    std::string a = f.Write("a.ppm", Ppm(20, 10, 0));
    EXPECT_EQ(RunSend({a}), 2);
    EXPECT_EQ(RunSend({a, "--port", "/dev/null", "--speed", "12345"}), 2);
    EXPECT_EQ(RunSend({a, "--port", "/dev/null", "--speed", "fast"}), 2);
    EXPECT_EQ(RunSend({a, "--port", "/dev/null", "--dither", "x"}), 2);
    EXPECT_EQ(RunSend({f.Path("none.ppm"), "--port", "/dev/null"}), 2);
    EXPECT_EQ(RunSend({a, "--port", "/dev/null"}), 1); // not a serial device
    EXPECT_EQ(RunSend({a, "--port", f.Path("no-such-device")}), 1);
}

} // namespace
