#!/usr/bin/env python3
"""Runs a command as a child subreaper: orphaned descendants (Wine's detached helpers) are
re-parented to this process and reaped, instead of lingering as zombies on machines whose first
process does not reap. Exits with the command's status."""
import ctypes
import os
import sys

PR_SET_CHILD_SUBREAPER = 36


def main():
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    child = os.fork()
    if child == 0:
        os.execvp(sys.argv[1], sys.argv[1:])
    status = 0
    while True:
        try:
            pid, st = os.wait()
        except ChildProcessError:
            break
        if pid == child:
            status = os.waitstatus_to_exitcode(st)
    sys.exit(status if status >= 0 else 128 - status)


if __name__ == "__main__":
    main()
