#!/bin/sh
# Stands in for an i386 program where wine32.py hides Wine's 32-bit half: it fails as the
# kernel of a machine that runs no i386 programs makes it fail.
echo "$0: cannot execute binary file: Exec format error (hidden by wine32.py)" >&2
exit 126
