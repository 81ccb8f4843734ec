#include "songlog/field_split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cantivo {
namespace {

using namespace std::string_literals;
using Fields = std::vector<std::string>;

TEST(FieldSplitTest, SplitsByTheLogRule) {
    const std::pair<std::string, Fields> cases[] = {
        {"a,b", {"a", "b"}},
        {"a b", {"a", "b"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {"a, ", {"a"}},
        {",a", {"", "a"}},
        {"\"a,\"\"b\"", {"a,\"b"}},
        {"\"ab\"cd,e", {"ab", "cd", "e"}},
        {"", {}},
        {"  \t", {}},
        {"  a ,  b  ", {"a", "b"}},
        {"\"a b\",\"c\"", {"a b", "c"}},
        {"\"\"", {""}},
        {"\"\",\"\",\"\"", {"", "", ""}},
        // No closing quote: the field runs to the end and keeps its bytes.
        {"\"a,b", {"a,b"}},
        {"\"a\"\"b, c ", {"a\"b, c "}},
        {"a\"b,c", {"a\"b", "c"}},
        {"\x82\xa0\x81\x40,\x83\x5c", {"\x82\xa0\x81\x40", "\x83\x5c"}},
        {"a\0b,c"s, {"a\0b"s, "c"}},
        {"\"12/09 21:38\",\"main\",\"sub\"", {"12/09 21:38", "main", "sub"}},
    };
    LineList fields;
    for (const auto& [line, expected] : cases) {
        fields.Append("left over");
        SplitFields(line, fields);
        EXPECT_EQ(fields.Lines(), expected) << testing::PrintToString(line);
    }
}

}  // namespace
}  // namespace cantivo
