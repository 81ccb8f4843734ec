// The end-to-end tests' eyes inside Wine: a console program in the same prefix as Cantivo that
// answers questions about Win32 state the X side cannot see (window owners, layered attributes,
// message box texts, the system tray's icon windows) and pokes the program when asked. Served,
// it also is the idle Win32 process that keeps Wine's explorer, the tray's host, alive between
// two starts of the program. Its commands are the table in Probe; `probe.exe` alone prints them.
//
// Each concern is a header of its own: the answers' JSON (json.h), windows as answers tell of
// them (window_view.h), the windows the probe makes on threads of their own (window_thread.h:
// the reference menu, reference_menu.h; the stand-in shell, stand_in_shell.h; the cursor patch,
// cursor_patch.h), a process's holdings (process_resources.h), drawn text (text_ink.h), and the
// display configuration (display_config.h).

#include <windows.h>

#include <cstdlib>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cursor_patch.h"
#include "display_config.h"
#include "json.h"
#include "os/unicode.h"
#include "process_resources.h"
#include "reference_menu.h"
#include "stand_in_shell.h"
#include "text_ink.h"
#include "window_view.h"

namespace probe {
namespace {

using cantivo::Utf8FromWide;
using cantivo::WideFromUtf8;

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

    // How to run the probe, and every command with what it answers.
    static std::string Usage() {
        std::string usage =
            "usage: probe.exe --serve | --once COMMAND...\n"
            "  --serve   one command per line on stdin, one JSON answer line on stdout\n"
            "  --once    one command, its answer, and out\n"
            "commands (numbers may be decimal or 0x hex; the last argument takes the rest of the line):\n";
        for (const Command& command : Commands()) {
            std::string head = "  " + std::string(command.name) + (*command.arguments ? " " : "") + command.arguments;
            usage += head + std::string(head.size() < 34 ? 34 - head.size() : 1, ' ') + command.answer + "\n";
        }
        return usage;
    }

private:
    using Words = std::vector<std::string>;
    struct Command {
        const char* name;
        const char* arguments;
        const char* answer;
        size_t words;  // the last one takes the rest of the line
        void (Probe::*handler)(Json&, const Words&);
    };

