// The end-to-end tests' eyes inside Wine: a console program in the same prefix as Cantivo that
// answers questions about Win32 state the X side cannot see (window owners, layered attributes,
// message box texts, the system tray's icon windows) and pokes the program when asked.
//
//   probe.exe --serve        one command per line on stdin, one JSON answer line on stdout
//   probe.exe --once CMD...  one command, its answer, and out
//
// Served, it also is the idle Win32 process that keeps Wine's explorer, the tray's host, alive
// between two starts of the program.
//
// Commands (numbers may be decimal or 0x hex; the last argument takes the rest of the line):
//   ping                          the probe's own process id
//   window CLASS                  the top-level window of that class (FindWindow)
//   windows [PID]                 every top-level window, or only those of one process
//   tray                          "Wine System Tray" and its icon windows
//   boxes                         the visible message boxes: title, text, icon, buttons, owner
//   menus                         the visible popup menus
//   press HWND ID                 a button of a dialog pressed (WM_COMMAND with BN_CLICKED)
//   post HWND MSG WPARAM LPARAM   PostMessage
//   send HWND MSG WPARAM LPARAM MS
//                                 SendMessage, given up after MS: whether it was answered, the
//                                 answer, and how long that took
//   showmenu X Y CAPTIONS         a popup menu of the probe's own at X,Y; CAPTIONS split by |,
//                                 "-" a separator; answers once it is on screen
//   closemenu                     ends that menu
//   shell start                   a stand-in notification area ("Shell_TrayWnd") started, and
//                                 "TaskbarCreated" broadcast, as a shell does when it starts
//   shell requests                the Shell_NotifyIcon requests it has received
//   shell stop                    the stand-in gone
//   hold PATH                     PATH opened with no sharing, kept open
//   release                       every held file closed
//   foreground                    the foreground window
//   resources PID                 what the system reports of a process's holdings, each null
//                                 where it reports nothing: its GDI and USER objects
//                                 (GetGuiResources), kernel handles (GetProcessHandleCount, and
//                                 the count the system's process list gives), private bytes and
//                                 working set (GetProcessMemoryInfo), and its windows of every
//                                 kind, child and message-only ones too, found by their handles
//   setcursor X Y                 SetCursorPos
//   cursor                        the pointer's position
//   cursorpatch NAME X Y          a small window of the probe's own at X,Y whose cursor is the
//                                 system cursor NAME (arrow, hand): the pointer put over it shows
//                                 how that cursor looks on this display
//   cursorpatch close             that window gone
//   textink FACE EM TEXT          TEXT (UTF-8) drawn black on white with TextOutW in the regular
//                                 FACE at EM pixels, Shift-JIS character set: the rows of its
//                                 cell, "#" for a dark pixel and "." for a light one
//   monitors                      every monitor: its rectangle, work area and whether primary
//   dpi                           the screen's pixels per inch (LOGPIXELSY)
//   icons EXE                     the images of EXE's main icon, and the one picked for the
//                                 system's small icon size (the tray's)
//   locale                        the ANSI code page and the user locale's morning and afternoon
//                                 words and date and time separators
//   quit

#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#include <winternl.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "display_config.h"
#include "message_box.h"
#include "platform/gdi.h"
#include "platform/kernel_handle.h"
#include "platform/unicode.h"

