#include "ui/tray_icon.h"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <vector>

namespace cantivo {
namespace {

TEST(IconMenuPointTest, AtThePointerOverTheIconElseAtTheIcon) {
    const RECT icon{100, 700, 116, 716};
    struct Case {
        POINT pointer;
        const RECT* icon;
        POINT expected;
    };
    const Case cases[] = {
        {{105, 710}, &icon, {105, 710}},  // a click on the icon
        {{100, 700}, &icon, {100, 700}},
        {{5, 5}, &icon, {108, 708}},      // the notification area reached by keyboard
        {{116, 716}, &icon, {108, 708}},  // the rectangle's right and bottom edges are outside
        {{5, 5}, nullptr, {5, 5}},        // the shell does not say where its icon is
    };
    for (const Case& c : cases) {
        const POINT at = IconMenuPoint(c.pointer, c.icon);
        EXPECT_EQ(at.x, c.expected.x) << c.pointer.x << "," << c.pointer.y;
        EXPECT_EQ(at.y, c.expected.y) << c.pointer.x << "," << c.pointer.y;
    }
}

constexpr UINT kIconId = 7;
constexpr UINT kCallbackMessage = WM_APP + 5;

class IconWindow final : public Window {
public:
    explicit IconWindow(Application& application)
        : Window(application),
          icon(*this, {kIconId, kCallbackMessage, 9, "Cantivo test"}, [this](UINT mouse) { mouseMessages.push_back(mouse); }) {}
    ~IconWindow() override { Destroy(); }
    void Make() { Create(L"CantivoTrayIconTest", L"test", WS_POPUP, 0, 0, 10, 10); }

    TrayIcon icon;
    std::vector<UINT> mouseMessages;
};

// Whether the shell has the icon: only an icon it has can be modified.
bool ShellHas(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = window;
    data.uID = kIconId;
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

TEST(TrayIconTest, IsThereWhileItsWindowIsAndAddedAgainToANewNotificationArea) {
    Application application(::GetModuleHandleW(nullptr), 932);
    IconWindow window(application);
    window.Make();
    const HWND handle = window.Handle();
    window.icon.Add();
    EXPECT_TRUE(window.icon.Added());
    EXPECT_TRUE(ShellHas(handle));

    ::SendMessageW(handle, kCallbackMessage, kIconId, WM_RBUTTONDOWN);
    EXPECT_EQ(window.mouseMessages, std::vector<UINT>{WM_RBUTTONDOWN});

    // The shell restarts: its new notification area has no icon until the program adds it again.
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = handle;
    data.uID = kIconId;
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &data));
    ::SendMessageW(handle, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(window.icon.Added());
    EXPECT_TRUE(ShellHas(handle));

    window.Destroy();
    EXPECT_FALSE(window.icon.Added());
    EXPECT_FALSE(ShellHas(handle));
}

}  // namespace
}  // namespace cantivo
