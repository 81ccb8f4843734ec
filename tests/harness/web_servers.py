"""Real web software for the end-to-end tests: nginx as the station's web host and squid as a
user's caching proxy, run as this test run's own processes.

They run, and the program with them, inside a StationNetwork: a private network namespace
(its own loopback, so nginx has port 80 and squid its port whatever else runs on the machine)
that is also a mount namespace in which /etc/hosts is a file of the test's own, mapping the
station's host to 127.0.0.1. The machine's /etc/hosts and services are never touched. Wine's
other processes (wineserver, explorer, the probe) stay outside; the X display and the
wineserver are reached through files, which the namespace shares.

    network = StationNetwork(folder, WireFacts.of(build_dir)).start()
    nginx = Nginx(network, folder).start()
    nginx.serve(page_bytes)
    squid = Squid(network, folder).start()
    network.fetch(url, proxy=squid.proxy)      # a plain request from inside
    program = desktop.start_program_in(network, proxy=squid.proxy)
    ...
    squid.stop(); nginx.stop(); network.stop()

Configuration files and logs are written into folder (under the build folder).
"""

import os
import select
import signal
import subprocess
import time

from session import WAIT_S, HarnessError, own_group_dying_with_parent, wait_for
SQUID_PORT = 3128
# Windows reports a connection only with an interface other than the loopback and a gateway:
# a pair of virtual interfaces and a default route give the namespace both. Nothing outside
# is reachable through them, and nothing needs to be.
ONLINE = " && ".join(["ip link add cantivo0 type veth peer name cantivo1",
                      "ip addr add 10.213.0.1/24 dev cantivo0",
                      "ip link set cantivo0 up", "ip link set cantivo1 up",
                      "ip route add default via 10.213.0.2 dev cantivo0"])
STOP_S = 10


def _stop_process(process, name):
    """SIGTERM, then SIGKILL if it has not ended within STOP_S."""
    if process is None or process.poll() is not None:
        return
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=STOP_S)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout=STOP_S)
        raise HarnessError("%s did not end within %d s of SIGTERM; killed" % (name, STOP_S)) from None