    // The commands, in the order the usage lists them.
    static std::span<const Command> Commands() {
        static const Command kCommands[] = {
            {"ping", "", "the probe's own process id", 0, &Probe::Ping},
            {"window", "CLASS", "the top-level window of that class (FindWindow)", 1, &Probe::FindByClass},
            {"windows", "[PID]", "every top-level window, or only those of one process", 1, &Probe::Windows},
            {"tray", "", "\"Wine System Tray\" and its icon windows", 0, &Probe::TrayIcons},
            {"boxes", "", "the visible message boxes: title, text, icon, buttons, owner", 0, &Probe::MessageBoxes},
            {"menus", "", "the visible popup menus", 0, &Probe::PopupMenus},
            {"press", "HWND ID", "a button of a dialog pressed (WM_COMMAND with BN_CLICKED)", 2, &Probe::Press},
            {"post", "HWND MSG WPARAM LPARAM", "PostMessage", 4, &Probe::Post},
            {"send", "HWND MSG WPARAM LPARAM MS",
             "SendMessage, given up after MS: whether it was answered, the answer, and how long that took", 5,
             &Probe::Send},
            {"showmenu", "X Y CAPTIONS",
             "a popup menu of the probe's own at X,Y; CAPTIONS split by |, \"-\" a separator; answers once it is "
             "on screen",
             3, &Probe::ShowMenu},
            {"closemenu", "", "ends that menu", 0, &Probe::CloseMenu},
            {"shell", "start|requests|stop",
             "start: a stand-in notification area (\"Shell_TrayWnd\") started, and \"TaskbarCreated\" broadcast, "
             "as a shell does when it starts; requests: the Shell_NotifyIcon requests it has received; stop: the "
             "stand-in gone",
             1, &Probe::Shell},
            {"busyshell", "N", "as shell start, but the stand-in refuses its first N adds, as a shell busy at logon does",
             1, &Probe::BusyShell},
            {"hold", "PATH", "PATH opened with no sharing, kept open", 1, &Probe::Hold},
            {"lock", "PATH",
             "PATH.lock made and held as a log's updater holds it (no sharing, deleted when let go)", 1,
             &Probe::Lock},
            {"release", "", "every held file closed", 0, &Probe::ReleaseFiles},
            {"foreground", "", "the foreground window", 0, &Probe::Foreground},
            {"resources", "PID",
             "what the system reports of a process's holdings, each null where it reports nothing: its GDI and USER "
             "objects, kernel handles (two counts), private bytes, working set, and its windows of every kind",
             1, &Probe::ProcessResources},
            {"setcursor", "X Y", "SetCursorPos", 2, &Probe::SetCursor},
            {"cursor", "", "the pointer's position", 0, &Probe::Cursor},
            {"cursorpatch", "arrow|hand X Y | close",
             "a small window of the probe's own at X,Y whose cursor is that system cursor: the pointer put over it "
             "shows how that cursor looks on this display; close: that window gone",
             3, &Probe::CursorPatchCommand},
            {"textink", "FACE EM TEXT",
             "TEXT (UTF-8) drawn black on white with TextOutW in the regular FACE at EM pixels, Shift-JIS character "
             "set: the rows of its cell, \"#\" for a dark pixel and \".\" for a light one",
             3, &Probe::TextInkCommand},
            {"monitors", "", "every monitor: its rectangle, work area and whether primary", 0, &Probe::MonitorsCommand},
            {"dpi", "", "the screen's pixels per inch (LOGPIXELSY) and the icon sizes", 0, &Probe::DpiCommand},
            {"icons", "EXE", "the images of EXE's main icon, and the one picked for the system's small icon size "
                             "(the tray's)", 1, &Probe::IconsCommand},
            {"locale", "", "the ANSI code page and the user locale's morning and afternoon words and date and time "
                           "separators", 0, &Probe::LocaleCommand},
            {"quit", "", "the probe ends", 0, &Probe::Quit},
        };
        return kCommands;
    }

    static const Command* Find(const std::string& name) {
        for (const Command& command : Commands()) {
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
                    .Bool("accepted", request.accepted)
                    .Close();
            }
            json.Close();
        }
    }

    void BusyShell(Json& json, const Words& args) {
        json.Bool("ok", shell_.Start(static_cast<int>(std::strtol(args[0].c_str(), nullptr, 10))));
    }

    void Hold(Json& json, const Words& args) {
        Keep(json, ::CreateFileW(WideFromUtf8(args[0]).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 0, nullptr));
    }

    void Lock(Json& json, const Words& args) {
        Keep(json, ::CreateFileW(WideFromUtf8(args[0] + ".lock").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    }

    // An opened file kept until "release".
    void Keep(Json& json, HANDLE file) {
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

    void ProcessResources(Json& json, const Words& args) {
        Resources(json, static_cast<DWORD>(std::strtoul(args[0].c_str(), nullptr, 0)));
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
}  // namespace probe

int wmain(int argc, wchar_t** argv) {
    using probe::Utf8FromWide;
    using probe::ReadLine;
    using probe::WriteLine;
    probe::Probe commands;
    std::string answer;
    if (argc >= 3 && std::wstring(argv[1]) == L"--once") {
        std::string line;
        for (int i = 2; i < argc; ++i) line += (i > 2 ? " " : "") + Utf8FromWide(argv[i]);
        commands.Run(line, answer);
        WriteLine(answer);
        return 0;
    }
    if (argc != 2 || std::wstring(argv[1]) != L"--serve") {
        WriteLine(probe::Probe::Usage());
        return 2;
    }
    std::string line;
    while (ReadLine(line)) {
        if (line.empty()) continue;
        bool keepGoing = commands.Run(line, answer);
        WriteLine(answer);
        if (!keepGoing) break;
    }
    return 0;
}