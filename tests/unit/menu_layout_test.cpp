#include "ui/menu_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cantivo {
namespace {

// The menu as one string: captions joined by '|', separators as '-'.
std::string Shown(const std::vector<MenuItemView>& items) {
    std::string shown;
    for (const MenuEntry& entry : LayOutMenu(items)) {
        if (!shown.empty()) shown += "|";
        shown += entry.separator ? "-" : entry.caption;
    }
    return shown;
}

TEST(MenuLayoutTest, TheTrayMenuInItsTwoStates) {
    EXPECT_EQ(Shown({{"取得(&G)", true}, {"保存(&S)", false}, {"-", true}, {"終了(&X)", true}}), "取得(&G)|-|終了(&X)");
    EXPECT_EQ(Shown({{"取得(&G)", false}, {"保存(&S)", true}, {"-", true}, {"終了(&X)", true}}), "保存(&S)|-|終了(&X)");
}

TEST(MenuLayoutTest, SeparatorsAtTheEdgesOrDoubledAreDropped) {
    const std::pair<std::vector<MenuItemView>, std::string> cases[] = {
        {{{"-"}, {"&A"}, {"-"}}, "&A"},
        {{{"&A"}, {"-"}, {"-"}, {"&B"}}, "&A|-|&B"},
        {{{"&A"}, {"-"}, {"&B", false}, {"-"}, {"&C"}}, "&A|-|&C"},
        {{{"&A", false}, {"-"}, {"&B"}}, "&B"},
        {{{"-"}, {"-"}}, ""},
        {{}, ""},
    };
    for (const auto& [items, shown] : cases) EXPECT_EQ(Shown(items), shown);
}

TEST(MenuLayoutTest, MissingAndDoubledAccessKeysGetTheFirstFreeOne) {
    const std::pair<std::vector<MenuItemView>, std::string> cases[] = {
        {{{"Get"}, {"Exit"}}, "Get(&1)|Exit(&2)"},
        {{{"&Get"}, {"&go"}}, "&Get|go(&1)"},
        {{{"&1 one"}, {"two 2"}}, "&1 one|two &2"},
        {{{"Save && Quit"}, {"&Save"}}, "Save && Quit(&1)|&Save"},
        {{{"&1"}, {"&2"}, {"&3"}, {"&4"}, {"&5"}, {"&6"}, {"&7"}, {"&8"}, {"&9"}, {"&0"}, {"a"}},
         "&1|&2|&3|&4|&5|&6|&7|&8|&9|&0|&a"},
    };
    for (const auto& [items, shown] : cases) EXPECT_EQ(Shown(items), shown);
}

}  // namespace
}  // namespace cantivo
