#include "ui/popup_menu.h"

#include "os/unicode.h"
#include "os/unique_handle.h"
#include "ui/menu_layout.h"

namespace cantivo {

namespace {

using MenuHandle = UniqueHandle<NullIsEmpty<HMENU, &::DestroyMenu>>;

}  // namespace

PopupMenu::PopupMenu(Window& owner) : WindowPart(owner) {}

PopupMenuItem& PopupMenu::Add(PopupMenuItem item) {
    items_.push_back(std::move(item));
    return items_.back();
}

bool PopupMenu::Open(POINT at) {
    std::vector<MenuItemView> views;
    for (const PopupMenuItem& item : items_) views.push_back({item.caption, item.visible});
    MenuHandle menu(::CreatePopupMenu());
    if (!menu) return false;
    for (const MenuEntry& entry : LayOutMenu(views)) {
        if (entry.separator) {
            ::AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING | (items_[entry.item].enabled ? 0 : MF_GRAYED);
        ::AppendMenuW(menu.Get(), flags, items_[entry.item].command, WideFromUtf8(entry.caption).c_str());
    }
    const UINT chosen = static_cast<UINT>(::TrackPopupMenu(menu.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON |
                                                                          TPM_RETURNCMD,
                                                           at.x, at.y, 0, Owner().Handle(), nullptr));
    // The choice goes to the owner as WM_COMMAND, an event of its own, as the menu would post it.
    if (chosen != 0) ::PostMessageW(Owner().Handle(), WM_COMMAND, chosen, 0);
    // A message of the owner's right after the menu lets the next opening close properly
    // when the user clicks elsewhere.
    ::PostMessageW(Owner().Handle(), WM_NULL, 0, 0);
    return chosen != 0;
}

void PopupMenu::Choose(UINT commandId) {
    for (const PopupMenuItem& item : items_) {
        if (item.command == commandId && item.command != 0) {
            if (item.enabled && item.onClick) item.onClick();
            return;
        }
    }
}

bool PopupMenu::OnWindowMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return false;
    Choose(LOWORD(wParam));
    return true;
}

}  // namespace cantivo
