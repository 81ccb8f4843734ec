#pragma once

#include <string>
#include <vector>

namespace cantivo {

// One item of a popup menu's table, as the layout sees it. A caption of a single hyphen is a
// separator; an ampersand marks the access key ("&&" is a plain ampersand).
struct MenuItemView {
    std::string caption;
    bool visible = true;
};

// One entry of the menu as it opens: which item of the table, and its caption.
struct MenuEntry {
    size_t item = 0;
    std::string caption;
    bool separator = false;
};

// The menu as it opens: invisible items left out; separators at the start or end, or next to
// each other, dropped; access keys missing or doubled among the items given the first free
// character of 1 to 9, 0, A to Z.
std::vector<MenuEntry> LayOutMenu(const std::vector<MenuItemView>& items);

}  // namespace cantivo
