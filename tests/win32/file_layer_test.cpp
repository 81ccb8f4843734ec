#include "os/win32_file_layer.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "os/kernel_handle.h"
#include "os/unicode.h"

namespace cantivo {
namespace {

using namespace std::string_literals;

// A fresh folder whose name lies outside the ANSI code page, removed with its files afterwards.
class FileLayerTest : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"Cantivo テスト ☃ é " + std::to_wstring(::GetTickCount());
        ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
        path = Utf8FromWide(folder_) + "\\cantivolog.log";
    }

    void TearDown() override {
        for (const std::wstring& name : Names()) {
            std::wstring file = folder_ + L"\\" + name;
            ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(file.c_str());
        }
        ::RemoveDirectoryW(folder_.c_str());
    }

    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found{};
        HANDLE search = ::FindFirstFileW((folder_ + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") names.push_back(name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }

    FileHandle Hold(DWORD access, DWORD share) const {
        return FileHandle(::CreateFileW(WideFromUtf8(path).c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
    }

    std::string ErrorOf(FileLayer& layer, void (*action)(FileLayer&, const std::string&)) const {
        try {
            action(layer, path);
        } catch (const CantivoError& e) {
            return e.Message();
        }
        return "no error";
    }

    std::string OpenError() const { return "ファイル " + path + " は開けません"; }
    std::string CreateError() const { return "ファイル " + path + " を作成できません"; }

    // The old log is still there, byte for byte, and nothing was left beside it.
    void ExpectUnchanged() {
        EXPECT_EQ(files.ReadAll(path), kOld);
        EXPECT_EQ(Names(), std::vector<std::wstring>{L"cantivolog.log"});
    }

    static void Read(FileLayer& layer, const std::string& file) { layer.ReadAll(file); }
    static void Replace(FileLayer& layer, const std::string& file) { layer.ReplaceAll(file, "new\r\n"); }

    const std::string kOld = "\"12/01 21:38\",\"a\",\"b\"\r\nold\0tail\r\n"s;
    Win32FileLayer files;
    std::wstring folder_;
    std::string path;
};

TEST_F(FileLayerTest, WritesAndReadsBytesInAFolderOutsideTheAnsiCodePage) {
    EXPECT_FALSE(files.IsFile(path));
    files.WriteAll(path, kOld);
    EXPECT_TRUE(files.IsFile(path));
    EXPECT_FALSE(files.IsFile(Utf8FromWide(folder_)));
    EXPECT_EQ(files.ReadAll(path), kOld);
    files.ReplaceAll(path, "new");
    EXPECT_EQ(files.ReadAll(path), "new");
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"cantivolog.log"});
}

TEST_F(FileLayerTest, MissingFileCannotBeOpened) { EXPECT_EQ(ErrorOf(files, Read), OpenError()); }

TEST_F(FileLayerTest, ReadingLetsOthersReadButNotWrite) {
    files.WriteAll(path, kOld);
    {
        FileHandle reader = Hold(GENERIC_READ, FILE_SHARE_READ);
        ASSERT_TRUE(reader);
        EXPECT_EQ(files.ReadAll(path), kOld);
    }
    for (DWORD share : {DWORD(0), DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE)}) {
        FileHandle writer = Hold(GENERIC_WRITE, share);
        ASSERT_TRUE(writer);
        EXPECT_EQ(ErrorOf(files, Read), OpenError());
    }
}

TEST_F(FileLayerTest, AFileThatCannotBeCreatedSaysSo) {
    std::string inMissingFolder = Utf8FromWide(folder_) + "\\no such folder\\cantivolog.log";
    try {
        files.WriteAll(inMissingFolder, "x");
        FAIL();
    } catch (const CantivoError& e) {
        EXPECT_EQ(e.Message(), "ファイル " + inMissingFolder + " を作成できません");
    }
    EXPECT_THROW(files.ReplaceAll(inMissingFolder, "x"), CantivoError);
}

TEST_F(FileLayerTest, WritingHoldsTheFileExclusively) {
    files.WriteAll(path, kOld);
    FileHandle reader = Hold(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(reader);
    EXPECT_THROW(files.WriteAll(path, "x"), CantivoError);
}

TEST_F(FileLayerTest, ReplacingAReadOnlyFileLeavesIt) {
    files.WriteAll(path, kOld);
    ::SetFileAttributesW(WideFromUtf8(path).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ErrorOf(files, Replace), CreateError());
    ExpectUnchanged();
}

// Makes the chosen step of a replace fail.
class FaultyFileLayer : public Win32FileLayer {
public:
    enum class Fault { ShortWrite, FailedWrite, Flush, Move };
    explicit FaultyFileLayer(Fault fault) : fault_(fault) {}

protected:
    bool WriteSome(HANDLE file, const char* bytes, DWORD count, DWORD& written) override {
        if (fault_ == Fault::FailedWrite) return false;
        if (fault_ != Fault::ShortWrite) return Win32FileLayer::WriteSome(file, bytes, count, written);
        // Half of it goes through, then the disk is full.
        if (wroteHalf_) {
            written = 0;
            return true;
        }
        wroteHalf_ = true;
        return Win32FileLayer::WriteSome(file, bytes, count / 2, written);
    }
    bool Flush(HANDLE file) override { return fault_ != Fault::Flush && Win32FileLayer::Flush(file); }
    bool MoveOver(const std::wstring& from, const std::wstring& to) override {
        if (fault_ != Fault::Move) return Win32FileLayer::MoveOver(from, to);
        ::SetLastError(ERROR_WRITE_PROTECT);
        return false;
    }

private:
    Fault fault_;
    bool wroteHalf_ = false;
};

TEST_F(FileLayerTest, AFailedReplaceLeavesTheOldFileAndNoTemporary) {
    using Fault = FaultyFileLayer::Fault;
    const std::pair<Fault, std::string> cases[] = {
        {Fault::ShortWrite, "ストリームへの書き込みエラー"},
        {Fault::FailedWrite, "ストリームへの書き込みエラー"},
        {Fault::Flush, "ストリームへの書き込みエラー"},
        {Fault::Move, CreateError()},
    };
    files.WriteAll(path, kOld);
    for (const auto& [fault, message] : cases) {
        FaultyFileLayer faulty(fault);
        EXPECT_EQ(ErrorOf(faulty, Replace), message);
        ExpectUnchanged();
    }
}

// Paths travel as UTF-8 inside the program. Windows allows a name to hold a surrogate without
// its pair (Wine refuses to make one, so no such file is made here).
TEST(PathTextTest, EveryWindowsNameComesBackFromUtf8AsItWent) {
    const std::wstring names[] = {L"",           L"cantivolog.log",     L"Cantivo テスト ☃ é", L"\U0001F3B5 song",
                                  L"a\xD800\x62", L"\xDC00 alone",       L"ends \xDBFF",        L"\xDC00\xD800 reversed"};
    for (const std::wstring& name : names) {
        const std::string utf8 = Utf8FromWide(name);
        EXPECT_EQ(WideFromUtf8(utf8), name) << utf8;
        // What is proper Unicode is proper UTF-8, as the system writes it.
        const int size = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()),
                                               nullptr, 0, nullptr, nullptr);
        if (size > 0) {
            std::string system(static_cast<size_t>(size), '\0');
            ::WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), system.data(), size, nullptr,
                                  nullptr);
            EXPECT_EQ(utf8, system);
        }
    }
    // Bytes that are no UTF-8 (a lone continuation byte, an overlong form, a cut sequence).
    EXPECT_EQ(WideFromUtf8("a\x80\x62\xC0\xAF\x63\xE3\x81"), L"a\xFFFD\x62\xFFFD\xFFFD\x63\xFFFD\xFFFD");
}

