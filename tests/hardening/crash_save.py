#!/usr/bin/env python3
"""Saves killed half-way: overseer's AddUserDo on a large account database is killed (SIGKILL)
at random moments of its save, again and again. After every kill the database must be exactly
the file before the change or exactly the file after it, never anything else; the temporary
file a killed save leaves is removed by the next save; a last, complete save leaves none.

Usage: crash_save.py --overseer PATH --work DIR [--users 100000] [--kills 200] [--seed N]
Prints its figures; exits 1 on the first fault."""

import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts", "lib"))

import gatekeeper_state as state  # noqa: E402  (found through the path above)

BODY = b"Authority=Staff&User=crashuser&Pass=pw&MapTo=ON&NTAcc=web&Expire=&noexpiration=1&B1=Submit"
# Temporary files of a save: the database's name, ".~tmp-" and six characters.
TEMPORARY_INFIX = ".~tmp-"


def database_text(users):
    staff = {f"user{i:06d}": {"Password": f"pw{i}", "MapTo": "web"} for i in range(users)}
    return state.database_text({}, {"intranet": "Staff"}, {"Staff": staff}, {"web": "ntpass"})


class Setup:
    def __init__(self, args):
        self.overseer = os.path.abspath(args.overseer)
        self.work = os.path.abspath(args.work)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.database = os.path.join(self.work, "accounts.cfg")
        registry = os.path.join(self.work, "registry")
        state.write_settings(registry, self.database, os.path.join(self.work, "backups"))
        self.body = os.path.join(self.work, "body")
        with open(self.body, "wb") as f:
            f.write(BODY)
        self.env = dict(os.environ, GATEKEEPER_REGISTRY=registry, QUERY_STRING="Action=AddUserDo",
                        CONTENT_LENGTH=str(len(BODY)), SCRIPT_NAME="/cgi-bin/overseer",
                        REQUEST_METHOD="POST")

    def temporaries(self):
        prefix = os.path.basename(self.database) + TEMPORARY_INFIX
        return {name for name in os.listdir(self.work) if name.startswith(prefix)}

    def contents(self):
        with open(self.database, "rb") as f:
            return f.read()

    def restore(self, contents):
        """Puts contents in place the way a save does (never a half-written database)."""
        staging = os.path.join(self.work, "staging")
        with open(staging, "wb") as f:
            f.write(contents)
        os.replace(staging, self.database)

    def start(self):
        with open(self.body, "rb") as body:
            return subprocess.Popen([self.overseer], stdin=body, stdout=subprocess.DEVNULL,
                                    env=self.env, cwd=self.work)

    def wait_for_save(self, process, before):
        """Polls until a new temporary file appears (the save has begun) or the run ends;
        returns the moment the save began, or None."""
        while process.poll() is None:
            if self.temporaries() - before:
                return time.monotonic()
        return None


def fail(message):
    print(f"crash_save: FAULT: {message}", file=sys.stderr)
    sys.exit(1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--overseer", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--users", type=int, default=100000)
    parser.add_argument("--kills", type=int, default=200)
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    setup = Setup(args)

    setup.restore(database_text(args.users).encode("latin-1"))
    old = setup.contents()
    started = time.monotonic()
    process = setup.start()
    save_began = setup.wait_for_save(process, set())
    if process.wait() != 0 or save_began is None:
        fail("the complete run did not save")
    save_window = time.monotonic() - save_began
    run_time = time.monotonic() - started
    new = setup.contents()
    if new == old or b"crashuser" not in new:
        fail("the complete run did not add the user")
    if setup.temporaries():
        fail(f"a complete save left {setup.temporaries()}")

    outcomes = {"old": 0, "new": 0}
    killed_during_save = 0
    stale_removed = 0
    began = time.monotonic()
    for kill in range(args.kills):
        setup.restore(old)
        stale = setup.temporaries()
        if len(stale) > 1:
            fail(f"kill {kill}: temporary files piled up: {sorted(stale)}")
        process = setup.start()
        moment = setup.wait_for_save(process, stale)
        if moment is not None:
            # The previous kill's file is gone once this save has begun.
            if stale & setup.temporaries():
                fail(f"kill {kill}: the save did not remove the stale {sorted(stale)}")
            stale_removed += len(stale)
            time.sleep(rng.uniform(0, save_window * 1.1))
            if process.poll() is None:
                killed_during_save += 1
            process.send_signal(signal.SIGKILL)
        process.wait()
        contents = setup.contents()
        if contents == old:
            outcomes["old"] += 1
        elif contents == new:
            outcomes["new"] += 1
        else:
            fail(f"kill {kill}: the database is neither the old nor the new file "
                 f"({len(contents)} bytes; old {len(old)}, new {len(new)}); seed {seed}")

    # A last complete save cleans up after the last kill and leaves nothing behind.
    setup.restore(old)
    process = setup.start()
    if process.wait() != 0 or setup.contents() != new:
        fail("the last complete run did not save the change")
    if setup.temporaries():
        fail(f"temporary files left after a complete save: {sorted(setup.temporaries())}")

    print(f"crash_save: {args.kills} kills on {args.users} users ({len(old)} bytes), seed {seed}: "
          f"{killed_during_save} killed while saving, database old {outcomes['old']} / "
          f"new {outcomes['new']}, never torn; {stale_removed} stale temporary files removed by "
          f"the next save; complete run {run_time:.2f} s, save {save_window:.2f} s; "
          f"{time.monotonic() - began:.0f} s in all")
    return 0


if __name__ == "__main__":
    sys.exit(main())