namespace {

using cantivo::Utf8FromWide;
using cantivo::WideFromUtf8;

// Just enough JSON for flat answers: objects and arrays written in order, commas kept track of.
class Json {
public:
    Json& Open(const char* key = nullptr) { return Start(key, '{'); }
    Json& OpenArray(const char* key = nullptr) { return Start(key, '['); }
    Json& Close() {
        out_ += closers_.back();
        closers_.pop_back();
        first_ = false;
        return *this;
    }
    Json& Str(const char* key, const std::wstring& value) { return Str(key, Utf8FromWide(value)); }
    Json& Str(const char* key, const std::string& value) {
        Key(key);
        Quote(value);
        return *this;
    }
    Json& Num(const char* key, long long value) {
        Key(key);
        out_ += std::to_string(value);
        return *this;
    }
    Json& Bool(const char* key, bool value) {
        Key(key);
        out_ += value ? "true" : "false";
        return *this;
    }
    Json& Null(const char* key) {
        Key(key);
        out_ += "null";
        return *this;
    }
    Json& Rect(const char* key, const RECT& rect) {
        OpenArray(key);
        for (LONG v : {rect.left, rect.top, rect.right, rect.bottom}) Num(nullptr, v);
        return Close();
    }
    const std::string& Text() const { return out_; }

private:
    Json& Start(const char* key, char opener) {
        Key(key);
        out_ += opener;
        closers_.push_back(opener == '{' ? '}' : ']');
        first_ = true;
        return *this;
    }
    void Key(const char* key) {
        if (!first_) out_ += ',';
        first_ = false;
        if (key) {
            Quote(key);
            out_ += ':';
        }
    }
    void Quote(const std::string& value) {
        out_ += '"';
        for (unsigned char c : value) {
            switch (c) {
                case '"': out_ += "\\\""; break;
                case '\\': out_ += "\\\\"; break;
                case '\n': out_ += "\\n"; break;
                case '\r': out_ += "\\r"; break;
                case '\t': out_ += "\\t"; break;
                default:
                    if (c < 0x20) {
                        char escaped[8];
                        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                        out_ += escaped;
                    } else {
                        out_ += static_cast<char>(c);
                    }
            }
        }
        out_ += '"';
    }

    std::string out_;
    std::string closers_;
    bool first_ = true;
};

long long HandleNumber(HWND window) { return static_cast<long long>(reinterpret_cast<uintptr_t>(window)); }

HWND HandleFrom(const std::string& text) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text.c_str(), nullptr, 0)));
}

std::wstring ClassOf(HWND window) { return harness::WindowClassName(window); }

std::wstring TextOf(HWND window) { return harness::WindowText(window); }

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    return pid;
}

// Wine keeps the X window of every top-level window in this property.
long long XWindowOf(HWND window) {
    return static_cast<long long>(reinterpret_cast<uintptr_t>(::GetPropW(window, L"__wine_x11_whole_window")));
}

void Brief(Json& json, HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    json.Num("hwnd", HandleNumber(window))
        .Num("pid", ProcessOf(window))
        .Str("class", ClassOf(window))
        .Str("title", TextOf(window))
        .Bool("visible", ::IsWindowVisible(window) != FALSE)
        .Rect("rect", rect)
        .Num("xid", XWindowOf(window));
}

void Describe(Json& json, HWND window) {
    json.Bool("exists", window != nullptr);
    if (!window) return;
    Brief(json, window);
    json.Bool("enabled", ::IsWindowEnabled(window) != FALSE)
        .Bool("iconic", ::IsIconic(window) != FALSE)
        .Num("style", static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)))
        .Num("exstyle", static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE)));
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    json.Open("layered");
    if (::GetLayeredWindowAttributes(window, &key, &alpha, &flags)) {
        json.Bool("ok", true).Num("key", key).Num("alpha", alpha).Num("flags", flags);
    } else {
        json.Bool("ok", false);
    }
    json.Close();
    HWND owner = ::GetWindow(window, GW_OWNER);
    if (owner) {
        json.Open("owner");
        Brief(json, owner);
        json.Close();
    } else {
        json.Null("owner");
    }
}

