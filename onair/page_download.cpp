#include "onair/page_download.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "onair/redirection.h"
#include "os/internet_handle.h"
#include "os/timed_task.h"
#include "os/wininet_library.h"

namespace cantivo {

namespace {

// WinInet, loaded: everything below runs only once WinInet() has been found there.
const WinInetFunctions& Net() { return *WinInet(); }

// Windows' own default, set explicitly: some WinInet implementations wait for a stalled
// server for ever. They are set on the session and on each request before it is sent, so that
// the connection it opens has them from the start; set later, some implementations never
// apply them to the connection's reads. A request sent near the Get's deadline gets only the
// time left, so that none of its steps outlasts the deadline by much.
constexpr DWORD kNetworkTimeoutMs = 30000;
// The addresses of the station's host that a connect tries, one after another, each for the
// connect time-out: two, so that a network that silently drops one kind of address (IPv6, say)
// still reaches the host by the other, while WinInet's default of five would let one connect
// outlast the Get's limit by minutes.
constexpr DWORD kConnectTries = 2;

// A time-out of share of the time left until deadline, kNetworkTimeoutMs at most, 1 ms at least.
DWORD TimeOut(ULONGLONG deadline, ULONGLONG share = 1) {
    const ULONGLONG now = ::GetTickCount64();
    const ULONGLONG left = now < deadline ? (deadline - now) / share : 0;
    return static_cast<DWORD>(std::clamp<ULONGLONG>(left, 1, kNetworkTimeoutMs));
}

void SetNetworkTimeouts(HINTERNET handle, ULONGLONG deadline) {
    const DWORD left = TimeOut(deadline);
    // The connect time-out holds for each address tried: together they fit in the time left.
    const DWORD connect = TimeOut(deadline, kConnectTries);
    auto set = [handle](DWORD option, DWORD timeout) { Net().InternetSetOptionA(handle, option, &timeout, sizeof timeout); };
    set(INTERNET_OPTION_CONNECT_TIMEOUT, connect);
    set(INTERNET_OPTION_SEND_TIMEOUT, left);
    set(INTERNET_OPTION_RECEIVE_TIMEOUT, left);
}

void LimitConnectTries(HINTERNET internet) {
    DWORD tries = kConnectTries;
    Net().InternetSetOptionA(internet, INTERNET_OPTION_CONNECT_RETRIES, &tries, sizeof tries);
}

// A sent GET: its connection handle and its request handle, closed request first.
struct Request {
    InternetHandle connection;
    InternetHandle page;
};

// The GET of url sent, the way InternetOpenUrl sends it; an empty page handle when the URL is
// not an HTTP one or the request cannot be sent.
Request SendGet(HINTERNET internet, const std::string& url, DWORD flags, ULONGLONG deadline) {
    char host[INTERNET_MAX_HOST_NAME_LENGTH] = {};
    char path[INTERNET_MAX_URL_LENGTH] = {};
    char extra[INTERNET_MAX_URL_LENGTH] = {};
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = sizeof extra;
    Request request;
    if (!Net().InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return request;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) {
        flags |= INTERNET_FLAG_SECURE;
    } else if (parts.nScheme != INTERNET_SCHEME_HTTP) {
        return request;
    }
    request.connection.Reset(
        Net().InternetConnectA(internet, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!request.connection) return request;
    const std::string object = std::string(path[0] ? path : "/") + extra;
    const char* acceptTypes[] = {"*/*", nullptr};
    request.page.Reset(Net().HttpOpenRequestA(request.connection.Get(), "GET", object.c_str(), nullptr, nullptr,
                                          acceptTypes, flags, 0));
    if (!request.page) return request;
    SetNetworkTimeouts(request.page.Get(), deadline);
    if (!Net().HttpSendRequestA(request.page.Get(), nullptr, 0, nullptr, 0)) request.page.Reset();
    return request;
}

// Redirections are followed here rather than by WinInet, which (in some implementations)
// follows a redirection loop for as long as the machine has ports to connect from.
constexpr int kMostRedirections = 10;

// A header's number; false when the answer has no such header.
bool NumberHeader(HINTERNET page, DWORD header, DWORD& value) {
    DWORD size = sizeof value;
    return Net().HttpQueryInfoA(page, header | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr) != FALSE;
}

DWORD StatusCode(HINTERNET page) {
    DWORD status = 0;
    return NumberHeader(page, HTTP_QUERY_STATUS_CODE, status) ? status : 0;
}

bool IsRedirection(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Where a redirection points, made absolute against the URL that answered with it; empty
// when it points nowhere usable.
std::string RedirectionTarget(HINTERNET page, const std::string& from) {
    char location[INTERNET_MAX_URL_LENGTH] = {};
    DWORD size = sizeof location - 1;
    if (!Net().HttpQueryInfoA(page, HTTP_QUERY_LOCATION, location, &size, nullptr)) return {};
    char target[INTERNET_MAX_URL_LENGTH] = {};
    DWORD length = sizeof target;
    if (!Net().InternetCombineUrlA(from.c_str(), location, target, &length, ICU_NO_ENCODE)) return {};
    return target;
}

// The page at url, redirections followed; an empty page handle when it cannot be had by
// deadline (GetTickCount64), checked before each request.
Request OpenPage(HINTERNET internet, std::string url, ULONGLONG deadline) {
    for (int redirections = 0; redirections <= kMostRedirections; ++redirections) {
        if (::GetTickCount64() >= deadline) return {};
        // RELOAD: always from the server, never from a cache, so every Get sees the page as it is now.
        // PRAGMA_NOCACHE: the same asked of a caching proxy, which some WinInets leave unsaid.
        // NO_CACHE_WRITE, NO_COOKIES, NO_UI: nothing of the station's is left in the user's
        // WinInet (its cache, its cookies), and WinInet never puts up a dialog of its own.
        Request request = SendGet(internet, url,
                                  INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                      INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI,
                                  deadline);
        if (!request.page || !IsRedirection(StatusCode(request.page.Get()))) return request;
        std::string target = RedirectionTarget(request.page.Get(), url);
        if (target.empty()) return request;  // nowhere to go: the redirection's own body is the page
        if (!RedirectionAllowed(url, target)) return {};
        url = std::move(target);
    }
    return {};
}

// The body of page into stream, kMaxPageBytes at most, by deadline (GetTickCount64) at the
// latest. A page cut short (connection lost, time-out, the deadline) would be cut into texts
// at the wrong places: a read that fails, or an end before the announced length, fails the
// download. So does a page that outgrows kMaxPageBytes, as soon as it does.
// Only what has arrived is read: a read of more waits, in some WinInets, until the buffer is
// full, so a sender dripping a byte at a time would hold it far past the deadline.
bool ReadPage(HINTERNET page, MemoryStream& stream, ULONGLONG deadline) {
    DWORD announced = 0;
    const bool hasLength = NumberHeader(page, HTTP_QUERY_CONTENT_LENGTH, announced);
    if (hasLength && announced > kMaxPageBytes) return false;
    char buffer[kReadBufferSize];
    size_t received = 0;
    for (;;) {
        if (::GetTickCount64() >= deadline) return false;
        DWORD arrived = 0;
        if (!Net().InternetQueryDataAvailable(page, &arrived, 0, 0)) return false;
        if (arrived == 0) break;  // the body's end
        // One byte past the cap is enough to know the page is over it.
        const size_t room = kMaxPageBytes - received + 1;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>({arrived, sizeof buffer, room}));
        std::memset(buffer, 0, sizeof buffer);
        DWORD delivered = 0;
        if (!Net().InternetReadFile(page, buffer, wanted, &delivered)) return false;
        if (delivered == 0) break;
        if (delivered > kMaxPageBytes - received) return false;
        stream.Write(buffer, delivered);
        received += delivered;
    }
    // No announced length (a chunked or closed-ended body): the end is the end.
    return !hasLength || received == announced;
}

// One Get's download, on a thread of its own: the program's thread waits for it until the
// Get's deadline, then goes on without it. Its handles are its own to close, when WinInet
// gives it back the thread: closed from another thread, a handle does not end a call blocked
// on it in every WinInet, and its number may by then be another handle's.
//
// So nothing but the download itself can stop one given up on. It ends, and lets go of its
// memory, at the first of these:
// - its own deadline, the one the program's thread gave up at, checked in OpenPage before
//   each request and in ReadPage before each wait for more of the body: the first bytes that
//   arrive after it end the download;
// - WinInet's time-outs, each no longer than the time left when its request was sent (and
//   kNetworkTimeoutMs at most), when nothing arrives at all;
// - the sender hanging up.
// Two steps are out of its reach: a name lookup, which WinInet does not limit, and a sender
// that drips the answer's headers, which holds it until they are whole, as WinInet reads them
// inside HttpSendRequest. Until it has ended, the runner starts no other download
// (GetHtmlSource).
class Download final : public TimedTask {
public:
    Download(std::string url, ULONGLONG deadline) : url_(std::move(url)), deadline_(deadline) {}

    void Run() noexcept override {
        try {
            InternetHandle internet(Net().InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
            if (!internet) return;
            SetNetworkTimeouts(internet.Get(), deadline_);
            LimitConnectTries(internet.Get());
            Request request = OpenPage(internet.Get(), url_, deadline_);
            complete_ = request.page && ReadPage(request.page.Get(), page_, deadline_);
        } catch (...) {
            error_ = std::current_exception();
        }
    }

    // The page into stream when it came whole; its error, if it had one, thrown here.
    bool Deliver(MemoryStream& stream) const {
        if (error_) std::rethrow_exception(error_);
        if (!complete_) return false;
        stream.Write(page_.Bytes().data(), page_.Size());
        stream.SetPosition(0);
        return true;
    }

private:
    const std::string url_;
    const ULONGLONG deadline_;
    MemoryStream page_;
    bool complete_ = false;
    std::exception_ptr error_;
};

}  // namespace

bool InternetConnected() {
    if (!WinInet()) return false;
    DWORD flags = 0;
    return Net().InternetGetConnectedState(&flags, 0) != FALSE;
}

bool GetHtmlSource(MemoryStream& stream, const std::string& url, unsigned long timeLimitMs) {
    if (!WinInet()) return false;
    // One download at a time in the whole process: one given up on still holds a connection
    // to the station (what ends it: see Download), and WinInet allows a process only a few to
    // one server. A Get made while it lives ends at once, as a given-up one does, rather than
    // wait another minute.
    static TaskRunner downloads;
    // One deadline for both: the download reads no more after it, the caller waits no longer.
    const ULONGLONG deadline = ::GetTickCount64() + timeLimitMs;
    auto download = std::make_shared<Download>(url, deadline);
    if (downloads.Run(download, deadline) != TaskOutcome::kDone) return false;
    return download->Deliver(stream);
}

}  // namespace cantivo
