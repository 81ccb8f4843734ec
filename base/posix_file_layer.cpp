#include "base/posix_file_layer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/error.h"

namespace cantivo {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Close(); }

    int Get() const noexcept { return fd_; }
    bool Valid() const noexcept { return fd_ >= 0; }
    bool Close() noexcept {
        if (fd_ < 0) return true;
        int result = ::close(fd_);
        fd_ = -1;
        return result == 0;
    }

private:
    int fd_;
};

// Removes the temporary file unless the replace got as far as renaming it.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!kept_) ::unlink(path_.c_str());
    }
    const std::string& Path() const noexcept { return path_; }
    void Keep() noexcept { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

}  // namespace

bool PosixFileLayer::IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string PosixFileLayer::ReadAll(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid()) throw CannotOpenFileError(path);
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw CannotOpenFileError(path);
        if (got == 0) break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
}

long PosixFileLayer::WriteSome(int fd, const char* bytes, size_t count) {
    return static_cast<long>(::write(fd, bytes, count));
}

bool PosixFileLayer::Flush(int fd) { return ::fsync(fd) == 0; }

bool PosixFileLayer::Rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

void PosixFileLayer::WriteFully(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        long wrote = WriteSome(fd, bytes.data(), bytes.size());
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) throw StreamWriteError();
        bytes.remove_prefix(static_cast<size_t>(wrote));
    }
}

void PosixFileLayer::WriteAll(const std::string& path, std::string_view bytes) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file.Valid()) throw CannotCreateFileError(path);
    WriteFully(file.Get(), bytes);
    if (!file.Close()) throw StreamWriteError();
}

void PosixFileLayer::ReplaceAll(const std::string& path, std::string_view bytes) {
    std::string pattern = path + ".XXXXXX";
    FileDescriptor file(::mkstemp(pattern.data()));
    if (!file.Valid()) throw CannotCreateFileError(path);
    TemporaryFile temporary(pattern);
    ::fchmod(file.Get(), 0644);  // mkstemp makes it private; a log is an ordinary file
    WriteFully(file.Get(), bytes);
    if (!Flush(file.Get()) || !file.Close()) throw StreamWriteError();
    if (!Rename(temporary.Path(), path)) throw CannotCreateFileError(path);
    temporary.Keep();
}

FileLayer& SystemFileLayer() {
    static PosixFileLayer layer;
    return layer;
}

}  // namespace cantivo
