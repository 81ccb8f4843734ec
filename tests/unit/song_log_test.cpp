#include "songlog/song_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "base/error.h"
#include "log_folder_test.h"
#include "songlog/field_split.h"

namespace cantivo {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

// Saves into a fresh folder, and what they leave there.
class SongLogTest : public LogFolderTest {
protected:
    size_t FilesInFolder() const { return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {})); }

    std::string ErrorOfSave(FileLayer& layer) {
        try {
            Save(kSong, &layer);
        } catch (const CantivoError& e) {
            return e.Message();
        }
        return "no error";
    }
};

TEST_F(SongLogTest, FirstSaveCreatesTheFileWithOneLine) {
    Save();
    EXPECT_EQ(Read(), kSongLine);
}

TEST_F(SongLogTest, TheSameSongIsWrittenOnce) {
    Save();
    Save();
    EXPECT_EQ(Read(), kSongLine);
    // The time of the song plays no part.
    Save(NowPlayingRecord{"07:00", kSong.MainText, kSong.SubText});
    EXPECT_EQ(Read(), kSongLine);
}

TEST_F(SongLogTest, TheSameMainTextWithAnotherSubTextIsWritten) {
    Save();
    Save(NowPlayingRecord{"21:45", kSong.MainText, "other"});
    EXPECT_EQ(Read(), kSongLine + "\"12/09 21:45\",\"\x96\xe9\x96\xbe\x82\xaf\",\"other\"\r\n");
}

TEST_F(SongLogTest, RecordTakesTheLocalesDateSeparatorAndAnEmptyTime) {
    LocaleTexts locale;
    locale.dateSeparator = '-';
    EXPECT_EQ(MakeLogRecord({"", "m", "s"}, locale, {2026, 1, 2, 0, 0, 0, 0}), "\"01-02 \",\"m\",\"s\"");
    locale.dateSeparator = '\0';
    EXPECT_EQ(MakeLogRecord({"", "m", "s"}, locale, {2026, 1, 2, 0, 0, 0, 0}), "\"0102 \",\"m\",\"s\"");
    Save(NowPlayingRecord{"", "m", "s"});
    EXPECT_EQ(Read(), "\"12/09 \",\"m\",\"s\"\r\n");
}

TEST_F(SongLogTest, OldLinesKeepTheirBytesAndGetCrLf) {
    Write("one\rtwo\nthree\n\rfour");
    Save();
    EXPECT_EQ(Read(), "one\r\ntwo\r\nthree\r\n\r\nfour\r\n" + kSongLine);
}

TEST_F(SongLogTest, LinesWithTooFewFieldsAreNotTheSong) {
    // An empty line, one field, two fields, and two fields whose second is the main text.
    const std::string odd = "\r\nlonely\r\n\"12/01\",\"x\"\r\n\"12/01\",\"\x96\xe9\x96\xbe\x82\xaf\"\r\n";
    Write(odd);
    Save();
    EXPECT_EQ(Read(), odd + kSongLine);
    Save();
    EXPECT_EQ(Read(), odd + kSongLine);
}

TEST_F(SongLogTest, QuotesInTheTextsAreDoubledSoTheSongIsKnownAgain) {
    const NowPlayingRecord quoted{"21:38", "Say \"Hi\", \"you\"", "\"Band\""};
    Save(quoted);
    const std::string line = "\"12/09 21:38\",\"Say \"\"Hi\"\", \"\"you\"\"\",\"\"\"Band\"\"\"\r\n";
    EXPECT_EQ(Read(), line);
    LineList fields;
    SplitFields(line.substr(0, line.size() - 2), fields);
    EXPECT_EQ(fields.Lines(), (std::vector<std::string>{"12/09 21:38", quoted.MainText, quoted.SubText}));
    Save(quoted);
    EXPECT_EQ(Read(), line);
}

TEST_F(SongLogTest, OldLinesWithBareQuotesAreKeptAsTheyAre) {
    const std::string old = "\"12/01 10:00\",\"Say \"Hi\"\",\"x\"\r\n";
    Write(old);
    Save(NowPlayingRecord{"21:38", "Say \"Hi\"", "x"});
    EXPECT_EQ(Read().substr(0, old.size()), old);
}

