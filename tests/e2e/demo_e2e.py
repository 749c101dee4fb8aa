#!/usr/bin/env python3
"""End-to-end test of the demo's set-up (scripts/lib/demo.py): it writes the settings key, the
sample database and both sites, brings Apache up on the given ports, and Ctrl-C stops it all.
The test filter stands in for the real filter, so the site's own accounts decide here.

Usage: demo_e2e.py --module mod_isapi_filter.so --filter test_filter.so --work DIR
                   [--preload LIBASAN]
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import os
import signal
import subprocess
import time

import e2e_support as e2e
from e2e_support import basic, expect, expect_equal

import gatekeeper_state as state
from apache_process import free_port

DEMO = os.path.join(e2e.HERE, "..", "..", "scripts", "lib", "demo.py")


# Stands in for the site manager program: shows what a CGI program of the demo is told.
FAKE_STEWARD = """#!/bin/sh
printf 'Content-Type: text/plain\\r\\n\\r\\n'
echo "GATEKEEPER_REGISTRY=${GATEKEEPER_REGISTRY-(unset)}"
echo "AUTH_USER=${AUTH_USER-(unset)}"
"""


def fake_build(work, module, filter_library):
    """A build directory holding the module, the test filter in the filter's place and a
    stand-in for one CGI program."""
    build = os.path.join(work, "build")
    for link, target in ((os.path.join(build, "host", "apache", "mod_isapi_filter.so"), module),
                         (os.path.join(build, "filter", "sentry.so"), filter_library)):
        os.makedirs(os.path.dirname(link), exist_ok=True)
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.path.abspath(target), link)
    e2e.write_file(os.path.join(build, "site", "steward"), FAKE_STEWARD, 0o755)
    return build


def read_until(process, marker, timeout):
    """The demo's output up to the line holding marker."""
    deadline = time.monotonic() + timeout
    lines = []
    while time.monotonic() < deadline:
        line = process.stdout.readline()
        if not line:
            break
        lines.append(line)
        if marker in line:
            return "".join(lines)
    raise AssertionError("demo did not come up:\n" + "".join(lines) + process.stderr.read())


def check_state(root, site_port):
    key = os.path.join(root, "registry", *state.SETTINGS_KEY)
    with open(os.path.join(key, "Configuration File"), "rb") as f:
        expect_equal(os.path.join(root, "accounts.cfg").encode() + b"\0", f.read(), "settings")
    with open(os.path.join(key, "Backup directory"), "rb") as f:
        expect_equal(os.path.join(root, "backups").encode() + b"\0", f.read(), "backups value")
    expect(os.path.isdir(os.path.join(root, "backups")), "backup directory")
    with open(os.path.join(root, "accounts.cfg"), encoding="latin-1") as f:
        database = f.read()
    for line in (f"(string)localhost|{site_port}=Staff", f"(string)127.0.0.1|{site_port}=Staff",
                 f"(string)log={os.path.join(root, 'events.log')}", "(string)MapTo=webuser"):
        expect(line in database, f"{line} missing from the sample database")


def run(args, work):
    checks = e2e.Checks()

    missing = subprocess.run([sys.executable, DEMO, "--build", os.path.join(work, "empty"),
                              "--state", os.path.join(work, "unused")],
                             capture_output=True, text=True, timeout=30)
    checks.run("demo_refuses_to_run_without_the_filter", lambda: (
        expect(missing.returncode != 0, "exit code"),
        expect("has not been built yet" in missing.stderr, missing.stderr)))

    site_port, admin_port = free_port(), free_port()
    env = dict(os.environ)
    if args.preload:
        env["LD_PRELOAD"] = args.preload
    demo = subprocess.Popen(
        [sys.executable, DEMO, "--build", fake_build(work, args.module, args.filter),
         "--state", os.path.join(work, "state"), "--site-port", str(site_port),
         "--admin-port", str(admin_port)],
        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    try:
        welcome = read_until(demo, "Ctrl-C stops the demo.", 30)
        root = welcome.split("(state in ", 1)[1].split(")", 1)[0]
        site = f"http://127.0.0.1:{site_port}/"
        admin = f"http://127.0.0.1:{admin_port}/"

        checks.run("demo_writes_the_settings_and_the_sample_database", check_state, root, site_port)

        def sites_answer():
            expect(f"curl -u john:secret {site}" in welcome, "sample command in the welcome")
            r = e2e.fetch(site)
            expect_equal(401, r.status, "anonymous on the protected site")
            expect_equal(["(anonymous)"], r.all("X-Test-Filter-Saw"), "filter on the site")
            expect_equal(200, e2e.fetch(site, basic("webuser", "webpass")).status, "server account")
            expect_equal(401, e2e.fetch(admin).status, "anonymous on the administration site")
            r = e2e.fetch(admin, basic("administrator", "adminpass"))
            expect_equal(200, r.status, "administrator")
            expect_equal(["administrator"], r.all("X-Test-Filter-Saw"), "filter on every site")
            r = e2e.fetch(site + "cgi-bin/steward", basic("webuser", "webpass"))
            expect_equal(200, r.status, "a CGI program the build has")
            expect_equal(os.path.join(root, "registry"), r.cgi()["GATEKEEPER_REGISTRY"],
                         "CGI programs find the settings key")
            expect("steward" in welcome, "installed programs in the welcome")
        checks.run("demo_serves_both_sites", sites_answer)
    finally:
        demo.send_signal(signal.SIGINT)  # what Ctrl-C does
        try:
            code = demo.wait(20)
        except subprocess.TimeoutExpired:
            demo.kill()
            code = None
        demo.stdout.close()
        demo.stderr.close()

    def stopped():
        expect_equal(0, code, "demo exit code after Ctrl-C")
        for port in (site_port, admin_port):
            try:
                e2e.fetch(f"http://127.0.0.1:{port}/")
            except subprocess.CalledProcessError:
                continue
            raise AssertionError(f"port {port} still answers")
    checks.run("ctrl_c_stops_everything", stopped)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(e2e.main(run, with_mpm=False))
