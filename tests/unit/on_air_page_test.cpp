#include "onair/on_air_page.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/find_cut.h"
#include "base/line_list.h"
#include "onair/time_of_day.h"

namespace cantivo {

void PrintTo(const NowPlayingRecord& n, std::ostream* os) {
    *os << "{" << testing::PrintToString(n.TimeText) << ", " << testing::PrintToString(n.MainText) << ", "
        << testing::PrintToString(n.SubText) << "}";
}

namespace {

using namespace std::string_literals;

// Lines laid out as the station's page lays them out: the text sits between the marker's
// two trailing bytes and a fixed-length tail.
std::string TimeLine(const std::string& time) { return "<td class=\"xxs2\">" + time + "</td>" + std::string(14, ' '); }
std::string MainLine(const std::string& text) { return "<td class=\"xxs3\">" + text + "</td>" + std::string(5, ' '); }
std::string SubLine(const std::string& text) { return text + "</td></tr>" + std::string(10, ' '); }

std::string Page(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
    std::string page;
    for (const std::string& line : lines) page += line + end;
    return page;
}

const NowPlayingRecord kPrevious{"07:00", "old main", "old sub"};

OnAirScan Scan(const std::string& page, const NowPlayingRecord& previous = kPrevious) {
    return ScanOnAirPage(page, previous, LocaleTexts{});
}

std::string ErrorOf(const std::string& page) {
    try {
        Scan(page);
    } catch (const CantivoError& e) {
        return e.Message();
    }
    return "no error";
}

const std::vector<std::string> kGoodLines = {
    "<html>", TimeLine("21:38"), "<tr>", MainLine("\x8c\x8e\x82\xcc\x89\xb9"), SubLine("Artist \x83\x5c"), "</html>",
};

TEST(OnAirPageTest, CutsTimeMainAndSubTextWhateverTheLineEnds) {
    for (std::string end : {"\r\n", "\n", "\r"}) {
        OnAirScan scan = Scan(Page(kGoodLines, end));
        EXPECT_TRUE(scan.found);
        EXPECT_EQ(scan.nowPlaying, (NowPlayingRecord{"21:38", "\x8c\x8e\x82\xcc\x89\xb9", "Artist \x83\x5c"}));
    }
}

TEST(OnAirPageTest, PagesWithoutTheMainMarkerFindNothing) {
    const std::string pages[] = {
        "",
        "\0"s + Page(kGoodLines),
        Page({"<html>", TimeLine("21:38"), "</html>"}).substr(0, 8) + "\0"s + Page(kGoodLines),
        Page({"<td class=\"XXS3\">Loud</td>           ", SubLine("x")}),
        Page({"no markers", "at all"}),
        "\r\n\r\n\n\r",
    };
    for (const std::string& page : pages) {
        OnAirScan scan = Scan(page);
        EXPECT_FALSE(scan.found);
        EXPECT_EQ(scan.nowPlaying, kPrevious);
    }
}

TEST(OnAirPageTest, BytesAfterAZeroByteAreNeverSeen) {
    std::string page = Page({TimeLine("10:00"), MainLine("first")}) + SubLine("sub") + "\0"s + "\r\n" + MainLine("x");
    OnAirScan scan = Scan(page);
    EXPECT_EQ(scan.nowPlaying, (NowPlayingRecord{"10:00", "first", "sub"}));
    EXPECT_EQ(ErrorOf(Page({MainLine("first")}) + "\0"s + SubLine("sub")), "リストのインデックスが範囲を超えています (2)");
}

TEST(OnAirPageTest, FirstMainLineWinsAndTheLastTimeLineBeforeIt) {
    OnAirScan scan = Scan(Page({TimeLine("08:00"), TimeLine("9:15 PM"), MainLine("one"), SubLine("uno"),
                                TimeLine("23:00"), MainLine("two"), SubLine("dos")}));
    EXPECT_EQ(scan.nowPlaying, (NowPlayingRecord{"21:15", "one", "uno"}));
}

TEST(OnAirPageTest, TimeLineAfterTheMainLineIsNeverRead) {
    OnAirScan scan = Scan(Page({MainLine("one"), SubLine("uno"), TimeLine("not a time")}));
    EXPECT_TRUE(scan.found);
    EXPECT_EQ(scan.nowPlaying, (NowPlayingRecord{"07:00", "one", "uno"}));
}

TEST(OnAirPageTest, PageWithoutTimeLineKeepsThePreviousTime) {
    EXPECT_EQ(Scan(Page({MainLine("one"), SubLine("uno")})).nowPlaying.TimeText, "07:00");
    EXPECT_EQ(Scan(Page({MainLine("one"), SubLine("uno")}), NowPlayingRecord{}).nowPlaying.TimeText, "");
}

TEST(OnAirPageTest, LineWithBothMarkersReadsItsTimeFirst) {
    // Both cuts are as long as the whole line less their tails, whatever their start.
    std::string line = "xxs2  12:34xxs3  main text" + std::string(15, '.');
    OnAirScan scan = Scan(Page({line, SubLine("sub")}));
    ASSERT_TRUE(scan.found);
    EXPECT_EQ(scan.nowPlaying, (NowPlayingRecord{"12:34", "main text.....", "sub"}));
    EXPECT_EQ(ErrorOf(Page({"xxs2  12:34xxs3  main text" + std::string(16, '.'), SubLine("sub")})),
              "'12:34x' is not a valid time");
}

TEST(OnAirPageTest, ShortLinesGiveEmptyTexts) {
    const std::string shortMain[] = {"xxs3", "<p class=xxs3>", std::string(22, '.') + "xxs3..", "xxs3" + std::string(23, 'm')};
    for (const std::string& line : shortMain) {
        OnAirScan scan = Scan(Page({line, "short sub", "x"}));
        EXPECT_TRUE(scan.found);
        EXPECT_EQ(scan.nowPlaying.MainText, "") << line;
        EXPECT_EQ(scan.nowPlaying.SubText, "");
    }
    EXPECT_EQ(Scan(Page({"xxs3" + std::string(24, 'm'), "", "x"})).nowPlaying.MainText, "m");
    EXPECT_EQ(Scan(Page({MainLine("a"), std::string(21, 's')})).nowPlaying.SubText, "s");
}

TEST(OnAirPageTest, EmptySubLineStillCounts) {
    OnAirScan scan = Scan(Page({MainLine("one"), ""}));
    EXPECT_TRUE(scan.found);
    EXPECT_EQ(scan.nowPlaying.SubText, "");
    EXPECT_TRUE(Scan(MainLine("one") + "\n\r").found);
}

TEST(OnAirPageTest, MainMarkerOnTheLastLineIsAListIndexError) {
    struct Case {
        std::string page;
        int index;
    } cases[] = {
        {MainLine("one"), 2},
        {MainLine("one") + "\r\n", 2},
        {Page({"a", "b", MainLine("one")}), 6},
        {Page({"a", "b", MainLine("one")}, "\r"), 6},
        {"a\n\r" + MainLine("one") + "\n", 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorOf(c.page), "リストのインデックスが範囲を超えています (" + std::to_string(c.index) + ")");
    }
}

TEST(OnAirPageTest, BadTimeBeforeTheMainLineIsAnError) {
    EXPECT_EQ(ErrorOf(Page({TimeLine("25:00"), MainLine("one"), SubLine("uno")})), "'25:00' is not a valid time");
    EXPECT_EQ(ErrorOf(Page({TimeLine(""), MainLine("one"), SubLine("uno")})), "'' is not a valid time");
    // Time lines are read even where no main marker follows.
    EXPECT_EQ(ErrorOf(Page({TimeLine("8:00"), TimeLine("PM")})), "'PM' is not a valid time");
}

// The page read literally: split, join with CR LF, double every CR, split again, and walk the
// entries. The scan must agree with it on every page.
OnAirScan LiteralScan(const std::string& page, const NowPlayingRecord& previous) {
    LineList list;
    list.SetText(page);
    std::string doubled;
    for (char c : list.GetText()) doubled += c == '\r' ? "\r\n"s : std::string(1, c);
    list.SetText(doubled);
    OnAirScan scan{false, previous};
    LocaleTexts locale;
    for (int i = 0; i < list.Count(); ++i) {
        const std::string& entry = list.Get(i);
        long long p3 = Find("xxs3", entry);
        long long p2 = Find("xxs2", entry);
        long long length = static_cast<long long>(entry.size());
        if (p2 != 0) {
            std::string t(Cut(entry, p2 + 6, length - 36));
            scan.nowPlaying.TimeText = FormatHourMinute(ReadTimeOfDay(t, locale), locale);
        }
        if (p3 != 0) {
            scan.nowPlaying.MainText = std::string(Cut(entry, p3 + 6, length - 27));
            const std::string& sub = list.Get(i + 2);
            scan.nowPlaying.SubText = std::string(Cut(sub, 1, static_cast<long long>(sub.size()) - 20));
            scan.found = true;
            break;
        }
    }
    return scan;
}

std::string Outcome(const std::string& page, OnAirScan (*scan)(const std::string&, const NowPlayingRecord&)) {
    try {
        OnAirScan result = scan(page, kPrevious);
        return (result.found ? "found|" : "none|") + result.nowPlaying.TimeText + "|" + result.nowPlaying.MainText + "|" +
               result.nowPlaying.SubText;
    } catch (const CantivoError& e) {
        return "error|" + e.Message();
    }
}

OnAirScan FastScan(const std::string& page, const NowPlayingRecord& previous) { return ScanOnAirPage(page, previous, {}); }

TEST(OnAirPageTest, AgreesWithTheLiteralReadingOnRandomPages) {
    const std::string pieces[] = {"xxs2", "xxs3", "\r", "\n", "\r\n", "\0"s, " ", "12:34", "9:5", " PM",
                                  "abc", std::string(20, '-'), std::string(30, '='), "x", "\x82\xa0"};
    std::mt19937 random(20261209);
    int found = 0, errors = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string page;
        int count = static_cast<int>(random() % 24);
        for (int i = 0; i < count; ++i) page += pieces[random() % std::size(pieces)];
        std::string literal = Outcome(page, LiteralScan);
        ASSERT_EQ(Outcome(page, FastScan), literal) << testing::PrintToString(page);
        found += literal.rfind("found", 0) == 0;
        errors += literal.rfind("error", 0) == 0;
    }
    // The random pages reach every outcome.
    EXPECT_GT(found, 100);
    EXPECT_GT(errors, 100);
}

}  // namespace
}  // namespace cantivo
