// mirtool's command line: help pages, where -o writes, the line speeds of send, and the
// inputs that are not what they seem.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/link/TileRecord.h"
#include "tools/mirtool/Convert.h"
#include "tools/mirtool/Render.h"
#include "tools/mirtool/Send.h"
#include "tools/mirtool/SerialPort_Posix.h"

namespace {

using Command = int (*)(int, char**);

int Call(Command command, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    return command(int(argv.size()), argv.data());
}

// Standard output and the exit status of the mirtool program.
std::string Tool(const std::string& args, int& status) {
    FILE* pipe = popen((std::string(MIRTOOL_PATH) + " " + args + " 2>/dev/null").c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    status = pipe ? WEXITSTATUS(pclose(pipe)) : -1;
    return out;
}

class Folder {
public:
    Folder() {
        char name[] = "/tmp/mirtool-cli.XXXXXX";
        path = mkdtemp(name);
    }
    ~Folder() { EXPECT_EQ(system(("rm -rf '" + path + "'").c_str()), 0); }
    std::string operator/(const char* name) const { return path + "/" + name; }
    std::string path;
};

std::string Grey(const std::string& path, int width, int height, uint8_t level) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> pixels(size_t(width) * height, level);
    EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr));
    return path;
}

std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(MirtoolHelp, EveryWayOfAskingPrintsThePageWithOptionsRangesAndExitCodes) {
    struct Case {
        const char* args;
        std::vector<const char*> says;
    } cases[] = {
        {"--help", {"render", "convert", "send", "exit codes"}},
        {"help", {"render", "convert", "send", "exit codes"}},
        {"help convert", {"--dither", "Floyd-Steinberg", "0 upright or 2", "210 x 160"}},
        {"convert --help", {"-o OUT", "- is standard output", "-64 to 64", "exit codes"}},
        {"render -h", {"--scale N", "1 to 64", "--follow", "exit codes"}},
        {"send --help", {"--port", "76800", "409600", "--shrink", "exit codes"}},
        {"--version", {"mirtool 0.2012.0802"}},
    };
    for (const Case& c : cases) {
        int status = -1;
        std::string out = Tool(c.args, status);
        EXPECT_EQ(status, 0) << c.args;
        for (const char* text : c.says)
            EXPECT_NE(out.find(text), std::string::npos) << c.args << ": " << text;
    }
    int status = -1;
    EXPECT_EQ(Tool("help frobnicate", status), "");
    EXPECT_EQ(status, 2);
}

// -o into a FIFO, through a symbolic link and to standard output: written into, not replaced.
TEST(MirtoolOutput, FifoSymlinkAndStandardOutputAreWrittenInto) {
    Folder dir;
    const std::string image = Grey(dir / "a.png", 128, 64, 30);
    ASSERT_EQ(Call(mirtool::RunConvert, {image, "-o", dir / "plain.bin"}), 0);
    const std::vector<uint8_t> want = Bytes(dir / "plain.bin");
    ASSERT_EQ(want.size(), wire::kFullBlockSize);

    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::vector<uint8_t> fromFifo;
    std::thread reader([&] { fromFifo = Bytes(dir / "fifo"); });
    EXPECT_EQ(Call(mirtool::RunConvert, {image, "-o", dir / "fifo"}), 0);
    reader.join();
    EXPECT_EQ(fromFifo, want);
    struct stat st;
    ASSERT_EQ(lstat((dir / "fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    ASSERT_EQ(symlink("target.bin", (dir / "link").c_str()), 0);
    EXPECT_EQ(Call(mirtool::RunConvert, {image, "-o", dir / "link"}), 0);
    ASSERT_EQ(lstat((dir / "link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(Bytes(dir / "target.bin"), want);
    EXPECT_EQ(Call(mirtool::RunRender, {dir / "plain.bin", "-o", dir / "link"}), 2); // no .png
    ASSERT_EQ(symlink("picture.png", (dir / "link.png").c_str()), 0);
    EXPECT_EQ(Call(mirtool::RunRender, {dir / "plain.bin", "-o", dir / "link.png"}), 0);
    EXPECT_GT(Bytes(dir / "picture.png").size(), 8u);

    testing::internal::CaptureStdout();
    EXPECT_EQ(Call(mirtool::RunConvert, {image, "-o", "-"}), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), want);
    EXPECT_NE(access("-", F_OK), 0);

    // A missing folder is named as the user gave it, not as the temporary file.
    testing::internal::CaptureStderr();
    EXPECT_EQ(Call(mirtool::RunConvert, {image, "-o", dir / "none/out.bin"}), 1);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find(dir / "none/out.bin: "), std::string::npos) << errors;
    EXPECT_EQ(errors.find(".part"), std::string::npos) << errors;
}

// Every speed of mirpanel's window reaches the line, those without a termios name too.
TEST(MirtoolSend, EveryWindowSpeedIsSetOnTheLine) {
    Folder dir;
    const std::string image = Grey(dir / "a.png", 128, 64, 200);
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    for (int32_t speed : {9600, 19200, 38400, 57600, 76800, 115200, 153600, 204800, 250000, 307200,
                          409600, 500000}) {
        ASSERT_EQ(Call(mirtool::RunSend, {image, "--port", name, "--speed", std::to_string(speed)}),
                  0)
            << speed;
        EXPECT_EQ(mirtool::LineSpeed(slave), speed);
        std::vector<uint8_t> sent(wire::kFullBlockSize);
        for (size_t done = 0; done < sent.size();) {
            ssize_t n = read(master, sent.data() + done, sent.size() - done);
            ASSERT_GT(n, 0);
            done += size_t(n);
        }
    }
    close(master);
    close(slave);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Call(mirtool::RunSend, {image, "--port", name, "--speed", "100000"}), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("76800, 115200, 153600"),
              std::string::npos);
}

TEST(MirtoolInputs, WrongSizesPositionsTurnsAndTypesAreNamed) {
    Folder dir;
    const std::string wide = Grey(dir / "wide.png", 300, 200, 90);
    const std::string small = Grey(dir / "small.png", 100, 50, 90);
    std::ofstream(dir / "text.txt") << "not an image\n";
    const std::string out = dir / "out.bin";
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{wide, "--pos", "32,16"},
         0,
         "(300 x 200) is not the panel's 128 x 64: the panel "
         "shows x 32-159, y 16-79 of it"},
        {{small}, 0, "shows x 0-99, y 0-49 of it, on part of its screen"},
        {{wide, "--pos", "300,0"}, 2, "--pos 300,0 lies outside "},
        {{wide, "--pos", "0,176", "--shrink", "2"}, 2, "captured top-left 210 x 160 of"},
        {{wide, "--rotate", "1"}, 2, "--rotate must be 0 (upright) or 2 (half a turn), not 1"},
        {{dir / "text.txt"}, 2, "PNG, or binary PPM (P6)"},
    };
    for (Case& c : cases) {
        c.args.insert(c.args.end(), {"-o", out});
        testing::internal::CaptureStderr();
        EXPECT_EQ(Call(mirtool::RunConvert, c.args), c.status) << c.says;
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find(c.says), std::string::npos) << errors;
    }
    // A picture given to render: refused after its opening records, nothing written.
    testing::internal::CaptureStderr();
    EXPECT_EQ(Call(mirtool::RunRender, {wide, "-o", dir / "p.pbm"}), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not a panel stream"), std::string::npos);
    EXPECT_NE(access((dir / "p.pbm").c_str(), F_OK), 0);
}

} // namespace