std::optional<std::string> Appending(std::string_view old, std::string_view line) {
    return std::string(old) + std::string(line);
}

TEST_F(FileLayerTest, AnUpdateReadsTheFileAndReplacesItOrLeavesIt) {
    files.Update(path, [](std::string_view old) { return Appending(old, "one\r\n"); });  // no file: empty
    files.Update(path, [](std::string_view old) { return Appending(old, "two\r\n"); });
    files.Update(path, [](std::string_view) { return std::optional<std::string>(); });
    EXPECT_EQ(files.ReadAll(path), "one\r\ntwo\r\n");
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"cantivolog.log"});
}

DWORD WINAPI LetGoAfterAMoment(void* held) {
    ::Sleep(300);
    static_cast<FileHandle*>(held)->Reset();
    return 0;
}

TEST_F(FileLayerTest, AnUpdateWaitsForAFileThatIsHeldForAMoment) {
    files.WriteAll(path, kOld);
    FileHandle held = Hold(GENERIC_READ, 0);  // as a scanner or a sync client holds it
    ASSERT_TRUE(held);
    KernelObject letGo(::CreateThread(nullptr, 0, &LetGoAfterAMoment, &held, 0, nullptr));
    files.Update(path, [](std::string_view old) { return Appending(old, "new\r\n"); });
    ::WaitForSingleObject(letGo.Get(), INFINITE);
    EXPECT_EQ(files.ReadAll(path), kOld + "new\r\n");
}

