#!/usr/bin/env python3
"""End-to-end tests of the command-line program gatekeeper beside the demo's set-up (scripts/
lib/demo.py on free loopback ports, the sample database, the filter sentry protecting the site,
overseer on the administration port): a user added from the command line while Apache runs is
let in at the next request, and the database stays Apache's to write; a password typed on a
terminal is not shown; twenty gatekeeper runs
at once beside twenty overseer AddUserDo requests lose no change.

Usage: cli_e2e.py --module mod_isapi_filter.so --filter sentry.so --overseer overseer
                  --gatekeeper gatekeeper --mpm event|prefork --work DIR [--preload LIBASAN]
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import json
import os
import pty
import select
import subprocess
import threading
import urllib.parse

import e2e_support as e2e
from e2e_support import basic, expect, expect_equal

import apache_config as conf
import demo
import gatekeeper_state as state
from apache_process import ApacheProcess, free_port

ADMINISTRATOR = ("administrator", state.SAMPLE_NT_ACCOUNTS["administrator"])
CONCURRENT_RUNS = 20


class Deployment:
    def __init__(self, args, work):
        run_user = conf.unprivileged_user()
        self.root = conf.state_directory(os.path.join(work, "sample"), run_user)
        build = e2e.demo_build(os.path.join(work, "build"), args.module, args.filter,
                               {demo.ADMIN_PROGRAMS["overseer"]: args.overseer})
        self.site_port, self.admin_port = free_port(), free_port()
        self.server, programs = demo.prepare(build, self.root, run_user, self.site_port,
                                             self.admin_port, mpm=args.mpm)
        expect_equal(["overseer"], programs, "programs installed")
        self.gatekeeper = args.gatekeeper
        self.database = demo.database_path(self.root)
        self.environment = dict(os.environ, GATEKEEPER_REGISTRY=os.path.join(self.root, "registry"))
        self.apache = ApacheProcess(self.server, env=self.environment, preload=args.preload)

    def run(self, *arguments, stdin=""):
        """gatekeeper with the arguments, finding the database through the demo's settings key."""
        return subprocess.run([self.gatekeeper, *arguments], input=stdin.encode("latin-1"),
                              env=self.environment, capture_output=True, timeout=60)

    def run_on_terminal(self, arguments, typed):
        """gatekeeper on a terminal of its own, each line of typed sent once the program's
        next prompt has appeared; returns (status, everything the terminal showed)."""
        pid, terminal = pty.fork()
        if pid == 0:
            os.execve(self.gatekeeper, [self.gatekeeper, *arguments], self.environment)
        shown = b""
        pending = list(typed)
        prompts = 0
        while True:
            ready, _, _ = select.select([terminal], [], [], 60)
            if not ready:
                os.kill(pid, 9)
                break
            try:
                chunk = os.read(terminal, 1024)
            except OSError:  # the program ended and closed the terminal
                break
            if not chunk:
                break
            shown += chunk
            if pending and shown.count(b"assword: ") > prompts:
                prompts += 1
                os.write(terminal, pending.pop(0).encode("latin-1") + b"\n")
        _, status = os.waitpid(pid, 0)
        os.close(terminal)
        return os.waitstatus_to_exitcode(status), shown.decode("latin-1")

    def site(self, account):
        return e2e.fetch(f"http://127.0.0.1:{self.site_port}/", basic(*account))

    def overseer_add(self, user):
        body = urllib.parse.urlencode({"Authority": state.SAMPLE_AUTHORITY, "User": user,
                                       "Pass": "pw", "MapTo": "ON", "NTAcc": "webuser",
                                       "Expire": "", "noexpiration": "1", "B1": "Submit"})
        return e2e.fetch(f"http://127.0.0.1:{self.admin_port}/cgi-bin/overseer?Action=AddUserDo",
                         basic(*ADMINISTRATOR), data=body)

    def users(self):
        listed = self.run("user", "list", state.SAMPLE_AUTHORITY, "--json")
        expect_equal(0, listed.returncode, listed.stderr)
        return {user["name"] for user in json.loads(listed.stdout.decode("latin-1"))}