// EnumWindows' callback has the system's calling convention, which a lambda lacks on 32-bit x86.
BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> windows;
    ::EnumChildWindows(parent, &CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

void ListWindows(Json& json, DWORD onlyPid) {
    json.OpenArray("windows");
    for (HWND window : TopLevelWindows()) {
        if (onlyPid && ProcessOf(window) != onlyPid) continue;
        json.Open();
        Brief(json, window);
        json.Num("owner", HandleNumber(::GetWindow(window, GW_OWNER)));
        json.Close();
    }
    json.Close();
}

void Tray(Json& json) {
    HWND tray = ::FindWindowW(nullptr, L"Wine System Tray");
    json.Bool("exists", tray != nullptr);
    if (!tray) return;
    Brief(json, tray);
    json.OpenArray("icons");
    for (HWND icon : ChildWindows(tray)) {
        json.Open();
        Brief(json, icon);
        json.Close();
    }
    json.Close();
}

void Boxes(Json& json) {
    json.OpenArray("boxes");
    for (HWND box : TopLevelWindows()) {
        if (!harness::IsMessageBox(box) || !::IsWindowVisible(box)) continue;
        harness::MessageBoxView view = harness::InspectMessageBox(box);
        json.Open();
        Brief(json, box);
        json.Num("owner", HandleNumber(view.owner)).Str("owner_class", view.owner ? ClassOf(view.owner) : L"");
        json.OpenArray("buttons");
        for (const harness::MessageBoxButton& button : view.buttons) {
            json.Open().Num("id", button.id).Str("text", button.text).Close();
        }
        json.Close();
        json.Str("text", view.text).Bool("icon", view.hasIcon);
        if (view.hasIcon) json.Rect("icon_rect", view.iconRect);
        json.Close();
    }
    json.Close();
}

void Menus(Json& json) {
    json.OpenArray("menus");
    for (HWND menu : TopLevelWindows()) {
        if (ClassOf(menu) != L"#32768" || !::IsWindowVisible(menu)) continue;
        json.Open();
        Brief(json, menu);
        json.Close();
    }
    json.Close();
}

// A stand-in for the shell's notification area, for when Wine's explorer is gone: Wine 8 keeps
// the desktop window of a killed explorer, so a new explorer cannot take the desktop again while
// any program still runs on it. Like a shell that has just started, it owns the one
// "Shell_TrayWnd" window, which Shell_NotifyIcon sends its requests to, and announces itself with
// the "TaskbarCreated" broadcast. It keeps every request it receives.
// A window made and served on a thread of its own, until Stop closes it.
class WindowThread {
public:
    ~WindowThread() { Stop(); }

    // make runs on the new thread and returns the window to serve (null for none).
    bool Start(std::function<HWND()> make) {
        Stop();
        thread_ = std::thread([this, make = std::move(make)] { Serve(make()); });
        for (int waited = 0; waited < 5000 && !window_; waited += 10) ::Sleep(10);
        return window_ != nullptr;
    }

    void Stop() {
        if (!thread_.joinable()) return;
        if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
        thread_.join();
        window_ = nullptr;
    }

private:
    void Serve(HWND window) {
        if (!window) return;
        window_ = window;
        // WM_CLOSE reaches DefWindowProc, which destroys the window: the thread ends then.
        MSG message{};
        while (::IsWindow(window) && ::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    }

    std::thread thread_;
    std::atomic<HWND> window_{nullptr};
};

// A popup menu of the probe's own, drawn by the same Wine code and fonts as the program's, for
// the tests to compare the program's menu with. Its owner window runs on a window thread;
// the menu's own loop runs there too, from the owner's first message.
class ReferenceMenu {
public:
    bool Open(int x, int y, const std::wstring& captions) {
        Close();
        x_ = x;
        y_ = y;
        captions_ = captions;
        if (!owner_.Start([this] { return MakeOwner(); })) return false;
        for (int waited = 0; waited < 5000; waited += 20) {
            if (Window()) return true;
            ::Sleep(20);
        }
        return false;
    }

    HWND Window() const {
        for (HWND menu : TopLevelWindows()) {
            if (ClassOf(menu) == L"#32768" && ::IsWindowVisible(menu) && ProcessOf(menu) == ::GetCurrentProcessId())
                return menu;
        }
        return nullptr;
    }

    void Close() {
        // The menu loop watches for WM_CANCELMODE posted to the menu window, as EndMenu does.
        for (int tries = 0; tries < 250; ++tries) {
            HWND menu = Window();
            if (!menu) break;
            ::PostMessageW(menu, WM_CANCELMODE, 0, 0);
            ::Sleep(20);
        }
        owner_.Stop();
    }

private:
    static constexpr UINT kTrackMessage = WM_APP + 1;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ReferenceMenu*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == kTrackMessage && self) {
            self->Track(window);
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    HWND MakeOwner() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &ReferenceMenu::Procedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"CantivoProbeMenuOwner";
        ::RegisterClassW(&windowClass);
        HWND owner = ::CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                       nullptr, windowClass.hInstance, nullptr);
        if (owner) {
            ::SetWindowLongPtrW(owner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            ::PostMessageW(owner, kTrackMessage, 0, 0);
        }
        return owner;
    }

    void Track(HWND owner) {
        HMENU menu = ::CreatePopupMenu();
        UINT id = 1;
        size_t start = 0;
        while (start <= captions_.size()) {
            size_t end = captions_.find(L'|', start);
            if (end == std::wstring::npos) end = captions_.size();
            std::wstring caption = captions_.substr(start, end - start);
            if (caption == L"-") {
                ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            } else {
                ::AppendMenuW(menu, MF_STRING, id++, caption.c_str());
            }
            start = end + 1;
        }
        ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, x_, y_, 0, owner, nullptr);
        ::DestroyMenu(menu);
        ::DestroyWindow(owner);
    }

    int x_ = 0;
    int y_ = 0;
    std::wstring captions_;
    WindowThread owner_;
};