TEST_F(SongLogTest, NothingAfterAZeroByteIsLost) {
    const std::string old = "\"12/01 10:00\",\"a\",\"b\"\r\nbro\0ken\r\n\"12/02 11:00\",\"c\",\"d\"\r\n"s;
    Write(old);
    Save(NowPlayingRecord{"12:00", "a", "b"});  // on a line before the zero byte
    EXPECT_EQ(Read(), old);
    Save(NowPlayingRecord{"12:00", "c", "d"});  // on a line after it
    EXPECT_EQ(Read(), old);
    Save();
    EXPECT_EQ(Read(), old + kSongLine);
}

TEST_F(SongLogTest, AFolderInTheLogsPlaceIsAnErrorAndStays) {
    // The log's place is taken by a folder: it is no file, and no file can be put there.
    fs::create_directory(path);
    EXPECT_EQ(ErrorOfSave(files), "ファイル " + path + " を作成できません");
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(SongLogTest, AFolderWhereTheFileCannotBeCreated) {
    path = (folder / "no such folder" / "cantivolog.log").string();
    EXPECT_EQ(ErrorOfSave(files), "ファイル " + path + " を作成できません");
}

// The log that the save finds and the faults that meet its write.
class FaultyFileLayer : public PosixFileLayer {
public:
    enum class Fault { None, Unreadable, ShortWrite, Flush, Rename };
    explicit FaultyFileLayer(Fault fault) : fault_(fault) {}

    std::string ReadAll(const std::string& file) override {
        if (fault_ == Fault::Unreadable) throw CannotOpenFileError(file);
        return PosixFileLayer::ReadAll(file);
    }

protected:
    long WriteSome(int fd, const char* bytes, size_t count) override {
        if (fault_ != Fault::ShortWrite) return PosixFileLayer::WriteSome(fd, bytes, count);
        if (wrote_) return 0;  // the disk is full after the first half
        wrote_ = true;
        return PosixFileLayer::WriteSome(fd, bytes, count / 2);
    }
    bool Flush(int fd) override { return fault_ != Fault::Flush && PosixFileLayer::Flush(fd); }
    bool Rename(const std::string& from, const std::string& to) override {
        return fault_ != Fault::Rename && PosixFileLayer::Rename(from, to);
    }

private:
    Fault fault_;
    bool wrote_ = false;
};

TEST_F(SongLogTest, AFailedSaveLeavesTheOldLogByteForByte) {
    using Fault = FaultyFileLayer::Fault;
    const std::string old = "\"12/01 10:00\",\"a\",\"b\"\r\n\r\nodd\0line\n"s;
    const std::pair<Fault, std::string> cases[] = {
        {Fault::Unreadable, "ファイル " + path + " は開けません"},
        {Fault::ShortWrite, "ストリームへの書き込みエラー"},
        {Fault::Flush, "ストリームへの書き込みエラー"},
        {Fault::Rename, "ファイル " + path + " を作成できません"},
    };
    Write(old);
    for (const auto& [fault, message] : cases) {
        FaultyFileLayer layer(fault);
        EXPECT_EQ(ErrorOfSave(layer), message);
        EXPECT_EQ(Read(), old);
        EXPECT_EQ(FilesInFolder(), 1u) << "a temporary file was left behind";
    }
}

TEST(LogPathTest, BesideTheExecutable) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Program Files\\Cantivo\\cantivo.exe", "C:\\Program Files\\Cantivo\\cantivolog.log"},
        {"C:\\cantivo.exe", "C:\\cantivolog.log"},
        {"C:cantivo.exe", "C:cantivolog.log"},
        {"\\\\server\\share\\cantivo.exe", "\\\\server\\share\\cantivolog.log"},
        {"C:\\\xe3\x82\xbd\xe3\x83\x95\xe3\x83\x88\\cantivo.exe", "C:\\\xe3\x82\xbd\xe3\x83\x95\xe3\x83\x88\\cantivolog.log"},
        {"cantivo.exe", "cantivolog.log"},
    };
    for (const auto& [exe, log] : cases) EXPECT_EQ(LogPathBeside(exe), log);
}

}  // namespace
}  // namespace cantivo
