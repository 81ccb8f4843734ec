"""The program against real web software, started and stopped by the test run: nginx as the
station's web host, reached directly, and squid as a user's caching proxy in front of it (and
as a proxy that refuses). The station's host name resolves to 127.0.0.1 inside a namespace of
the test's own (web_servers.py); the machine's /etc/hosts is left alone.

The Python station (station.py) stays for what no real server does on request: stalls, cut
connections, redirection loops."""

import pytest

from make_pages import GOOD, main_line, page, sub_line, time_line
from shown_balloon import Balloon, drawn_ink
from tray import EXIT, GET
from session import wait_for
from web_servers import Nginx, Squid

USER_AGENT = "Cantivo/0.1"
# Two songs, one after the other on the station's page: (on-air time, main text, sub text).
FIRST = (GOOD["time"], GOOD["main"], GOOD["sub"])
SECOND = ("21:42", "海の見える町", "カロ弦楽四重奏")


def on_air_page(song):
    time, main, sub = song
    return page(time_line(time), main_line(main), sub_line(sub))


class Web:
    """One test's network with its servers and programs, all stopped at its end."""

    def __init__(self, desktop, folder):
        self.desktop = desktop
        self.folder = folder
        self.network = desktop.session.network
        self._servers = []
        self._programs = []

    def nginx(self, song=FIRST):
        server = Nginx(self.network, self.folder)
        self._servers.append(server)
        server.start().serve(on_air_page(song))
        return server

    def squid(self, refuse=False):
        server = Squid(self.network, self.folder, refuse=refuse)
        self._servers.append(server)
        return server.start()

    def program(self, proxy=None):
        program = self.desktop.start_program_behind(proxy=proxy)
        self._programs.append(program)
        return program

    def stop(self):
        """Everything, whatever fails; the first error is raised at the end."""
        errors = []
        for part in self._programs + self._servers[::-1]:
            try:
                part.stop()
            except Exception as error:
                errors.append(error)
        if errors:
            raise errors[0]


@pytest.fixture
def web(web_desktop, request):
    """The test's servers and programs in the session's network; their files (configuration
    and logs) beside the test's screenshots."""
    web_desktop.screen.begin(request.node.name)
    web = Web(web_desktop, web_desktop.screen.artifact_path("servers"))
    try:
        yield web
    finally:
        web.stop()


def shown_song(program):
    """Waits for the balloon and says which of the two songs' main text it shows (None: neither)."""
    desktop = program.desktop
    balloon = Balloon(program.wait_shown())
    desktop.screen.park_pointer()
    image = desktop.screen.screenshot("shown")
    ink = balloon.cell_ink(image, 1)
    return next((song for song in (FIRST, SECOND) if ink == drawn_ink(desktop.probe, song[1])), None)


def get_and_save(program):
    """A Get through the tray, then Save: the song the balloon showed."""
    program.double_click_icon()
    song = shown_song(program)
    program.save()
    program.wait_hidden()
    return song


def logged_mains(program):
    """The main texts in the program's song log, in order."""
    text = (program.log_bytes() or b"").decode("cp932")
    return [line.split('","')[1] for line in text.splitlines()]


def wait_nothing_shown(program):
    """The Get has been handled (the menu opens only then) and left nothing on the screen."""
    program.right_click_icon()
    menu = program.wait_menu()
    captions = menu.captions()
    menu.escape()
    assert captions == [GET, "-", EXIT]
    assert not program.boxes()
    assert not program.main_window()["visible"]


def test_nginx_reached_directly_shows_its_page(web):
    nginx = web.nginx(FIRST)
    program = web.program()

    program.double_click_icon()

    assert shown_song(program) == FIRST
    [request] = nginx.requests()
    assert request["request"] == "GET /PC/FM/KALO-FM/onair.asp HTTP/1.1"
    assert request["status"] == "200"
    assert request["user_agent"] == USER_AGENT
    assert request["via"] == "-"  # no proxy on the way
    assert request["pragma"] == "no-cache"


def test_through_a_caching_proxy_every_get_shows_the_page_as_it_is_now(web):
    nginx = web.nginx(FIRST)
    squid = web.squid()
    program = web.program(proxy=squid.proxy)
    assert get_and_save(program) == FIRST

    nginx.serve(on_air_page(SECOND))
    # squid would answer from its cache: a plain request through it still gets the old page.
    assert web.network.fetch(proxy=squid.proxy) == (200, on_air_page(FIRST))
    assert squid.requests()[-1]["result"] == "TCP_MEM_HIT/200"

    assert get_and_save(program) == SECOND
    assert logged_mains(program) == [FIRST[1], SECOND[1]]
    gets = [r for r in squid.requests() if "User-Agent: " + USER_AGENT in r["headers"]]
    # The second Get went to the server, because each request asks the proxy to.
    assert [(r["result"], r["hierarchy"]) for r in gets] == [("TCP_MISS/200", "HIER_DIRECT/127.0.0.1")] * 2
    for get in gets:
        assert sorted(get["headers"]) == sorted(["Accept: */*", "User-Agent: " + USER_AGENT, "Pragma: no-cache",
                                                 "Host: " + web.network.host])
    from_program = [r for r in nginx.requests() if r["user_agent"] == USER_AGENT]
    assert len(from_program) == 2


def test_a_proxy_that_refuses_leaves_nothing_shown_and_nothing_logged(web):
    nginx = web.nginx(FIRST)
    squid = web.squid(refuse=True)
    program = web.program(proxy=squid.proxy)

    program.double_click_icon()

    wait_for(squid.requests, what="the Get to reach squid")
    wait_nothing_shown(program)
    assert [r["result"] for r in squid.requests()] == ["TCP_DENIED/403"]
    assert nginx.requests() == []
    assert program.log_bytes() is None


def test_a_proxy_that_cannot_be_reached_leaves_nothing_shown_and_the_next_get_works(web):
    nginx = web.nginx(FIRST)
    # squid's address, while nothing listens there yet.
    program = web.program(proxy=Squid(web.network, web.folder).proxy)

    program.double_click_icon()

    wait_nothing_shown(program)
    assert program.running() and program.log_bytes() is None
    # The proxy comes up: the next Get shows the page.
    web.squid()
    program.double_click_icon()
    assert shown_song(program) == FIRST
    assert len(nginx.requests()) == 1
