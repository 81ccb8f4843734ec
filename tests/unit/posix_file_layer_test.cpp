#include "base/posix_file_layer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "log_folder_test.h"

// The native builds' file layer replaces a file in one step, whenever its process dies: a save
// through it is killed part way and the file is looked at.

namespace cantivo {
namespace {

using PosixFileLayerTest = LogFolderTest;

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
