#include "ui/menu_layout.h"

#include <string_view>

namespace cantivo {

namespace {

constexpr std::string_view kKeyOrder = "1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ";

bool IsSeparator(const std::string& caption) { return caption == "-"; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The position of the access key's ampersand, or npos.
size_t AccessKeyAt(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] != '&') return i;
        ++i;
    }
    return std::string::npos;
}

std::string WithoutAccessKey(std::string caption) {
    size_t at = AccessKeyAt(caption);
    if (at != std::string::npos) caption.erase(at, 1);
    return caption;
}

// Marks key in the caption where it occurs as a plain character, else appends "(&K)".
std::string WithAccessKey(const std::string& caption, char key) {
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            ++i;
            continue;
        }
        if (Upper(caption[i]) == key) return caption.substr(0, i) + "&" + caption.substr(i);
    }
    return caption + "(&" + std::string(1, key) + ")";
}

std::vector<MenuEntry> VisibleEntries(const std::vector<MenuItemView>& items) {
    std::vector<MenuEntry> entries;
    for (size_t i = 0; i < items.size(); ++i) {
        if (!items[i].visible) continue;
        bool separator = IsSeparator(items[i].caption);
        if (separator && (entries.empty() || entries.back().separator)) continue;
        entries.push_back({i, items[i].caption, separator});
    }
    if (!entries.empty() && entries.back().separator) entries.pop_back();
    return entries;
}

void FixAccessKeys(std::vector<MenuEntry>& entries) {
    std::string used;
    std::vector<MenuEntry*> needKey;
    for (MenuEntry& entry : entries) {
        if (entry.separator) continue;
        size_t at = AccessKeyAt(entry.caption);
        char key = at == std::string::npos ? '\0' : Upper(entry.caption[at + 1]);
        if (key == '\0' || used.find(key) != std::string::npos) {
            needKey.push_back(&entry);
        } else {
            used.push_back(key);
        }
    }
    for (MenuEntry* entry : needKey) {
        size_t free = kKeyOrder.find_first_not_of(used);
        if (free == std::string_view::npos) break;
        used.push_back(kKeyOrder[free]);
        entry->caption = WithAccessKey(WithoutAccessKey(entry->caption), kKeyOrder[free]);
    }
}

}  // namespace

std::vector<MenuEntry> LayOutMenu(const std::vector<MenuItemView>& items) {
    std::vector<MenuEntry> entries = VisibleEntries(items);
    FixAccessKeys(entries);
    return entries;
}

}  // namespace cantivo
