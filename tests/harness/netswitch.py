"""A network of a session's own that can be switched off and on under running programs.

Wine's programs ask Windows whether the computer is connected, and Wine answers from the
network adapters it finds: connected when an adapter other than the loopback has a gateway.
Here the whole session (wineserver, Wine's services, the probe, the programs) runs in a Linux
network namespace of its own, holding a loopback and a pair of virtual Ethernet adapters
with a default route. Taking the adapter down takes its route with it: the system is then
offline for every program, the running ones too, while the loopback (and so the station)
keeps working. Bringing it up and the route back puts it online again.

    network = SwitchableNetwork().start()
    session.network = network            # before session.start(): every process runs inside
    with network.inside():
        station = Station(...)           # its socket listens inside
    network.switch(online=False)
    network.stop()

It needs root (unshare -n, nsenter), as the offline sessions do.
"""

import contextlib
import ctypes
import os
import subprocess
import threading

from session import HarnessError, WAIT_S, own_group_dying_with_parent, wait_for

CLONE_NEWNET = 0x40000000
# The namespace lives while any process is in it; its holder at most this long.
HOLDER_LIFETIME_S = 24 * 3600
ADAPTER, PEER = "cantivo0", "cantivo1"
ADDRESS, GATEWAY = "10.213.0.1/24", "10.213.0.2"

_libc = ctypes.CDLL(None, use_errno=True)


class SwitchableNetwork:
    def __init__(self):
        self.holder = None

    def start(self):
        self.holder = subprocess.Popen(["unshare", "-n", "--", "sleep", str(HOLDER_LIFETIME_S)],
                                       stdin=subprocess.DEVNULL, preexec_fn=own_group_dying_with_parent)
        try:
            own = os.readlink("/proc/self/ns/net")
            wait_for(lambda: self._namespace() not in (None, own), what="the network namespace to be made")
            self._ip("link", "set", "lo", "up")
            self._ip("link", "add", ADAPTER, "type", "veth", "peer", "name", PEER)
            self._ip("addr", "add", ADDRESS, "dev", ADAPTER)
            self._ip("link", "set", PEER, "up")
            self.switch(online=True)
        except BaseException:
            self.stop()
            raise
        return self

    def stop(self):
        if self.holder:
            self.holder.kill()
            self.holder.wait(timeout=WAIT_S)
            self.holder = None

    def _namespace(self):
        try:
            return os.readlink("/proc/%d/ns/net" % self.holder.pid)
        except OSError:
            return None

    def enter(self, command):
        """command run inside the namespace."""
        return ["nsenter", "-t", str(self.holder.pid), "-n", "--"] + list(command)

    def _ip(self, *args):
        result = subprocess.run(self.enter(["ip"] + list(args)), capture_output=True, text=True, timeout=WAIT_S)
        if result.returncode != 0:
            raise HarnessError("ip %s: %s" % (" ".join(args), result.stderr.strip()))

    def switch(self, online):
        """The adapter up with its default route, or down without it."""
        if online:
            self._ip("link", "set", ADAPTER, "up")
            self._ip("route", "replace", "default", "via", GATEWAY, "dev", ADAPTER)
        else:
            self._ip("link", "set", ADAPTER, "down")

    @contextlib.contextmanager
    def inside(self):
        """The calling thread inside the namespace for the block: sockets made there belong to
        it and stay there after."""
        own_path = "/proc/self/task/%d/ns/net" % threading.get_native_id()
        with open(own_path) as own, open("/proc/%d/ns/net" % self.holder.pid) as target:
            _setns(target.fileno())
            try:
                yield
            finally:
                _setns(own.fileno())


def _setns(fd):
    if _libc.setns(fd, CLONE_NEWNET) != 0:
        raise HarnessError("setns: %s" % os.strerror(ctypes.get_errno()))