class StandInShell {
public:
    struct Request {
        DWORD message = 0;  // NIM_ADD, NIM_MODIFY, NIM_DELETE, ...
        HWND owner = nullptr;
        UINT id = 0;
        UINT flags = 0;
        UINT callbackMessage = 0;
        std::wstring tip;
    };

    bool Start() {
        if (!window_.Start([this] { return Make(); })) return false;
        ::SendNotifyMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
        return true;
    }

    void Stop() { window_.Stop(); }

    std::vector<Request> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    // The layout Wine's shell32 sends Shell_NotifyIcon's data in (the head of it).
    struct NotifyData {
        LONG owner;
        UINT id;
        UINT flags;
        UINT callbackMessage;
        WCHAR tip[128];
    };

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<StandInShell*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_COPYDATA && self) {
            const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (copy->cbData < sizeof(NotifyData)) return FALSE;
            NotifyData data{};
            std::memcpy(&data, copy->lpData, sizeof data);
            Request request;
            request.message = static_cast<DWORD>(copy->dwData);
            request.owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<ULONG>(data.owner)));
            request.id = data.id;
            request.flags = data.flags;
            request.callbackMessage = data.callbackMessage;
            data.tip[127] = L'\0';
            request.tip = data.tip;
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->requests_.push_back(request);
            return TRUE;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    HWND Make() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &StandInShell::Procedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"Shell_TrayWnd";
        ::RegisterClassW(&windowClass);
        HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                        nullptr, windowClass.hInstance, nullptr);
        if (window) ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return window;
    }

    WindowThread window_;
    std::mutex mutex_;
    std::vector<Request> requests_;
};

