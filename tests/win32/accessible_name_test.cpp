#include "ui/accessible_name.h"

#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/window.h"

namespace cantivo {
namespace {

class PaintedWindow final : public Window {
public:
    explicit PaintedWindow(Application& application) : Window(application) {}
    ~PaintedWindow() override { Destroy(); }
    void Make() { Create(L"CantivoAccessibleNameTest", L"Cantivo", WS_POPUP, 0, 0, 40, 20); }
    using Window::SetAccessibleName;
};

struct Read {
    HRESULT found = E_FAIL;
    std::wstring name;
    LONG role = 0;
};

// The window's client object as a screen reader in the same process gets it.
Read ReadAccessible(HWND window) {
    Read read;
    IAccessible* object = nullptr;
    read.found = ::AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&object));
    if (FAILED(read.found) || !object) return read;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (SUCCEEDED(object->get_accName(self, &name)) && name) {
        read.name = name;
        ::SysFreeString(name);
    }
    VARIANT role{};
    if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) read.role = role.lVal;
    object->Release();
    return read;
}

struct Event {
    DWORD event;
    HWND window;
    LONG object;
};
std::vector<Event> events;

void CALLBACK NoteEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG, DWORD, DWORD) {
    events.push_back({event, window, object});
}

void DeliverPending() {
    for (int round = 0; round < 20; ++round) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        ::Sleep(5);
    }
}

bool Told(DWORD event, HWND window) {
    for (const Event& e : events) {
        if (e.event == event && e.window == window && e.object == OBJID_CLIENT) return true;
    }
    return false;
}

TEST(AccessibleNameTest, AScreenReaderReadsTheNameAndIsToldOfShowsAndChanges) {
    ::CoInitialize(nullptr);
    Application application(::GetModuleHandleW(nullptr), 932);
    PaintedWindow window(application);
    window.Make();

    // Without a name of its own, the window text is what is read.
    const Read plain = ReadAccessible(window.Handle());
    ASSERT_TRUE(SUCCEEDED(plain.found)) << std::hex << plain.found;
    EXPECT_EQ(plain.name, L"Cantivo");

    HWINEVENTHOOK hook = ::SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_OBJECT_NAMECHANGE, nullptr, &NoteEvent,
                                          ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    events.clear();
    const std::wstring song = L"21:38, 夜明けのメロディ, カロ・オーケストラ";
    window.SetAccessibleName(song);
    window.Show();
    DeliverPending();
    EXPECT_TRUE(Told(EVENT_SYSTEM_ALERT, window.Handle()));
    const Read named = ReadAccessible(window.Handle());
    EXPECT_EQ(named.name, song);
    EXPECT_EQ(named.role, ROLE_SYSTEM_ALERT);
    wchar_t text[32] = {};
    ::GetWindowTextW(window.Handle(), text, 32);
    EXPECT_EQ(std::wstring(text), L"Cantivo");

    events.clear();
    window.SetAccessibleName(L"22:00, 別の曲, 別の楽団");
    DeliverPending();
    EXPECT_TRUE(Told(EVENT_OBJECT_NAMECHANGE, window.Handle()));
    EXPECT_EQ(ReadAccessible(window.Handle()).name, L"22:00, 別の曲, 別の楽団");
    ::UnhookWinEvent(hook);
    window.Hide();
}

}  // namespace
}  // namespace cantivo
