#include "onair/redirection.h"

#include <gtest/gtest.h>

namespace cantivo {
namespace {

TEST(RedirectionTest, NeverFromHttpsToAnythingElse) {
    struct Case {
        const char* from;
        const char* to;
        bool allowed;
    };
    const Case cases[] = {
        {"http://www.kalo-fm.example/a", "http://www.kalo-fm.example/b", true},
        {"http://www.kalo-fm.example/a", "https://www.kalo-fm.example/a", true},
        {"https://www.kalo-fm.example/a", "https://other.example/b", true},
        {"https://www.kalo-fm.example/a", "HTTPS://www.kalo-fm.example/b", true},
        {"https://www.kalo-fm.example/a", "http://www.kalo-fm.example/a", false},
        {"HTTPS://www.kalo-fm.example/a", "http://www.kalo-fm.example/a", false},
        {"https://www.kalo-fm.example/a", "ftp://www.kalo-fm.example/a", false},
        {"https://www.kalo-fm.example/a", "", false},
        {"https://www.kalo-fm.example/a", "https", false},
        {"", "http://www.kalo-fm.example/a", true},
    };
    for (const Case& c : cases) EXPECT_EQ(RedirectionAllowed(c.from, c.to), c.allowed) << c.from << " -> " << c.to;
}

}  // namespace
}  // namespace cantivo