def _read_lines(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


class StationNetwork:
    """A network and mount namespace held open by an idle process; commands enter it. wire:
    the program's WireFacts, whose station host and on-air path the namespace serves."""

    def __init__(self, folder, wire):
        self.folder = os.path.abspath(folder)
        self.host = wire.station_host
        self.on_air_path = wire.on_air_path
        self.hosts_file = os.path.join(self.folder, "hosts")
        self._holder = None

    def start(self):
        os.makedirs(self.folder, exist_ok=True)
        # squid drops to its own user and must reach its logs and this file.
        os.chmod(self.folder, 0o777)
        with open(self.hosts_file, "w") as f:
            f.write("127.0.0.1 localhost\n127.0.0.1 %s\n" % self.host)
        # unshare makes mounts private to the namespace: the bind mount stays inside it.
        script = " && ".join(["ip link set lo up", ONLINE, 'mount --bind "$1" /etc/hosts', "echo ready",
                              "exec sleep 100000"])
        self._holder = subprocess.Popen(["unshare", "--mount", "--net", "--", "sh", "-c", script, "sh",
                                         self.hosts_file], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, preexec_fn=own_group_dying_with_parent)
        try:
            # The holder says ready, or ends; a limit all the same.
            waited = select.select([self._holder.stdout], [], [], WAIT_S)[0]
            line = self._holder.stdout.readline() if waited else b""
        finally:
            self._holder.stdout.close()
        if line.strip() != b"ready":
            error = self._holder.stderr.read().decode(errors="replace").strip()
            self.stop()
            raise HarnessError("could not make the station's network namespace (unshare --mount --net): %s" % error)
        return self

    def enter(self, command):
        """command, run inside the namespace."""
        return ["nsenter", "--target", str(self._holder.pid), "--net", "--mount", "--"] + list(command)

    def popen(self, command, log_path):
        log = open(log_path, "ab")
        try:
            return subprocess.Popen(self.enter(command), stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                    preexec_fn=own_group_dying_with_parent)
        finally:
            log.close()

    def fetch(self, path=None, proxy=None):
        """A plain GET of the station's path (by default the on-air page's) from inside the
        namespace, directly or through proxy: (status, body bytes)."""
        path = path or self.on_air_path
        url = "http://%s%s" % (self.host, path)
        result = subprocess.run(self.enter(["/usr/bin/python3", "-c", _FETCH, url, proxy or ""]),
                                capture_output=True, timeout=WAIT_S)
        if result.returncode != 0:
            raise HarnessError("the fetch of %s failed: %s" % (url, result.stderr.decode(errors="replace")))
        status, body = result.stdout.split(b"\n", 1)
        return int(status), body

    def stop(self):
        if self._holder and self._holder.poll() is None:
            self._holder.kill()
            self._holder.wait(timeout=STOP_S)
        if self._holder:
            self._holder.stderr.close()


# Run inside the namespace by fetch(): prints the status, a newline, then the body.
_FETCH = r"""
import sys, urllib.error, urllib.request
url, proxy = sys.argv[1], sys.argv[2]
opener = urllib.request.build_opener(urllib.request.ProxyHandler({"http": proxy} if proxy else {}))
try:
    answer = opener.open(url, timeout=10)
    status, body = answer.status, answer.read()
except urllib.error.HTTPError as error:
    status, body = error.code, error.read()
sys.stdout.buffer.write(b"%d\n" % status + body)
"""


class Nginx:
    """nginx serving the station's host on 127.0.0.1:80 inside the network, the on-air page a
    file (serve()). Its access log records, per request, the headers a cache listens to."""

    # One line per request, fields separated by tabs; "-" for a header that was not sent.
    FIELDS = ("request", "status", "user_agent", "pragma", "cache_control", "via")

    def __init__(self, network, folder):
        self.network = network
        self.folder = os.path.join(folder, "nginx")
        self.root = os.path.join(self.folder, "www")
        self.page_path = os.path.join(self.root, network.on_air_path.lstrip("/"))
        self.access_log = os.path.join(self.folder, "access.log")
        self.pid_file = os.path.join(self.folder, "nginx.pid")
        self.process = None

    def _config(self):
        temp = os.path.join(self.folder, "temp")
        return "\n".join([
            # One foreground process: nothing of it can outlive the test run.
            "daemon off;", "master_process off;",
            "pid %s;" % self.pid_file,
            "error_log %s info;" % os.path.join(self.folder, "error.log"),
            "events { worker_connections 64; }",
            "http {",
            "  log_format fields '$request\\t$status\\t$http_user_agent\\t$http_pragma\\t$http_cache_control\\t$http_via';",
            "  access_log %s fields;" % self.access_log,
            "".join("  %s_temp_path %s;" % (kind, temp) for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi")),
            "  types { text/html asp; }",
            "  server { listen 127.0.0.1:80; server_name %s; root %s; }" % (self.network.host, self.root),
            "}", ""])

    def start(self):
        os.makedirs(os.path.dirname(self.page_path), exist_ok=True)
        os.makedirs(os.path.join(self.folder, "temp"), exist_ok=True)
        config = os.path.join(self.folder, "nginx.conf")
        with open(config, "w") as f:
            f.write(self._config())
        self.process = self.network.popen(["nginx", "-c", config, "-p", self.folder],
                                          os.path.join(self.folder, "output.log"))
        # nginx writes its pid file once it listens.
        wait_for(lambda: self.process.poll() is not None or os.path.exists(self.pid_file), what="nginx to listen")
        if self.process.poll() is not None:
            raise HarnessError("nginx ended as it started; see %s" % self.folder)
        return self

    def serve(self, page, age_s=3600):
        """The on-air page's bytes from now on, last modified age_s ago. A cache keeps a page
        fresh for a share of its age (squid: refresh_pattern's percent): one modified this very
        second would be stale at once, and every cache would go back to the server anyway."""
        with open(self.page_path, "wb") as f:
            f.write(page)
        modified = time.time() - age_s
        os.utime(self.page_path, (modified, modified))

    def requests(self):
        """The access log: one dict of FIELDS per request."""
        return [dict(zip(self.FIELDS, line.split("\t"))) for line in _read_lines(self.access_log)]

    def stop(self):
        _stop_process(self.process, "nginx")


class Squid:
    """squid as a caching proxy (memory cache only) on 127.0.0.1:3128 inside the network,
    mapping the station's host to 127.0.0.1 through its own hosts_file. refuse=True denies
    every request (403). Its access log holds each request's headers as the client sent
    them."""

    def __init__(self, network, folder, refuse=False):
        self.network = network
        self.refuse = refuse
        self.folder = os.path.join(folder, "squid")
        self.access_log = os.path.join(self.folder, "access.log")
        self.cache_log = os.path.join(self.folder, "cache.log")
        self.pid_file = os.path.join(self.folder, "squid.pid")
        self.process = None

    @property
    def proxy(self):
        return "http://127.0.0.1:%d" % SQUID_PORT

    def _config(self):
        return "\n".join([
            "http_port 127.0.0.1:%d" % SQUID_PORT,
            "http_access %s localhost" % ("deny" if self.refuse else "allow"),
            "http_access deny all",
            "hosts_file %s" % self.network.hosts_file,
            "cache_mem 8 MB",
            # A cache as a company's or school's keeps a page: at least 10 minutes here.
            "refresh_pattern . 10 50% 60",
            "access_log stdio:%s" % self.access_log,
            "log_mime_hdrs on",
            "cache_log %s" % self.cache_log,
            "pid_filename %s" % self.pid_file,
            "coredump_dir %s" % self.folder,
            "visible_hostname cantivo-test-proxy",
            "pinger_enable off",
            "shutdown_lifetime 0 seconds",
            "cache_effective_user proxy", ""])

    def start(self):
        os.makedirs(self.folder, exist_ok=True)
        os.chmod(self.folder, 0o777)
        config = os.path.join(self.folder, "squid.conf")
        with open(config, "w") as f:
            f.write(self._config())
        # A service name of its own: squid names its shared state after it.
        self.process = self.network.popen(["squid", "-N", "-n", "cantivotest%d" % os.getpid(), "-f", config],
                                          os.path.join(self.folder, "output.log"))

        def ready():
            return self.process.poll() is not None or any(
                "Accepting HTTP Socket connections" in line for line in _read_lines(self.cache_log))
        wait_for(ready, what="squid to accept connections")
        if self.process.poll() is not None:
            raise HarnessError("squid ended as it started; see %s" % self.cache_log)
        # Without its hosts file squid would ask DNS for the station, and wait for its answer.
        if any("parseEtcHosts" in line for line in _read_lines(self.cache_log)):
            raise HarnessError("squid could not read %s; see %s" % (self.network.hosts_file, self.cache_log))
        return self

    def requests(self):
        """The access log: per request its result (TCP_MISS/200, TCP_MEM_HIT/200, ...), URL,
        hierarchy (HIER_DIRECT/127.0.0.1 when it went to the server) and the request's
        headers as received."""
        entries = []
        for line in _read_lines(self.access_log):
            words = line.split()
            # The request's headers, then the answer's, each in brackets, lines ending in "\r\n".
            request_headers = line.split(" [", 1)[1].split("] [", 1)[0] if " [" in line else ""
            entries.append({"result": words[3], "url": words[6], "hierarchy": words[8],
                            "headers": [h for h in request_headers.split("\\r\\n") if h]})
        return entries

    def stop(self):
        _stop_process(self.process, "squid")
