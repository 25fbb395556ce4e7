#include "tools/mirtool/mirror/SettingsFile_Posix.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/settings/SettingsFile.h"
#include "multio/Stream.h"

namespace mirtool {

namespace {

// A file descriptor as a read-only stream: a short read at the end sets the end flag, a
// failed read the failure, whose errno is kept.
class FileStream : public multio::Stream {
public:
    explicit FileStream(int fd) : fd(fd) {}
    int32_t Read(void* buffer, int32_t length, uint32_t flags) override {
        if (flags != 0 || length < 0)
            return multio::kStreamUnsupported;
        if (failed)
            return multio::kStreamFailed;
        ssize_t n;
        do {
            n = read(fd, buffer, static_cast<size_t>(length));
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            failed = errno;
            return multio::kStreamFailed;
        }
        atEnd = n == 0;
        readCount += static_cast<int32_t>(n);
        return static_cast<int32_t>(n);
    }
    bool IsEof() override { return atEnd; }
    bool IsFailed() override { return failed != 0; }
    int Error() const { return failed; }

private:
    int fd;
    bool atEnd = false;
    int failed = 0;
};

int32_t Refuse(const std::string& path, int code, std::string& error) {
    error = "cannot read settings file " + path + ": " + strerror(code);
    return -code;
}

} // namespace

int32_t LoadSettingsFile(const std::string& path, KeyTable& table,
                         std::vector<MonitorRecord>& records, int32_t& runMode,
                         std::string& error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return Refuse(path, errno, error);
    struct stat info;
    int code = fstat(fd, &info) != 0 ? errno : 0;
    if (code == 0 && !S_ISREG(info.st_mode))
        code = S_ISDIR(info.st_mode) ? EISDIR : EINVAL; // a FIFO or device could block for ever
    if (code != 0) {
        close(fd);
        return Refuse(path, code, error);
    }
    FileStream stream(fd);
    putProgramKeys(table, records, runMode);
    readSettingsLines(table, stream);
    code = stream.Error();
    if (code == 0)
        takeProgramKeys(table, records, runMode);
    close(fd);
    return code == 0 ? 0 : Refuse(path, code, error);
}

} // namespace mirtool
