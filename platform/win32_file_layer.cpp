#include "platform/win32_file_layer.h"

#include <string>

#include "platform/kernel_handle.h"
#include "platform/unicode.h"
#include "text/error.h"

namespace cantivo {

namespace {

constexpr DWORD kLargestWrite = 1u << 30;
constexpr int kTemporaryNameTries = 100;

// The new file written beside the one it replaces, under a name of its own that nobody else
// may open meanwhile. It is closed and deleted unless it has taken the old file's place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::wstring& target) {
        for (int attempt = 0; attempt < kTemporaryNameTries && !file_; ++attempt) {
            path_ = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(attempt) + L".tmp";
            file_.Reset(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file_ && ::GetLastError() != ERROR_FILE_EXISTS) break;
        }
        created_ = static_cast<bool>(file_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        file_.Reset();
        if (created_ && !kept_) ::DeleteFileW(path_.c_str());
    }

    bool Created() const noexcept { return created_; }
    HANDLE Handle() const noexcept { return file_.Get(); }
    const std::wstring& Path() const noexcept { return path_; }
    // A file that is still open cannot be moved.
    void CloseForMove() noexcept { file_.Reset(); }
    void Keep() noexcept { kept_ = true; }

private:
    std::wstring path_;
    FileHandle file_;
    bool created_ = false;
    bool kept_ = false;
};

}  // namespace

bool Win32FileLayer::IsFile(const std::string& path) {
    DWORD attributes = ::GetFileAttributesW(WideFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Win32FileLayer::ReadAll(const std::string& path) {
    FileHandle file(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw CannotOpenFileError(path);
    std::string bytes;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0) bytes.reserve(static_cast<size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) throw CannotOpenFileError(path);
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return bytes;
}

bool Win32FileLayer::WriteSome(HANDLE file, const char* bytes, DWORD count, DWORD& written) {
    return ::WriteFile(file, bytes, count, &written, nullptr) != FALSE;
}

bool Win32FileLayer::Flush(HANDLE file) { return ::FlushFileBuffers(file) != FALSE; }

bool Win32FileLayer::MoveReplacing(const std::wstring& from, const std::wstring& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

void Win32FileLayer::WriteFully(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD count = bytes.size() < kLargestWrite ? static_cast<DWORD>(bytes.size()) : kLargestWrite;
        DWORD written = 0;
        if (!WriteSome(file, bytes.data(), count, written) || written == 0) throw StreamWriteError();
        bytes.remove_prefix(written);
    }
}

void Win32FileLayer::WriteAll(const std::string& path, std::string_view bytes) {
    FileHandle file(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw CannotCreateFileError(path);
    WriteFully(file.Get(), bytes);
}

void Win32FileLayer::ReplaceAll(const std::string& path, std::string_view bytes) {
    std::wstring target = WideFromUtf8(path);
    // Held until the move, so a log that may not be written (read-only, or open elsewhere)
    // fails here as it would when truncated in place, and nobody opens it meanwhile.
    // The read-only flag is checked as well, because Wine running as root lets it be written.
    FileHandle existing;
    DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (attributes & FILE_ATTRIBUTE_READONLY) throw CannotCreateFileError(path);
        existing.Reset(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!existing) throw CannotCreateFileError(path);
    }
    TemporaryFile temporary(target);
    if (!temporary.Created()) throw CannotCreateFileError(path);
    WriteFully(temporary.Handle(), bytes);
    if (!Flush(temporary.Handle())) throw StreamWriteError();
    temporary.CloseForMove();
    existing.Reset();
    if (!MoveReplacing(temporary.Path(), target)) throw CannotCreateFileError(path);
    temporary.Keep();
}

FileLayer& SystemFileLayer() {
    static Win32FileLayer layer;
    return layer;
}

}  // namespace cantivo