// How this Wine draws a text in a font, to hold a screenshot of the program's text against.
void TextInk(Json& json, const std::wstring& face, int em, const std::wstring& text) {
    cantivo::WindowDc screen(nullptr);
    cantivo::MemoryDc dc(::CreateCompatibleDC(screen.Get()));
    cantivo::GdiObject<HFONT> font(::CreateFontW(-em, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                                 DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
    cantivo::SelectedObject selectedFont(dc.Get(), font.Get());
    SIZE size{};
    ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    cantivo::GdiObject<HBITMAP> bitmap(::CreateCompatibleBitmap(screen.Get(), size.cx, size.cy));
    cantivo::SelectedObject selectedBitmap(dc.Get(), bitmap.Get());
    ::SetTextColor(dc.Get(), RGB(0, 0, 0));
    ::SetBkColor(dc.Get(), RGB(255, 255, 255));
    ::SetBkMode(dc.Get(), OPAQUE);
    ::TextOutW(dc.Get(), 0, 0, text.c_str(), static_cast<int>(text.size()));
    json.Bool("ok", true).Num("width", size.cx).Num("height", size.cy).OpenArray("rows");
    for (int y = 0; y < size.cy; ++y) {
        std::string row;
        for (int x = 0; x < size.cx; ++x) {
            COLORREF c = ::GetPixel(dc.Get(), x, y);
            row += GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 128 ? '#' : '.';
        }
        json.Str(nullptr, row);
    }
    json.Close();
}

// A 16 x 16 topmost window with a given system cursor as its class cursor, on a thread of its own.
class CursorPatch {
public:
    bool Start(LPCWSTR cursor, int x, int y) { return window_.Start([cursor, x, y] { return Make(cursor, x, y); }); }
    void Stop() { window_.Stop(); }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SETCURSOR) {
            // Set by way of no cursor: Wine leaves a new window's X cursor empty when the
            // thread's cursor is already the one asked for.
            ::SetCursor(nullptr);
            ::SetCursor(reinterpret_cast<HCURSOR>(::GetClassLongPtrW(window, GCLP_HCURSOR)));
            return TRUE;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    static HWND Make(LPCWSTR cursor, int x, int y) {
        static const wchar_t* const kClass = L"CantivoProbeCursorPatch";
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &CursorPatch::Procedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClass;
        windowClass.hCursor = ::LoadCursorW(nullptr, cursor);
        windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
        ::UnregisterClassW(kClass, windowClass.hInstance);
        ::RegisterClassW(&windowClass);
        return ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClass, L"", WS_POPUP | WS_VISIBLE,
                                 x, y, 16, 16, nullptr, nullptr, windowClass.hInstance, nullptr);
    }

    WindowThread window_;
};

class Probe {
public:
    ~Probe() {
        for (HANDLE file : held_) ::CloseHandle(file);
    }

    // Answers one command line; returns false once asked to quit.
    bool Run(const std::string& line, std::string& answer) {
        size_t space = line.find(' ');
        std::string name = line.substr(0, space);
        std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
        Json json;
        json.Open();
        const Command* command = Find(name);
        if (command) {
            (this->*command->handler)(json, Split(rest, command->words));
        } else {
            json.Bool("ok", false).Str("error", "unknown command: " + name);
        }
        json.Close();
        answer = json.Text();
        return !quitting_;
    }

private:
    using Words = std::vector<std::string>;
    struct Command {
        const char* name;
        size_t words;  // the last one takes the rest of the line
        void (Probe::*handler)(Json&, const Words&);
    };

    static const Command* Find(const std::string& name) {
        static const Command kCommands[] = {
            {"ping", 0, &Probe::Ping},
            {"window", 1, &Probe::FindByClass},
            {"windows", 1, &Probe::Windows},
            {"tray", 0, &Probe::TrayIcons},
            {"boxes", 0, &Probe::MessageBoxes},
            {"menus", 0, &Probe::PopupMenus},
            {"press", 2, &Probe::Press},
            {"post", 4, &Probe::Post},
            {"send", 5, &Probe::Send},
            {"showmenu", 3, &Probe::ShowMenu},
            {"closemenu", 0, &Probe::CloseMenu},
            {"shell", 1, &Probe::Shell},
            {"hold", 1, &Probe::Hold},
            {"release", 0, &Probe::ReleaseFiles},
            {"foreground", 0, &Probe::Foreground},
            {"resources", 1, &Probe::Resources},
            {"setcursor", 2, &Probe::SetCursor},
            {"cursor", 0, &Probe::Cursor},
            {"cursorpatch", 3, &Probe::CursorPatchCommand},
            {"textink", 3, &Probe::TextInkCommand},
            {"monitors", 0, &Probe::MonitorsCommand},
            {"dpi", 0, &Probe::DpiCommand},
            {"icons", 1, &Probe::IconsCommand},
            {"locale", 0, &Probe::LocaleCommand},
            {"quit", 0, &Probe::Quit},
        };
        for (const Command& command : kCommands) {
            if (name == command.name) return &command;
        }
        return nullptr;
    }

    // The first count-1 words, then the rest of the line; missing ones are empty.
    static Words Split(const std::string& text, size_t count) {
        Words parts;
        if (count == 0) return parts;
        size_t start = 0;
        while (parts.size() + 1 < count) {
            size_t space = text.find(' ', start);
            if (space == std::string::npos) break;
            parts.push_back(text.substr(start, space - start));
            start = space + 1;
        }
        parts.push_back(start <= text.size() ? text.substr(start) : std::string());
        parts.resize(count);
        return parts;
    }

    static int Int(const std::string& text) { return std::atoi(text.c_str()); }

    void Ping(Json& json, const Words&) { json.Bool("ok", true).Num("pid", ::GetCurrentProcessId()); }

    void FindByClass(Json& json, const Words& args) {
        json.Bool("ok", true);
        Describe(json, ::FindWindowW(WideFromUtf8(args[0]).c_str(), nullptr));
    }

    void Windows(Json& json, const Words& args) {
        json.Bool("ok", true);
        ListWindows(json, static_cast<DWORD>(std::strtoul(args[0].c_str(), nullptr, 0)));
    }

    void TrayIcons(Json& json, const Words&) {
        json.Bool("ok", true);
        Tray(json);
    }

    void MessageBoxes(Json& json, const Words&) {
        json.Bool("ok", true);
        Boxes(json);
    }

    void PopupMenus(Json& json, const Words&) {
        json.Bool("ok", true);
        Menus(json);
    }

    void Press(Json& json, const Words& args) {
        HWND box = HandleFrom(args[0]);
        int id = Int(args[1]);
        HWND button = ::GetDlgItem(box, id);
        json.Bool("ok", ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != FALSE);
    }

    void Post(Json& json, const Words& args) {
        BOOL posted = ::PostMessageW(HandleFrom(args[0]), static_cast<UINT>(std::strtoul(args[1].c_str(), nullptr, 0)),
                                     static_cast<WPARAM>(std::strtoull(args[2].c_str(), nullptr, 0)),
                                     static_cast<LPARAM>(std::strtoll(args[3].c_str(), nullptr, 0)));
        json.Bool("ok", posted != FALSE);
    }

    // Sends a message and waits for the answer a limited time: whether the window's thread
    // answered, and how long that took.
    void Send(Json& json, const Words& args) {
        const ULONGLONG began = ::GetTickCount64();
        DWORD_PTR result = 0;
        LRESULT answered = ::SendMessageTimeoutW(
            HandleFrom(args[0]), static_cast<UINT>(std::strtoul(args[1].c_str(), nullptr, 0)),
            static_cast<WPARAM>(std::strtoull(args[2].c_str(), nullptr, 0)),
            static_cast<LPARAM>(std::strtoll(args[3].c_str(), nullptr, 0)), SMTO_NORMAL,
            static_cast<UINT>(std::strtoul(args[4].c_str(), nullptr, 0)), &result);
        json.Bool("ok", true);
        json.Bool("answered", answered != 0);
        json.Num("result", static_cast<long long>(result));
        json.Num("ms", static_cast<long long>(::GetTickCount64() - began));
    }

    void ShowMenu(Json& json, const Words& args) {
        bool shown = reference_.Open(Int(args[0]), Int(args[1]), WideFromUtf8(args[2]));
        json.Bool("ok", shown);
        if (shown) {
            json.Open("menu");
            Brief(json, reference_.Window());
            json.Close();
        }
    }

    void CloseMenu(Json& json, const Words&) {
        reference_.Close();
        json.Bool("ok", true);
    }

    void Shell(Json& json, const Words& args) {
        if (args[0] == "start") {
            json.Bool("ok", shell_.Start());
        } else if (args[0] == "stop") {
            shell_.Stop();
            json.Bool("ok", true);
        } else {
            json.Bool("ok", true).OpenArray("requests");
            for (const StandInShell::Request& request : shell_.Requests()) {
                json.Open()
                    .Num("message", request.message)
                    .Num("hwnd", HandleNumber(request.owner))
                    .Num("id", request.id)
                    .Num("flags", request.flags)
                    .Num("callback", request.callbackMessage)
                    .Str("tip", request.tip)
                    .Close();
            }
            json.Close();
        }
    }

    void Hold(Json& json, const Words& args) {
        HANDLE file = ::CreateFileW(WideFromUtf8(args[0]).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        json.Bool("ok", file != INVALID_HANDLE_VALUE);
        if (file == INVALID_HANDLE_VALUE) {
            json.Num("error", ::GetLastError());
        } else {
            held_.push_back(file);
        }
    }

    void ReleaseFiles(Json& json, const Words&) {
        for (HANDLE file : held_) ::CloseHandle(file);
        held_.clear();
        json.Bool("ok", true);
    }

    void Foreground(Json& json, const Words&) {
        json.Bool("ok", true);
        Describe(json, ::GetForegroundWindow());
    }

    void Resources(Json& json, const Words& args) {
        DWORD pid = std::strtoul(args[0].c_str(), nullptr, 0);
        cantivo::KernelObject process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
        if (!process) {
            json.Bool("ok", false).Str("error", "OpenProcess failed: " + std::to_string(::GetLastError()));
            return;
        }
        json.Bool("ok", true);
        // GetGuiResources gives 0 both for none and on failure; the error code tells which.
        for (auto [key, flag] : {std::pair{"gdi", GR_GDIOBJECTS}, std::pair{"user", GR_USEROBJECTS}}) {
            ::SetLastError(0);
            DWORD count = ::GetGuiResources(process.Get(), flag);
            NumberOrNull(json, key, count != 0 || ::GetLastError() == 0, count);
        }
        // A living process holds some handles and private memory: a 0 is a call that only
        // pretends to answer.
        DWORD handles = 0;
        NumberOrNull(json, "handles", ::GetProcessHandleCount(process.Get(), &handles) && handles != 0, handles);
        ListedHandles(json, pid);
        PROCESS_MEMORY_COUNTERS_EX memory{};
        memory.cb = sizeof memory;
        bool read = ::GetProcessMemoryInfo(process.Get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                           sizeof memory) != FALSE;
        NumberOrNull(json, "private_bytes", read && memory.PrivateUsage != 0, memory.PrivateUsage);
        NumberOrNull(json, "working_set", read && memory.WorkingSetSize != 0, memory.WorkingSetSize);
        json.Num("all_windows", WindowsOwnedBy(pid));
    }

    static void NumberOrNull(Json& json, const char* key, bool known, unsigned long long value) {
        if (known) {
            json.Num(key, static_cast<long long>(value));
        } else {
            json.Null(key);
        }
    }

    // The handle count in the system's list of processes, which the kernel keeps apart from
    // GetProcessHandleCount's answer.
    static void ListedHandles(Json& json, DWORD pid) {
        std::vector<unsigned char> buffer(1 << 20);
        ULONG needed = 0;
        NTSTATUS status = 0;
        while ((status = ::NtQuerySystemInformation(SystemProcessInformation, buffer.data(),
                                                    static_cast<ULONG>(buffer.size()), &needed)) ==
                   static_cast<NTSTATUS>(0xC0000004L) &&
               buffer.size() < (64u << 20)) {  // STATUS_INFO_LENGTH_MISMATCH: a bigger buffer
            buffer.resize(buffer.size() * 2);
        }
        if (status >= 0) {
            for (size_t offset = 0;;) {
                auto* entry = reinterpret_cast<SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
                if (reinterpret_cast<uintptr_t>(entry->UniqueProcessId) == pid) {
                    json.Num("listed_handles", entry->HandleCount).Num("threads", entry->NumberOfThreads);
                    return;
                }
                if (entry->NextEntryOffset == 0) break;
                offset += entry->NextEntryOffset;
            }
        }
        json.Null("listed_handles").Null("threads");
    }

    // Windows of the process among the first kMaxWindowSlots of the window handle table: a
    // handle with 0 in its upper word names a slot whatever its generation.
    static long long WindowsOwnedBy(DWORD pid) {
        constexpr uintptr_t kMaxWindowSlots = 8192;
        long long count = 0;
        for (uintptr_t slot = 0; slot < kMaxWindowSlots; ++slot) {
            DWORD owner = 0;
            HWND window = reinterpret_cast<HWND>(0x20 + 2 * slot);
            if (::GetWindowThreadProcessId(window, &owner) && owner == pid) ++count;
        }
        return count;
    }

    void SetCursor(Json& json, const Words& args) {
        json.Bool("ok", ::SetCursorPos(Int(args[0]), Int(args[1])) != FALSE);
    }

    void Cursor(Json& json, const Words&) {
        POINT point{};
        ::GetCursorPos(&point);
        json.Bool("ok", true).Num("x", point.x).Num("y", point.y);
    }

    void CursorPatchCommand(Json& json, const Words& args) {
        cursorPatch_.Stop();
        bool ok = args[0] == "close" ||
                  cursorPatch_.Start(args[0] == "hand" ? MAKEINTRESOURCEW(32649) : MAKEINTRESOURCEW(32512),  // IDC_HAND, IDC_ARROW
                                     Int(args[1]), Int(args[2]));
        json.Bool("ok", ok);
    }

    void TextInkCommand(Json& json, const Words& args) {
        TextInk(json, WideFromUtf8(args[0]), Int(args[1]), WideFromUtf8(args[2]));
    }

    void MonitorsCommand(Json& json, const Words&) {
        json.Bool("ok", true).OpenArray("monitors");
        for (const display_config::Monitor& monitor : display_config::Monitors()) {
            json.Open().Rect("rect", monitor.rect).Rect("work", monitor.work).Bool("primary", monitor.primary).Close();
        }
        json.Close();
    }

    void DpiCommand(Json& json, const Words&) {
        json.Bool("ok", true).Num("dpi", display_config::ScreenDpi())
            .Num("small_icon", ::GetSystemMetrics(SM_CXSMICON)).Num("icon", ::GetSystemMetrics(SM_CXICON));
    }

    void IconsCommand(Json& json, const Words& args) {
        int small = ::GetSystemMetrics(SM_CXSMICON);
        display_config::IconGroup group = display_config::ReadIconGroup(WideFromUtf8(args[0]), small);
        json.Bool("ok", group.found).Num("small_icon", small).Num("chosen_for_small", group.chosenForSmall)
            .OpenArray("images");
        for (const display_config::IconImage& image : group.images) {
            json.Open().Num("size", image.size).Num("colours", image.colours).Num("bits", image.bitCount)
                .Num("id", image.id).Close();
        }
        json.Close();
    }

    void LocaleCommand(Json& json, const Words&) {
        json.Bool("ok", true).Num("acp", ::GetACP());
        for (auto [key, type] : {std::pair{"morning", LOCALE_S1159}, std::pair{"afternoon", LOCALE_S2359},
                                 std::pair{"date_separator", LOCALE_SDATE}, std::pair{"time_separator", LOCALE_STIME}}) {
            wchar_t text[128] = {};
            ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 128);
            json.Str(key, std::wstring(text));
        }
    }

    void Quit(Json& json, const Words&) {
        json.Bool("ok", true);
        quitting_ = true;
    }

    ReferenceMenu reference_;
    StandInShell shell_;
    CursorPatch cursorPatch_;
    std::vector<HANDLE> held_;
    bool quitting_ = false;
};

// Straight to the handle, so no C runtime turns "\n" into "\r\n" or holds a line back.
void WriteLine(const std::string& line) {
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    std::string data = line + "\n";
    DWORD written = 0;
    ::WriteFile(out, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    ::FlushFileBuffers(out);
}

bool ReadLine(std::string& line) {
    HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    line.clear();
    char c = 0;
    DWORD read = 0;
    while (::ReadFile(in, &c, 1, &read, nullptr) && read == 1) {
        if (c == '\n') return true;
        if (c != '\r') line += c;
    }
    return !line.empty();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Probe probe;
    std::string answer;
    if (argc >= 3 && std::wstring(argv[1]) == L"--once") {
        std::string line;
        for (int i = 2; i < argc; ++i) line += (i > 2 ? " " : "") + Utf8FromWide(argv[i]);
        probe.Run(line, answer);
        WriteLine(answer);
        return 0;
    }
    if (argc != 2 || std::wstring(argv[1]) != L"--serve") {
        WriteLine("usage: probe.exe --serve | --once COMMAND...");
        return 2;
    }
    std::string line;
    while (ReadLine(line)) {
        if (line.empty()) continue;
        bool keepGoing = probe.Run(line, answer);
        WriteLine(answer);
        if (!keepGoing) break;
    }
    return 0;
}
