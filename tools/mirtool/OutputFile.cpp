#include "tools/mirtool/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirtool {

namespace {

// Writes every byte, going on after interruptions and short writes. False with errno set.
bool WriteFully(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string Reason(const std::string& name) {
    return name + ": " + strerror(errno);
}

// Writes the bytes to `fd`, just opened for `path`, and closes it.
bool FillAndClose(int fd, const std::string& path, const std::vector<uint8_t>& bytes,
                  std::string& error) {
    if (fd < 0) {
        error = Reason(path);
        return false;
    }
    const bool written = WriteFully(fd, bytes);
    const int writeError = errno;
    const bool closed = close(fd) == 0;
    if (written && closed)
        return true;
    if (!written)
        errno = writeError;
    error = Reason(path);
    return false;
}

// The file is made as "<path>.part" in the same folder (one file system) and renamed. A
// failure names the user's path: its folder is what is missing or closed.
bool ReplaceWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const std::string temporary = path + ".part";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    bool ok = FillAndClose(fd, path, bytes, error);
    if (ok && rename(temporary.c_str(), path.c_str()) != 0) {
        error = Reason(path);
        ok = false;
    }
    if (!ok && fd >= 0)
        unlink(temporary.c_str());
    return ok;
}

bool WriteInto(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    return FillAndClose(fd, path, bytes, error);
}

} // namespace

bool WriteOutputFile(const std::string& path, const std::vector<uint8_t>& bytes,
                     std::string& error) {
    if (path == "-") {
        fflush(stdout); // whatever stdio holds goes first
        if (WriteFully(STDOUT_FILENO, bytes))
            return true;
        error = Reason("standard output");
        return false;
    }
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            error = Reason(path);
            return false;
        }
        return ReplaceWhole(path, bytes, error);
    }
    return S_ISREG(st.st_mode) ? ReplaceWhole(path, bytes, error) : WriteInto(path, bytes, error);
}

} // namespace mirtool
