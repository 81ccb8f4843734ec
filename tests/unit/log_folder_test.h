#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/posix_file_layer.h"
#include "songlog/song_log.h"

namespace cantivo {

// The song every save of these tests logs, and the line it makes on 9 December.
inline const LocalDateTime kDecember9{2026, 12, 9, 22, 5, 0, 0};
inline const NowPlayingRecord kSong{"21:38", "\x96\xe9\x96\xbe\x82\xaf", "\x83\x4a\x83\x8d"};
inline const std::string kSongLine = "\"12/09 21:38\",\"\x96\xe9\x96\xbe\x82\xaf\",\"\x83\x4a\x83\x8d\"\r\n";

// A fresh folder for each test, removed afterwards, with the log's path in it; saves go
// through the native file layer unless a test gives another.
class LogFolderTest : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() / ("cantivo-" + std::string(test->test_suite_name()) + "-" +
                                                          std::to_string(::getpid()) + "-" + test->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        path = (folder / "cantivolog.log").string();
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    void Write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::string Read() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void Save(const NowPlayingRecord& song = kSong, FileLayer* layer = nullptr) {
        SaveCantivoLog(layer ? *layer : files, path, song, LocaleTexts{}, kDecember9);
    }

    PosixFileLayer files;
    std::filesystem::path folder;
    std::string path;
};

}  // namespace cantivo