// Looking at the file's attributes fails as it would on a network share that is away for a
// moment; or the replacing move meets a file held for a moment, a few times over.
class PassingTroubleLayer : public Win32FileLayer {
public:
    DWORD attributesError = 0;
    int movesHeld = 0;

protected:
    DWORD Attributes(const std::wstring& path) override {
        if (attributesError == 0) return Win32FileLayer::Attributes(path);
        ::SetLastError(attributesError);
        return INVALID_FILE_ATTRIBUTES;
    }
    bool MoveOver(const std::wstring& from, const std::wstring& to) override {
        if (movesHeld == 0) return Win32FileLayer::MoveOver(from, to);
        --movesHeld;
        ::SetLastError(ERROR_SHARING_VIOLATION);
        return false;
    }
};

TEST_F(FileLayerTest, OnlyAFileThatIsNotThereCountsAsNoFile) {
    files.WriteAll(path, kOld);
    for (DWORD error : {DWORD(ERROR_BAD_NETPATH), DWORD(ERROR_NETNAME_DELETED), DWORD(ERROR_ACCESS_DENIED)}) {
        PassingTroubleLayer layer;
        layer.attributesError = error;
        try {
            layer.Update(path, [](std::string_view old) { return Appending(old, "new\r\n"); });
            ADD_FAILURE() << error;
        } catch (const CantivoError& e) {
            EXPECT_EQ(e.Message(), OpenError()) << error;
        }
        ExpectUnchanged();
    }
}

TEST_F(FileLayerTest, AReplacingMoveThatMeetsAHeldFileIsTriedAgain) {
    files.WriteAll(path, kOld);
    PassingTroubleLayer layer;
    layer.movesHeld = 3;
    layer.Update(path, [](std::string_view old) { return Appending(old, "new\r\n"); });
    EXPECT_EQ(files.ReadAll(path), kOld + "new\r\n");
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"cantivolog.log"});
}