class CommandLineTests:
    def __init__(self, deployment):
        self.d = deployment

    def added_user_is_let_in_at_the_next_request(self):
        expect_equal(401, self.d.site(("newbie", "fresh pass")).status, "before adding")
        before = os.stat(self.d.database)
        added = self.d.run("user", "add", state.SAMPLE_AUTHORITY, "newbie", "--password-stdin",
                           "--map-to", "webuser", stdin="fresh pass\n")
        expect_equal(0, added.returncode, added.stderr)
        expect_equal(b"User newbie added to authority Staff\n", added.stdout, "confirmation")
        # Whoever ran the command, the database (and its lock) stay Apache's to write.
        after = os.stat(self.d.database)
        expect_equal((before.st_uid, before.st_gid, before.st_mode & 0o777),
                     (after.st_uid, after.st_gid, after.st_mode & 0o777), "owner, group, mode")
        lock = os.stat(self.d.database + ".lock")
        expect_equal((before.st_uid, before.st_gid), (lock.st_uid, lock.st_gid), "lock owner")
        expect_equal(200, self.d.site(("newbie", "fresh pass")).status, "after adding")
        expect_equal(401, self.d.site(("newbie", "wrong")).status, "wrong password")
        disabled = self.d.run("user", "set", state.SAMPLE_AUTHORITY, "newbie", "--disabled")
        expect_equal(0, disabled.returncode, disabled.stderr)
        expect_equal(401, self.d.site(("newbie", "fresh pass")).status, "disabled")

    def password_typed_on_a_terminal_is_not_shown(self):
        status, shown = self.d.run_on_terminal(
            ["user", "set", state.SAMPLE_AUTHORITY, "john", "--password"],
            ["typed secret", "typed secret"])
        expect_equal(0, status, shown)
        expect("Password: " in shown and "Repeat password: " in shown, shown)
        expect("typed secret" not in shown, f"the password was echoed: {shown!r}")
        expect("User john changed in authority Staff" in shown, shown)
        expect_equal(200, self.d.site(("john", "typed secret")).status, "the typed password")
        status, shown = self.d.run_on_terminal(
            ["user", "set", state.SAMPLE_AUTHORITY, "john", "--password"], ["one", "two"])
        expect_equal(1, status, shown)
        expect("the passwords do not match" in shown, shown)
        expect_equal(200, self.d.site(("john", "typed secret")).status, "kept after a mismatch")

    def refusal_in_the_pages_words(self):
        refused = self.d.run("user", "add", state.SAMPLE_AUTHORITY, "JOHN", "--no-map")
        expect_equal(1, refused.returncode, "status")
        expect_equal(b"User JOHN already exist in authority Staff\n", refused.stderr, "refusal")
        usage = self.d.run("user", "add", state.SAMPLE_AUTHORITY)
        expect_equal(2, usage.returncode, "usage status")
        expect(b"usage: gatekeeper" in usage.stderr, usage.stderr)

    def concurrent_runs_beside_overseer_lose_nothing(self):
        failures = []

        def by_command(number):
            result = self.d.run("user", "add", state.SAMPLE_AUTHORITY, f"bycommand{number}",
                                "--password-stdin", "--map-to", "webuser", stdin="pw\n")
            if result.returncode != 0:
                failures.append(("gatekeeper", number, result.stderr))

        def by_overseer(number):
            page = self.d.overseer_add(f"byoverseer{number}")
            if f"User <b>byoverseer{number}</b> added to authority" not in page.text:
                failures.append(("overseer", number, page.text[-300:]))

        threads = [threading.Thread(target=work, args=(number,))
                   for number in range(CONCURRENT_RUNS) for work in (by_command, by_overseer)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        expect_equal([], failures, "failed runs")
        users = self.d.users()
        missing = [name for number in range(CONCURRENT_RUNS)
                   for name in (f"bycommand{number}", f"byoverseer{number}") if name not in users]
        expect_equal([], missing, "changes lost")
        expect_equal(200, self.d.site(("bycommand7", "pw")).status, "a user added by the command")
        expect_equal(200, self.d.site(("byoverseer7", "pw")).status, "a user added by overseer")


def run(args, work):
    checks = e2e.Checks()
    deployment = Deployment(args, work)
    e2e.run_suite(deployment.apache, CommandLineTests(deployment), (
        "added_user_is_let_in_at_the_next_request", "password_typed_on_a_terminal_is_not_shown",
        "refusal_in_the_pages_words",
        "concurrent_runs_beside_overseer_lose_nothing"), checks)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(e2e.main(run, extra_arguments=["--overseer", "--gatekeeper"]))
