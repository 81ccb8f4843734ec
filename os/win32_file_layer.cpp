#include "os/win32_file_layer.h"

#include <aclapi.h>

#include <cstring>
#include <cwchar>
#include <optional>
#include <string>

#include "base/error.h"
#include "os/kernel_handle.h"
#include "os/unicode.h"

namespace cantivo {

namespace {

constexpr DWORD kLargestWrite = 1u << 30;
constexpr int kTemporaryNameTries = 100;
// How often an update is made again on a file that appeared where there was none while the
// update was being made (an editor or a sync client saving by delete, then rename).
constexpr int kUpdateRounds = 3;
// What a replaced file keeps of its attributes: the new file is made with them from the start.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// How long a file that another process holds for a moment (another instance's update, a virus
// scanner, a sync client) is waited for, trying again every so often.
constexpr DWORD kBusyWaitMs = 3000;
constexpr DWORD kBusyRetryMs = 15;

bool HeldByAnother(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// A file being deleted (a lock file let go, a file replaced) answers "access denied" until it
// is gone.
bool HeldOrGoing(DWORD error) { return HeldByAnother(error) || error == ERROR_ACCESS_DENIED; }

bool AlreadyThere(DWORD error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }

// attempt() until it succeeds, or fails for a reason that busy() does not take as a passing
// one, or kBusyWaitMs have gone; the last error is attempt's own.
template <typename Attempt, typename Busy>
bool RetryWhile(Busy busy, Attempt attempt) {
    const ULONGLONG deadline = ::GetTickCount64() + kBusyWaitMs;
    for (;;) {
        if (attempt()) return true;
        const DWORD error = ::GetLastError();
        if (!busy(error) || ::GetTickCount64() >= deadline) {
            ::SetLastError(error);
            return false;
        }
        ::Sleep(kBusyRetryMs);
    }
}

// The path in the form that takes any length (\\?\ before the full path); as it is when it
// cannot be made full.
std::wstring LongPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
    return L"\\\\?\\" + full;
}

// A path of the program's (UTF-8) as the wide API takes it, of any length.
std::wstring WidePath(const std::string& path) { return LongPath(WideFromUtf8(path)); }

// A lock file that is there answers "access denied" while it is being deleted (another
// update letting go of it) or when it is another user's that this one may not open.
bool LockFileThere(const std::wstring& lockPath) {
    return ::GetFileAttributesW(lockPath.c_str()) != INVALID_FILE_ATTRIBUTES || ::GetLastError() == ERROR_ACCESS_DENIED;
}

bool ProcessRuns(DWORD id) {
    if (id == ::GetCurrentProcessId()) return true;
    KernelObject process(::OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!process) return ::GetLastError() != ERROR_INVALID_PARAMETER;  // another user's runs
    return ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

// The process id in a temporary file's name (NAME.PID-N.tmp, NAME the target's file name);
// 0 when the name is not one of those.
DWORD TemporaryFileOwner(const std::wstring& name, const std::wstring& targetName) {
    const std::wstring head = targetName + L".";
    const std::wstring tail = L".tmp";
    if (name.size() <= head.size() + tail.size() || name.compare(0, head.size(), head) != 0 ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0) {
        return 0;
    }
    const std::wstring middle = name.substr(head.size(), name.size() - head.size() - tail.size());
    const size_t dash = middle.find(L'-');
    if (dash == 0 || dash == std::wstring::npos || dash + 1 == middle.size() ||
        middle.find_first_not_of(L"0123456789-") != std::wstring::npos || middle.find(L'-', dash + 1) != std::wstring::npos) {
        return 0;
    }
    return static_cast<DWORD>(std::wcstoul(middle.c_str(), nullptr, 10));
}

// The temporary files that updates of target left behind when their process ended midway.
void RemoveLeftoverTemporaryFiles(const std::wstring& target) {
    const size_t separator = target.find_last_of(L"\\/");
    const std::wstring folder = target.substr(0, separator + 1);
    const std::wstring targetName = target.substr(separator + 1);
    WIN32_FIND_DATAW found{};
    FindHandle search(::FindFirstFileW((target + L".*.tmp").c_str(), &found));
    if (!search) return;
    do {
        const DWORD owner = TemporaryFileOwner(found.cFileName, targetName);
        if (owner != 0 && !ProcessRuns(owner)) ::DeleteFileW((folder + found.cFileName).c_str());
    } while (::FindNextFileW(search.Get(), &found));
}

// The file at target opened to be read and replaced, shared with nobody; empty when there is
// none. writable is false for a file that may be read but not written.
struct HeldFile {
    FileHandle file;
    bool writable = true;
};

// attributes are target's, INVALID_FILE_ATTRIBUTES with error when they could not be had.
HeldFile HoldExisting(const std::wstring& target, const std::string& path, DWORD attributes, DWORD error) {
    HeldFile held;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // Only a file that is not there is no file: any other failure (a network share that
        // is away for a moment, say) would otherwise replace the whole file with the new bytes.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return held;
        throw CannotOpenFileError(path);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw CannotCreateFileError(path);
    // Checked as well, because Wine running as root lets a read-only file be written.
    held.writable = !(attributes & FILE_ATTRIBUTE_READONLY);
    auto open = [&](DWORD access) {
        return RetryWhile(HeldByAnother, [&] {
            held.file.Reset(::CreateFileW(target.c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            return static_cast<bool>(held.file);
        });
    };
    if (held.writable && !open(GENERIC_READ | GENERIC_WRITE) && ::GetLastError() == ERROR_ACCESS_DENIED) {
        held.writable = false;
    }
    if (!held.file && !held.writable) open(GENERIC_READ);
    if (!held.file && ::GetLastError() == ERROR_FILE_NOT_FOUND) return HeldFile{};  // gone since its attributes
    if (!held.file) throw CannotOpenFileError(path);
    return held;
}

std::string ReadHeld(HANDLE file, const std::string& path) {
    std::string bytes;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0) bytes.reserve(static_cast<size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) throw CannotOpenFileError(path);
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return bytes;
}

// A security descriptor that GetSecurityInfo allocated.
using LocalMemory = UniqueHandle<NullIsEmpty<PSECURITY_DESCRIPTOR, &::LocalFree>>;

// A file's access rights as they were set on it: its own entries, and whether it takes those
// of its folder as well.
struct AccessRights {
    LocalMemory descriptor;
    PACL entries = nullptr;
    bool ownOnly = false;

    bool Same(const AccessRights& other) const {
        if (ownOnly != other.ownOnly || !entries != !other.entries) return false;
        return !entries || (entries->AclSize == other.entries->AclSize &&
                            std::memcmp(entries, other.entries, entries->AclSize) == 0);
    }
};

// False when they cannot be read: a file system that keeps none (FAT on a memory stick).
bool ReadAccessRights(HANDLE file, AccessRights& rights) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &rights.entries, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    rights.descriptor.Reset(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorControl(descriptor, &control, &revision)) return false;
    rights.ownOnly = (control & SE_DACL_PROTECTED) != 0;
    return true;
}

// Gives the new file at path, open as file, the access rights of from, the file it is to
// replace. Mostly both have those of their folder and nothing is to be done, so that where
// users may not change rights (a share whose folder says so) such a Save works all the same.
// Otherwise they are set through a handle of their own: reading and changing rights is no use
// of the file's bytes, which nobody else may open meanwhile. False when from's rights could
// not be given, and the new file would be read or written by others than from.
bool GiveAccessRights(HANDLE from, HANDLE file, const std::wstring& path) {
    AccessRights kept;
    if (!ReadAccessRights(from, kept)) return true;
    AccessRights made;
    if (ReadAccessRights(file, made) && made.Same(kept)) return true;
    FileHandle changer(::CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!changer) return false;
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION | (kept.ownOnly ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    return ::SetSecurityInfo(changer.Get(), SE_FILE_OBJECT, what, nullptr, nullptr, kept.entries, nullptr) == ERROR_SUCCESS;
}

}  // namespace

// The new file written beside the one it replaces, under a name of its own that nobody else
// may open meanwhile. It is closed and deleted unless it has taken the old file's place.
class Win32FileLayer::TemporaryFile {
public:
    // attributes: what the new file is made with. Its name ends in .tmp: the next update
    // removes it once its process has ended.
    TemporaryFile(const std::wstring& target, DWORD attributes) {
        for (int attempt = 0; attempt < kTemporaryNameTries && !file_; ++attempt) {
            path_ = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(attempt) + L".tmp";
            file_.Reset(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
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

bool Win32FileLayer::IsFile(const std::string& path) {
    DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Win32FileLayer::ReadAll(const std::string& path) {
    FileHandle file(::CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw CannotOpenFileError(path);
    return ReadHeld(file.Get(), path);
}

bool Win32FileLayer::WriteSome(HANDLE file, const char* bytes, DWORD count, DWORD& written) {
    return ::WriteFile(file, bytes, count, &written, nullptr) != FALSE;
}

DWORD Win32FileLayer::Attributes(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }

bool Win32FileLayer::Flush(HANDLE file) { return ::FlushFileBuffers(file) != FALSE; }

void Win32FileLayer::WriteFully(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD count = bytes.size() < kLargestWrite ? static_cast<DWORD>(bytes.size()) : kLargestWrite;
        DWORD written = 0;
        if (!WriteSome(file, bytes.data(), count, written) || written == 0) throw StreamWriteError();
        bytes.remove_prefix(written);
    }
}

void Win32FileLayer::WriteAll(const std::string& path, std::string_view bytes) {
    FileHandle file(::CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw CannotCreateFileError(path);
    WriteFully(file.Get(), bytes);
}

bool Win32FileLayer::MoveNew(const std::wstring& from, const std::wstring& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Win32FileLayer::MoveOver(const std::wstring& from, const std::wstring& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

FileHandle Win32FileLayer::CreateLockFile(const std::wstring& lockPath) {
    return FileHandle(::CreateFileW(lockPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

FileHandle Win32FileLayer::TakeUpdateLock(const std::wstring& target, const std::string& path) {
    const std::wstring lockPath = target + L".lock";
    auto held = [&](DWORD error) { return HeldByAnother(error) || (error == ERROR_ACCESS_DENIED && LockFileThere(lockPath)); };
    FileHandle lock;
    if (RetryWhile(held, [&] { return static_cast<bool>(lock = CreateLockFile(lockPath)); })) return lock;
    if (held(::GetLastError())) throw CannotOpenFileError(path);
    return lock;
}

void Win32FileLayer::ReplaceAll(const std::string& path, std::string_view bytes) {
    const std::wstring target = WidePath(path);
    for (int round = 0; round < kUpdateRounds; ++round) {
        // Held until the replace, so a file that may not be written (read-only, or open
        // elsewhere) fails here as it would when truncated in place, and nobody opens it
        // meanwhile. The read-only flag is checked as well, because Wine running as root lets
        // it be written.
        FileHandle existing;
        const DWORD attributes = Attributes(target);
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (attributes & FILE_ATTRIBUTE_READONLY) throw CannotCreateFileError(path);
            existing.Reset(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!existing) throw CannotCreateFileError(path);
        }
        if (WriteReplacing(target, path, bytes, existing, attributes)) return;
    }
    throw CannotCreateFileError(path);
}

void Win32FileLayer::Update(const std::string& path, const Edit& edit) {
    const std::wstring target = WidePath(path);
    FileHandle lock = TakeUpdateLock(target, path);
    if (lock) RemoveLeftoverTemporaryFiles(target);
    for (int round = 0; round < kUpdateRounds; ++round) {
        const DWORD attributes = Attributes(target);
        HeldFile held = HoldExisting(target, path, attributes, ::GetLastError());
        std::optional<std::string> bytes = edit(held.file ? ReadHeld(held.file.Get(), path) : std::string());
        if (!bytes) return;
        if (!held.writable || !lock) throw CannotCreateFileError(path);
        if (WriteReplacing(target, path, *bytes, held.file, attributes)) return;
    }
    throw CannotCreateFileError(path);
}

bool Win32FileLayer::WriteReplacing(const std::wstring& target, const std::string& path, std::string_view bytes,
                                    FileHandle& held, DWORD attributes) {
    const bool replacing = static_cast<bool>(held);
    const DWORD kept = replacing ? attributes & kKeptAttributes : 0;
    TemporaryFile temporary(target, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
    if (!temporary.Created()) throw CannotCreateFileError(path);
    if (replacing && !GiveAccessRights(held.Get(), temporary.Handle(), temporary.Path())) {
        throw CannotCreateFileError(path);
    }
    WriteFully(temporary.Handle(), bytes);
    if (!Flush(temporary.Handle())) throw StreamWriteError();
    temporary.CloseForMove();
    held.Reset();
    if (replacing) {
        ReplaceWith(temporary, target, path);
    } else if (!MoveIn(temporary, target, path)) {
        return false;
    }
    temporary.Keep();
    return true;
}

bool Win32FileLayer::MoveIn(TemporaryFile& file, const std::wstring& target, const std::string& path) {
    if (RetryWhile(HeldOrGoing, [&] { return MoveNew(file.Path(), target); })) return true;
    // Where there was no file, one may have been put meanwhile: it is never replaced blindly.
    if (AlreadyThere(::GetLastError())) return false;
    throw CannotCreateFileError(path);
}

void Win32FileLayer::ReplaceWith(TemporaryFile& replacement, const std::wstring& target, const std::string& path) {
    // One rename puts the new file in the old one's place, so whoever looks, and whenever the
    // program is stopped, the file there is the old one or the new one, never none
    // (ReplaceFileW moves the old file aside first). A scanner or a sync client may hold
    // either file for a moment.
    if (!RetryWhile(HeldOrGoing, [&] { return MoveOver(replacement.Path(), target); })) throw CannotCreateFileError(path);
}

FileLayer& SystemFileLayer() {
    static Win32FileLayer layer;
    return layer;
}

}  // namespace cantivo