// The update's lock, held here as another updater holds it (another user's copy of the
// program, another PC on a share).
FileHandle HoldLock(const std::string& path) {
    return FileHandle(::CreateFileW((WideFromUtf8(path) + L".lock").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

TEST_F(FileLayerTest, AnUpdateWaitsForTheLockAMomentAndNeverWritesWithoutIt) {
    files.WriteAll(path, kOld);
    {
        FileHandle lock = HoldLock(path);
        ASSERT_TRUE(lock);
        KernelObject letGo(::CreateThread(nullptr, 0, &LetGoAfterAMoment, &lock, 0, nullptr));
        files.Update(path, [](std::string_view old) { return Appending(old, "mine\r\n"); });
        ::WaitForSingleObject(letGo.Get(), INFINITE);
    }
    const std::string mine = kOld + "mine\r\n";
    {
        FileHandle lock = HoldLock(path);  // for longer than an update waits
        ASSERT_TRUE(lock);
        try {
            files.Update(path, [](std::string_view old) { return Appending(old, "lost\r\n"); });
            ADD_FAILURE() << "updated without the lock";
        } catch (const CantivoError& e) {
            EXPECT_EQ(e.Message(), OpenError());
        }
        // Meanwhile the other updater makes its change, which stays.
        files.ReplaceAll(path, mine + "other's\r\n");
    }
    EXPECT_EQ(files.ReadAll(path), mine + "other's\r\n");
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"cantivolog.log"});
}

// A lock file that cannot be made, as in a folder that takes no new files, where making one
// answers "access denied"; the tries are counted.
class NoNewFilesLayer : public Win32FileLayer {
public:
    int lockTries = 0;

protected:
    FileHandle CreateLockFile(const std::wstring&) override {
        ++lockTries;
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FileHandle();
    }
};

TEST_F(FileLayerTest, AccessDeniedToTheLockIsWaitedForOnlyWhileALockFileIsThere) {
    struct Case {
        bool lockFileThere;
        std::string error;
    };
    const Case cases[] = {{false, CreateError()}, {true, OpenError()}};
    files.WriteAll(path, kOld);
    for (const Case& c : cases) {
        const std::string lockFile = path + ".lock";
        if (c.lockFileThere) files.WriteAll(lockFile, "");  // another user's, that this one may not open
        NoNewFilesLayer layer;
        // Where there is no lock file, the folder takes none: an update that changes nothing
        // reads the file without it.
        if (!c.lockFileThere) layer.Update(path, [](std::string_view) { return std::optional<std::string>(); });
        try {
            layer.Update(path, [](std::string_view old) { return Appending(old, "new\r\n"); });
            ADD_FAILURE() << c.lockFileThere;
        } catch (const CantivoError& e) {
            EXPECT_EQ(e.Message(), c.error) << c.lockFileThere;
        }
        // Tried again and again while a lock file is there; otherwise once for each update.
        if (c.lockFileThere) {
            EXPECT_GT(layer.lockTries, 2);
        } else {
            EXPECT_EQ(layer.lockTries, 2);
        }
        ::DeleteFileW(WideFromUtf8(lockFile).c_str());
        ExpectUnchanged();
    }
}

// An editor or a sync client that saves by delete, then rename, puts the whole file back just
// before the new one is moved in where there was none.
class FilePutBackLayer : public Win32FileLayer {
public:
    std::string putBack;

protected:
    bool MoveNew(const std::wstring& from, const std::wstring& to) override {
        if (!putBack.empty()) Win32FileLayer().WriteAll(Utf8FromWide(to), std::exchange(putBack, std::string()));
        return Win32FileLayer::MoveNew(from, to);
    }
};

TEST_F(FileLayerTest, AFileThatAppearsWhereThereWasNoneIsUpdatedNotReplaced) {
    FilePutBackLayer layer;
    layer.putBack = kOld;
    layer.Update(path, [](std::string_view old) { return Appending(old, "new\r\n"); });
    EXPECT_EQ(files.ReadAll(path), kOld + "new\r\n");
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"cantivolog.log"});
}

TEST_F(FileLayerTest, AnUpdateKeepsTheFilesAttributes) {
    const std::wstring wide = WideFromUtf8(path);
    for (DWORD attributes : {DWORD(FILE_ATTRIBUTE_HIDDEN), DWORD(FILE_ATTRIBUTE_SYSTEM),
                             DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)}) {
        ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
        files.WriteAll(path, kOld);
        ASSERT_TRUE(::SetFileAttributesW(wide.c_str(), attributes));
        files.Update(path, [](std::string_view old) { return Appending(old, "new\r\n"); });
        EXPECT_EQ(files.ReadAll(path), kOld + "new\r\n");
        EXPECT_EQ(::GetFileAttributesW(wide.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
                  attributes);
    }
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"cantivolog.log"});
}

struct Watch {
    std::wstring file;
    volatile LONG stop = 0;
    LONG missing = 0;
};

DWORD WINAPI CountMomentsWithoutTheFile(void* argument) {
    auto* watch = static_cast<Watch*>(argument);
    while (::InterlockedCompareExchange(&watch->stop, 0, 0) == 0) {
        if (::GetFileAttributesW(watch->file.c_str()) == INVALID_FILE_ATTRIBUTES) ++watch->missing;
    }
    return 0;
}

// Whoever looks at the file while it is being updated (an editor, a sync client, a copy of the
// program killed at that moment) finds it there, old or new.
TEST_F(FileLayerTest, AFileBeingUpdatedIsThereAtEveryMoment) {
    files.WriteAll(path, kOld);
    Watch watch{WideFromUtf8(path)};
    KernelObject watcher(::CreateThread(nullptr, 0, &CountMomentsWithoutTheFile, &watch, 0, nullptr));
    ASSERT_TRUE(watcher);
    const std::string line = "new\r\n";
    const size_t updates = 100;
    for (size_t update = 0; update < updates; ++update) {
        files.Update(path, [&](std::string_view old) { return Appending(old, line); });
    }
    ::InterlockedExchange(&watch.stop, 1);
    ::WaitForSingleObject(watcher.Get(), INFINITE);
    EXPECT_EQ(watch.missing, 0);
    EXPECT_EQ(files.ReadAll(path).size(), kOld.size() + updates * line.size());
}

