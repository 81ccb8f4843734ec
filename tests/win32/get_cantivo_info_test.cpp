#include "onair/get_cantivo_info.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "message_box_watcher.h"
#include "network.h"

namespace cantivo {

void PrintTo(const NowPlayingRecord& n, std::ostream* os) {
    *os << "{" << testing::PrintToString(n.TimeText) << ", " << testing::PrintToString(n.MainText) << ", "
        << testing::PrintToString(n.SubText) << "}";
}

namespace {

const NowPlayingRecord kPrevious{"07:00", "old main", "old sub"};

// A hidden top-level window to own the boxes, as the main window does.
class OwnerWindow {
public:
    OwnerWindow() : hwnd_(::CreateWindowExW(0, L"STATIC", L"Cantivo", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr)) {}
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    ~OwnerWindow() { ::DestroyWindow(hwnd_); }
    HWND Get() const { return hwnd_; }

private:
    HWND hwnd_;
};

class GetCantivoInfoTest : public testing::Test {
protected:
    bool Get(const std::string& page) { return GetCantivoInfo(owner.Get(), StationUrl("/pages/" + page), {}, nowPlaying); }

    std::string ErrorOf(const std::string& page) {
        try {
            Get(page);
        } catch (const CantivoError& e) {
            return e.Message();
        }
        return "no error";
    }

    OwnerWindow owner;
    NowPlayingRecord nowPlaying = kPrevious;
};

TEST_F(GetCantivoInfoTest, TakesTheSongFromThePage) {
    ASSERT_TRUE(Get("good.html"));
    EXPECT_EQ(nowPlaying, (NowPlayingRecord{"21:38", "\x96\xe9\x96\xbe\x82\xaf\x82\xcc\x83\x81\x83\x8d\x83\x66\x83\x42",
                                      "\x83\x4a\x83\x8d\x81\x45\x83\x49\x81\x5b\x83\x50\x83\x58\x83\x67\x83\x89"}));
}

TEST_F(GetCantivoInfoTest, PagesWithoutTheSongChangeNothing) {
    // no-marker.html has a time line, which must not leak into the record either.
    for (const char* page : {"no-marker.html", "missing.html"}) {
        EXPECT_FALSE(Get(page)) << page;
        EXPECT_EQ(nowPlaying, kPrevious) << page;
    }
}

TEST_F(GetCantivoInfoTest, ErrorsLeaveTheRecordAsItWas) {
    EXPECT_EQ(ErrorOf("bad-time.html"), "'25:61' is not a valid time");
    EXPECT_EQ(nowPlaying, kPrevious);
    EXPECT_EQ(ErrorOf("last-line.html"), "リストのインデックスが範囲を超えています (6)");
    EXPECT_EQ(nowPlaying, kPrevious);
}

TEST(OfflineTest, ShowsNotConnectedAndReturnsFalse) {
    OwnerWindow owner;
    NowPlayingRecord nowPlaying = kPrevious;
    MessageBoxWatcher watcher(L"not connected.");
    EXPECT_FALSE(GetCantivoInfo(owner.Get(), DefaultOnAirUrl(), {}, nowPlaying));
    watcher.Stop();
    EXPECT_TRUE(watcher.seen);
    EXPECT_EQ(watcher.text, L"Cantivo");
    EXPECT_EQ(watcher.owner, owner.Get());
    EXPECT_FALSE(watcher.hasIcon);
    EXPECT_EQ(nowPlaying, kPrevious);
}

TEST(OnAirUrlTest, IsTheStationsFixedPage) {
    std::string url = DefaultOnAirUrl();
    EXPECT_EQ(url.rfind("http://", 0), 0u);
    EXPECT_EQ(url.substr(url.size() - 24), "/PC/FM/KALO-FM/onair.asp");
    EXPECT_EQ(url.find_first_of("?#", 7), std::string::npos);
}

}  // namespace
}  // namespace cantivo
