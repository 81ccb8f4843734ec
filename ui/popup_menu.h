#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>

#include "ui/window.h"

namespace cantivo {

struct PopupMenuItem {
    UINT command = 0;     // what WM_COMMAND carries when it is chosen; none for a separator
    std::string caption;  // UTF-8; "-" is a separator, '&' marks the access key
    bool visible = true;
    bool enabled = true;
    std::function<void()> onClick;
};

// A popup menu described as a table of items and built anew each time it opens.
class PopupMenu : private WindowPart {
public:
    explicit PopupMenu(Window& owner);

    // The reference stays valid for the menu's life.
    PopupMenuItem& Add(PopupMenuItem item);

    // Opens with its top-left corner at the screen point; either button selects. Returns when
    // the menu has closed, true when an item was chosen: its handler runs afterwards, as an
    // event of its own.
    bool Open(POINT at);

private:
    // The chosen command's event: runs the item's handler if the item is enabled.
    void Choose(UINT commandId);
    bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::deque<PopupMenuItem> items_;  // a deque, so references to items stay valid
};

}  // namespace cantivo