// A file's access rights as SDDL text ("D:P(A;;FA;;;WD)..."); empty when they cannot be read.
std::wstring AccessRightsOf(const std::wstring& file) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                nullptr, &descriptor) != ERROR_SUCCESS) {
        return L"";
    }
    wchar_t* text = nullptr;
    std::wstring rights;
    if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                               &text, nullptr)) {
        rights = text;
        ::LocalFree(text);
    }
    ::LocalFree(descriptor);
    return rights;
}

bool SetAccessRights(const std::wstring& file, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL rights = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    bool set = ::GetSecurityDescriptorDacl(descriptor, &present, &rights, &defaulted) &&
               ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    set = set && ::SetNamedSecurityInfoW(const_cast<wchar_t*>(file.c_str()), SE_FILE_OBJECT, what, nullptr, nullptr,
                                         rights, nullptr) == ERROR_SUCCESS;
    ::LocalFree(descriptor);
    return set;
}

// A log shared between users by its own rights, or kept from them, stays so after a Save.
TEST_F(FileLayerTest, AnUpdateKeepsTheFilesAccessRights) {
    const std::wstring wide = WideFromUtf8(path);
    const wchar_t* const cases[] = {
        L"D:P(A;;FA;;;WD)",            // its own only: everyone may do anything
        L"D:P(A;;FA;;;SY)(A;;FR;;;BU)",  // its own only: users may read it
        L"D:(A;;FA;;;WD)",             // one of its own, with those of its folder
    };
    for (const wchar_t* rights : cases) {
        files.ReplaceAll(path, kOld);
        ASSERT_TRUE(SetAccessRights(wide, rights)) << Utf8FromWide(rights);
        const std::wstring before = AccessRightsOf(wide);
        ASSERT_FALSE(before.empty());
        files.Update(path, [](std::string_view old) { return Appending(old, "new\r\n"); });
        EXPECT_EQ(files.ReadAll(path), kOld + "new\r\n");
        EXPECT_EQ(Utf8FromWide(AccessRightsOf(wide)), Utf8FromWide(before));
        ASSERT_TRUE(SetAccessRights(wide, L"D:P(A;;FA;;;WD)"));
    }
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"cantivolog.log"});
}

// The id of a process that has ended.
DWORD EndedProcessId() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --hold \"no such file\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return 0;
    }
    ::WaitForSingleObject(process.hProcess, 20000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return process.dwProcessId;
}

TEST_F(FileLayerTest, AnUpdateRemovesTheTemporaryFilesOfUpdatesWhoseProcessEnded) {
    const DWORD ended = EndedProcessId();
    ASSERT_NE(ended, 0u);
    const std::wstring endedName = L"cantivolog.log." + std::to_wstring(ended) + L"-0.tmp";
    const std::vector<std::wstring> kept = {
        L"cantivolog.log." + std::to_wstring(::GetCurrentProcessId()) + L"-3.tmp",  // a running process's
        L"cantivolog.log.notes.tmp", L"other.log." + std::to_wstring(ended) + L"-0.tmp"};
    files.WriteAll(path, kOld);
    for (const std::wstring& name : kept) files.WriteAll(Utf8FromWide(folder_ + L"\\" + name), "x");
    files.WriteAll(Utf8FromWide(folder_ + L"\\" + endedName), "left by a save cut short");

    files.Update(path, [](std::string_view old) { return Appending(old, "new\r\n"); });
    std::vector<std::wstring> expected = kept;
    expected.emplace_back(L"cantivolog.log");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(), expected);
}

TEST_F(FileLayerTest, APathOfAnyLengthWorks) {
    std::wstring folder = folder_;
    std::vector<std::wstring> made;
    while (folder.size() < 300) {
        folder += L"\\a folder with a rather long name";
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr)) << ::GetLastError();
        made.push_back(folder);
    }
    const std::string longPath = Utf8FromWide(folder) + "\\cantivolog.log";
    files.Update(longPath, [](std::string_view old) { return Appending(old, "one\r\n"); });
    files.Update(longPath, [](std::string_view old) { return Appending(old, "two\r\n"); });
    EXPECT_EQ(files.ReadAll(longPath), "one\r\ntwo\r\n");
    ::DeleteFileW((L"\\\\?\\" + folder + L"\\cantivolog.log").c_str());
    for (; !made.empty(); made.pop_back()) ::RemoveDirectoryW((L"\\\\?\\" + made.back()).c_str());
}

}  // namespace
}  // namespace cantivo
