#include "text/posix_file_layer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "songlog/song_log.h"

// The native builds' file layer replaces a file in one step, whenever its process dies: a save
// through it is killed part way and the file is looked at.

namespace cantivo {
namespace {

namespace fs = std::filesystem;

const LocalDateTime kDecember9{2026, 12, 9, 22, 5, 0, 0};
const NowPlayingRecord kSong{"21:38", "\x96\xe9\x96\xbe\x82\xaf", "\x83\x4a\x83\x8d"};
const std::string kSongLine = "\"12/09 21:38\",\"\x96\xe9\x96\xbe\x82\xaf\",\"\x83\x4a\x83\x8d\"\r\n";

// A fresh folder for each test, removed afterwards, and a log in it saved through the layer.
class PosixFileLayerTest : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("cantivo-posix-" + std::to_string(::getpid()) + "-" +
                                              testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        path = (folder / "cantivolog.log").string();
    }
    void TearDown() override { fs::remove_all(folder); }

    void Write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::string Read() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void Save() { SaveCantivoLog(files, path, kSong, LocaleTexts{}, kDecember9); }

    PosixFileLayer files;
    fs::path folder;
    std::string path;
};

// A child process saves into a large log and is killed part way, at moments spread over two
// whole saves: whenever it dies, the log holds all of the old content or all of the new.
TEST_F(PosixFileLayerTest, ASaveKilledAtAnyMomentLeavesTheOldLogOrTheNewOne) {
    std::string old;
    for (int i = 0; i < 200000; ++i) old += "\"12/01 10:00\",\"Title " + std::to_string(i) + "\",\"Artist\"\r\n";
    Write(old);
    const auto began = std::chrono::steady_clock::now();
    Save();
    const auto wholeSave = std::chrono::steady_clock::now() - began;
    const std::string saved = Read();
    ASSERT_EQ(saved, old + kSongLine);

    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        Write(old);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                Save();
            } catch (...) {
            }
            ::_exit(0);
        }
        std::this_thread::sleep_for(wholeSave * 2 * round / (kRounds - 1));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string log = Read();
        EXPECT_TRUE(log == old || log == saved) << "round " << round << ": " << log.size() << " bytes";
    }
}

}  // namespace
}  // namespace cantivo
