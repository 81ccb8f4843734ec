#include "onair/page_download.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "network.h"

namespace cantivo {
namespace {

class PageDownloadTest : public testing::Test {
protected:
    void SetUp() override {
    }

    std::string Fetch(const std::string& path) {
        MemoryStream stream;
        EXPECT_TRUE(GetHtmlSource(stream, StationUrl(path)));
        EXPECT_EQ(stream.Position(), 0u);
        return std::string(stream.Bytes());
    }
};

std::string Pattern(size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

TEST_F(PageDownloadTest, SendsAPlainGetOfTheAbsoluteUrlWithTheUserAgent) {
    std::string request = Fetch("/test/echo");
    EXPECT_TRUE(std::regex_search(request, std::regex(R"(^GET http://station\.test(:80)?/test/echo HTTP/1\.[01]\r\n)")))
        << request;
    EXPECT_NE(request.find("\r\nUser-Agent: Cantivo/0.1\r\n"), std::string::npos) << request;
    // A caching proxy on the way is asked for the page as it is now, not for the copy it keeps.
    EXPECT_NE(request.find("\r\nPragma: no-cache\r\n"), std::string::npos) << request;
    EXPECT_EQ(request.find("Cookie"), std::string::npos) << request;
}

TEST_F(PageDownloadTest, EveryGetReachesTheServer) {
    std::string first = Fetch("/test/counter");
    std::string second = Fetch("/test/counter");
    ASSERT_EQ(first.rfind("count ", 0), 0u);
    EXPECT_EQ(std::stoi(second.substr(6)), std::stoi(first.substr(6)) + 1);
}

TEST_F(PageDownloadTest, BodiesArriveWholeWithTheirZeroBytes) {
    for (size_t size : {size_t(0), size_t(1), size_t(1024), size_t(1025), size_t(2 * 1025), size_t(3 * 1025 + 7),
                        size_t(300000)}) {
        EXPECT_EQ(Fetch("/test/bytes/" + std::to_string(size)), Pattern(size)) << size;
    }
    EXPECT_EQ(Fetch("/test/empty"), "");
}

TEST_F(PageDownloadTest, APageOverTheSizeCapIsAFailedDownloadThatLeavesTheStream) {
    EXPECT_EQ(Fetch("/test/bytes/" + std::to_string(kMaxPageBytes)).size(), kMaxPageBytes);
    for (const char* path : {"/test/bytes/4194305", "/test/endless"}) {
        MemoryStream stream;
        EXPECT_FALSE(GetHtmlSource(stream, StationUrl(path))) << path;
        EXPECT_EQ(stream.Size(), 0u) << path;
    }
    static_assert(kMaxPageBytes == 4194304);
}

TEST_F(PageDownloadTest, ErrorPagesAreDeliveredAsThePage) {
    EXPECT_EQ(Fetch("/test/status/404"), "<html>status 404 page</html>");
    EXPECT_EQ(Fetch("/test/status/500"), "<html>status 500 page</html>");
}

TEST_F(PageDownloadTest, AConnectionLostPartWayIsAFailedDownload) {
    MemoryStream stream;
    EXPECT_FALSE(GetHtmlSource(stream, StationUrl("/test/cut")));
    // A good page comes whole again afterwards.
    EXPECT_EQ(Fetch("/test/bytes/4000"), Pattern(4000));
}

TEST_F(PageDownloadTest, RedirectionsAreFollowedTenTimesAtMost) {
    EXPECT_EQ(Fetch("/test/redirect/1"), "arrived");
    EXPECT_EQ(Fetch("/test/redirect/10"), "arrived");
    MemoryStream stream;
    EXPECT_FALSE(GetHtmlSource(stream, StationUrl("/test/redirect/11")));
    int before = std::stoi(Fetch("/test/redirect-loop/count").substr(6));
    EXPECT_FALSE(GetHtmlSource(stream, StationUrl("/test/redirect-loop")));
    // The first request and ten redirections, then no more.
    EXPECT_EQ(std::stoi(Fetch("/test/redirect-loop/count").substr(6)), before + 11);
}

// How many requests of a path the station has counted, once a download given up on earlier
// has ended and another can be made.
int StationCount(const std::string& countPath) {
    for (int tries = 0; tries < 200; ++tries) {
        MemoryStream stream;
        if (GetHtmlSource(stream, StationUrl(countPath))) return std::stoi(std::string(stream.Bytes()).substr(6));
        ::Sleep(100);
    }
    return -1;
}

TEST_F(PageDownloadTest, NoRedirectionIsFollowedPastTheTimeLimit) {
    const int before = StationCount("/test/slow-redirect-loop/count");
    MemoryStream stream;
    // Each redirection is answered a second late: at most three requests start within 2.5 s.
    EXPECT_FALSE(GetHtmlSource(stream, StationUrl("/test/slow-redirect-loop"), 2500));
    EXPECT_EQ(stream.Size(), 0u);
    const int requests = StationCount("/test/slow-redirect-loop/count") - before;
    EXPECT_GE(requests, 1);
    EXPECT_LE(requests, 3);
}

TEST_F(PageDownloadTest, AServerThatStopsSendingIsGivenUp) {
    MemoryStream stream;
    EXPECT_FALSE(GetHtmlSource(stream, StationUrl("/test/stall")));
}

TEST(NoProxyTest, AnAddressThatCannotBeReachedGivesFalseAndLeavesTheStream) {
    MemoryStream stream;
    stream.Write("kept", 4);
    EXPECT_FALSE(GetHtmlSource(stream, "http://127.0.0.1:1/PC/FM/KALO-FM/onair.asp"));
    EXPECT_FALSE(GetHtmlSource(stream, "not a url"));
    EXPECT_EQ(stream.Bytes(), "kept");
    EXPECT_EQ(stream.Position(), 4u);
}

TEST(InternetConnectedTest, FollowsTheNetwork) {
    ASSERT_FALSE(TestNetwork().empty()) << "run by the runner (tests/win32/CMakeLists.txt)";
    EXPECT_EQ(InternetConnected(), TestNetwork() != "offline");
}

}  // namespace
}  // namespace cantivo
