"""Wine's 32-bit half on this machine: whether it runs, and a way to run anything as on a
machine where it does not.

  wine32.py status               one line: whether 32-bit programs run under Wine here, and if
                                 not, why; exit status 0 when they run, 3 when they do not
  wine32.py hidden -- COMMAND    COMMAND run as on a machine whose kernel runs no i386 programs

Some machines of ours run no i386 programs at all, although dpkg installs wine32 there; on
those Debian's wine command, which prefers the 32-bit loader, starts nothing. hidden makes
any machine such a one for COMMAND and everything it starts: in a mount namespace of its own,
Wine's 32-bit loader and server, and the wine command that would pick the loader, are each
covered by a stub that fails as the kernel does there (status 126, "Exec format error"), and
CANTIVO_WINE32=hidden tells the harness why. A 64-bit path that leant on either would fail.
"""

import os
import sys

from wine import HIDE_VARIABLE, WINE32, why_no_32bit

NOT_RUN = 3
# What a machine without i386 support leaves unusable; Debian's wine command is a script
# that execs the 32-bit loader whenever it is there.
HIDDEN_FILES = [WINE32, "/usr/lib/wine/wineserver32", "/usr/bin/wine-stable"]
STUB = os.path.join(os.path.dirname(os.path.abspath(__file__)), "exec_format_error.sh")


def status():
    reason = why_no_32bit()
    if reason:
        print("32-bit programs do not run under Wine here: %s" % reason)
        return NOT_RUN
    print("32-bit programs run under Wine here")
    return 0


def hidden(command):
    """Becomes COMMAND (exec, no child): its signals and status are the command's own."""
    covered = [path for path in HIDDEN_FILES if os.path.exists(path)]
    env = dict(os.environ, **{HIDE_VARIABLE: "hidden"})
    mounts = 'for f in "$@"; do [ "$f" = -- ] && break; mount --bind "$0" "$f" || exit 125; shift; done; shift; '
    run = ["unshare", "--mount", "--propagation", "private", "--", "sh", "-c", mounts + 'exec "$@"', STUB] + \
        covered + ["--"] + command
    os.execvpe(run[0], run, env)


def main():
    args = sys.argv[1:]
    if args == ["status"]:
        return status()
    if args[:2] == ["hidden", "--"] and len(args) > 2:
        return hidden(args[2:])
    print("usage: wine32.py status | wine32.py hidden -- COMMAND...", file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
