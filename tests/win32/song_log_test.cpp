#include "songlog/song_log.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/error.h"
#include "hold_file.h"
#include "os/executable_path.h"
#include "os/kernel_handle.h"
#include "os/unicode.h"
#include "os/win32_file_layer.h"
#include "songlog/log_path_win32.h"

namespace cantivo {
namespace {

const NowPlayingRecord kSong{"21:38", "\x96\xe9\x96\xbe\x82\xaf", "\x83\x4a\x83\x8d"};

void SaveBesideTheProgram() { SaveCantivoLog(SystemFileLayer(), CantivoLogPath(), kSong, {}, LocalNow()); }

TEST(SongLogBesideTheProgramTest, LandsBesideTheExecutableWhateverTheWorkingDirectory) {
    std::string log = CantivoLogPath();
    std::string exe = ExecutablePath();
    ASSERT_EQ(log, exe.substr(0, exe.rfind('\\') + 1) + "cantivolog.log");
    ::DeleteFileW(WideFromUtf8(log).c_str());
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    ASSERT_TRUE(::SetCurrentDirectoryW(temp));
    SaveBesideTheProgram();
    EXPECT_TRUE(SystemFileLayer().IsFile(log));
    EXPECT_FALSE(SystemFileLayer().IsFile(Utf8FromWide(temp) + "cantivolog.log"));
    ::DeleteFileW(WideFromUtf8(log).c_str());
}

class HeldLogTest : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path = Utf8FromWide(temp) + "cantivolog-held-" + std::to_string(::GetTickCount()) + ".log";
        SystemFileLayer().WriteAll(path, kOld);
    }
    void TearDown() override {
        ::SetFileAttributesW(WideFromUtf8(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(WideFromUtf8(path).c_str());
    }

    std::string ErrorOfSave() {
        try {
            SaveCantivoLog(SystemFileLayer(), path, kSong, {}, LocalNow());
        } catch (const CantivoError& e) {
            return e.Message();
        }
        return "no error";
    }

    const std::string kOld = "\"12/01 10:00\",\"a\",\"b\"\r\n";
    std::string path;
};

TEST_F(HeldLogTest, ALogHeldByAnotherProcessCannotBeOpened) {
    {
        OtherProcessHolding other(path);
        ASSERT_TRUE(other.holds);
        EXPECT_EQ(ErrorOfSave(), "ファイル " + path + " は開けません");
    }
    EXPECT_EQ(SystemFileLayer().ReadAll(path), kOld);
}

TEST_F(HeldLogTest, AReadOnlyLogIsLeftAsItWas) {
    ::SetFileAttributesW(WideFromUtf8(path).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ErrorOfSave(), "ファイル " + path + " を作成できません");
    EXPECT_EQ(SystemFileLayer().ReadAll(path), kOld);
}

// Saves of different songs into one log, made at the same time by several savers (other
// instances of the program, another user's among them): every song is logged once.
constexpr int kSavers = 4;
constexpr int kSavesEach = 25;

struct Saver {
    std::string path;
    int number = 0;
};

NowPlayingRecord SongOf(int saver, int save) {
    return {"21:38", "saver " + std::to_string(saver), "song " + std::to_string(save)};
}

DWORD WINAPI SaveSongs(void* parameter) {
    const auto* saver = static_cast<const Saver*>(parameter);
    for (int save = 0; save < kSavesEach; ++save) {
        try {
            SaveCantivoLog(SystemFileLayer(), saver->path, SongOf(saver->number, save), {}, LocalNow());
        } catch (const CantivoError&) {
            return 1;
        }
    }
    return 0;
}

TEST_F(HeldLogTest, SavesMadeAtTheSameTimeLoseNoSong) {
    Saver savers[kSavers];
    std::vector<KernelObject> threads;
    for (int i = 0; i < kSavers; ++i) {
        savers[i] = {path, i};
        threads.emplace_back(::CreateThread(nullptr, 0, &SaveSongs, &savers[i], 0, nullptr));
        ASSERT_TRUE(threads.back());
    }
    for (const KernelObject& thread : threads) {
        ASSERT_EQ(::WaitForSingleObject(thread.Get(), 120000), WAIT_OBJECT_0);
        DWORD status = 1;
        ::GetExitCodeThread(thread.Get(), &status);
        EXPECT_EQ(status, 0u);
    }
    const std::string log = SystemFileLayer().ReadAll(path);
    ASSERT_EQ(log.rfind(kOld, 0), 0u);
    for (int i = 0; i < kSavers; ++i) {
        for (int save = 0; save < kSavesEach; ++save) {
            const NowPlayingRecord song = SongOf(i, save);
            const std::string field = ",\"" + song.MainText + "\",\"" + song.SubText + "\"\r\n";
            const size_t at = log.find(field);
            EXPECT_NE(at, std::string::npos) << song.MainText << " " << song.SubText;
            EXPECT_EQ(log.find(field, at + 1), std::string::npos) << song.MainText << " " << song.SubText;
        }
    }
    size_t lines = 0;
    for (char c : log) lines += c == '\n';
    EXPECT_EQ(lines, 1u + kSavers * kSavesEach);
}

// Run by the harness in a folder mounted read-only (wine_run.py --read-only-folder), which
// holds a log: no temporary file can be made beside the log, and the log cannot be replaced.
class ReadOnlyFolderTest : public testing::Test {
protected:
    void SetUp() override {
        const char* folder = std::getenv("CANTIVO_READONLY_FOLDER");
        ASSERT_NE(folder, nullptr) << "run by the runner with --read-only-folder (tests/win32/CMakeLists.txt)";
        folder_ = folder;
        path = folder_ + "\\cantivolog.log";
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAW found{};
        HANDLE search = ::FindFirstFileW(WideFromUtf8(folder_ + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            std::string name = Utf8FromWide(found.cFileName);
            if (name != "." && name != "..") names.push_back(name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
        return names;
    }

    std::string folder_;
    std::string path;
};

TEST_F(ReadOnlyFolderTest, ASaveIntoAFolderThatTakesNoNewFilesChangesNothing) {
    const std::string old = SystemFileLayer().ReadAll(path);
    ASSERT_FALSE(old.empty());
    std::string error = "no error";
    try {
        SaveCantivoLog(SystemFileLayer(), path, kSong, {}, LocalNow());
    } catch (const CantivoError& e) {
        error = e.Message();
    }
    EXPECT_TRUE(error == "ファイル " + path + " を作成できません" || error == "ファイル " + path + " は開けません") << error;
    EXPECT_EQ(SystemFileLayer().ReadAll(path), old);
    EXPECT_EQ(Names(), std::vector<std::string>{"cantivolog.log"});
}

}  // namespace
}  // namespace cantivo
