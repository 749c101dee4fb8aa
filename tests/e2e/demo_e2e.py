#!/usr/bin/env python3
"""End-to-end test of the demo's set-up (scripts/lib/demo.py): it writes the settings key, the
sample database and both sites (with --fresh: an empty registry and no database), brings Apache
(or with --server nginx, nginx and fcgiwrap) up on the given ports, and Ctrl-C stops it all.
The test filter stands in for the real filter, so the site's own accounts decide here.

Usage: demo_e2e.py --module mod_isapi_filter.so --filter test_filter.so --work DIR
                   [--server nginx --nginx-module ngx_http_isapi_filter_module.so]
                   [--preload LIBASAN]
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import os
import signal
import socket
import subprocess
import time

import e2e_support as e2e
from e2e_support import basic, expect, expect_equal

import demo
import gatekeeper_state as state
from apache_process import free_port

DEMO = os.path.join(e2e.HERE, "..", "..", "scripts", "lib", "demo.py")


# Stands in for the site manager program: shows what a CGI program of the demo is told.
FAKE_STEWARD = """#!/bin/sh
printf 'Content-Type: text/plain\\r\\n\\r\\n'
echo "GATEKEEPER_REGISTRY=${GATEKEEPER_REGISTRY-(unset)}"
echo "AUTH_USER=${AUTH_USER-(unset)}"
"""


def fake_build(work, module, filter_library, nginx_module=None):
    """A build directory holding the module(s), the test filter in the filter's place and a
    stand-in for a CGI program of each site."""
    steward = os.path.join(work, "fake-steward")
    e2e.write_file(steward, FAKE_STEWARD, 0o755)
    programs = {demo.SITE_PROGRAMS["steward"]: steward, demo.ADMIN_PROGRAMS["overseer"]: steward}
    if nginx_module:
        programs[demo.NGINX_MODULE] = nginx_module
    return e2e.demo_build(work, module, filter_library, programs)


# More connections than the demo's Apache once had threads (16).
SLOW_CONNECTIONS = 40


def hold_slow_connections(port, count):
    """count connections that have sent part of a request's headers and no more."""
    held = []
    try:
        for _ in range(count):
            connection = socket.create_connection(("127.0.0.1", port), timeout=10)
            held.append(connection)
            connection.sendall(b"GET / HTTP/1.1\r\nHost: localhost\r\n")
    except OSError:
        release(held)
        raise
    return held


def release(connections):
    for connection in connections:
        connection.close()


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
    # Users may be mapped to the listed NT accounts: never to the administrator's.
    expect("{ administrator:" not in database, "the administrator's account is an NT account")


def check_private_data(root, site, programs="cgi-bin/"):
    """Everything that holds a password is for Apache's user and group alone, and the
    programs take no request body above their limit."""
    paths = [root, os.path.join(root, "accounts.cfg"), os.path.join(root, "passwords"),
             os.path.join(root, "backups")]
    for directory, _, files in os.walk(os.path.join(root, "registry")):
        paths += [directory] + [os.path.join(directory, name) for name in files]
    for path in paths:
        mode = os.stat(path).st_mode
        expect_equal(0, mode & 0o007, f"mode of {path} for others")
        expect_equal(0o750 if os.path.isdir(path) else 0o640, mode & 0o777, f"mode of {path}")
    r = e2e.fetch(site + programs + "steward", basic(*state.SAMPLE_SITE_MANAGER),
                  data="x" * (65536 + 1))
    expect_equal(413, r.status, f"a body above the limit: {r}")


def check_fresh_state(root, welcome):
    expect_equal([], os.listdir(os.path.join(root, "registry")), "an empty registry")
    expect(not os.path.exists(os.path.join(root, "accounts.cfg")), "no database")
    expect(os.path.isdir(os.path.join(root, "backups")), "backup directory")
    for line in (f"Configuration file:  {os.path.join(root, 'accounts.cfg')}",
                 f"Backup directory:    {os.path.join(root, 'backups')}"):
        expect(line in welcome, f"the welcome does not say what to type: {line}")


def run_demo(args, checks, build, state_directory, options, while_running):
    options = [*options, "--server", args.server]
    """Runs the demo with options on free ports, runs while_running(welcome, root, site,
    admin) while it serves, then stops it as Ctrl-C does and checks that it is gone."""
    site_port, admin_port = free_port(), free_port()
    env = dict(os.environ)
    if args.preload:
        env["LD_PRELOAD"] = args.preload
    process = subprocess.Popen(
        [sys.executable, DEMO, "--build", build, "--state", state_directory,
         "--site-port", str(site_port), "--admin-port", str(admin_port), *options],
        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    try:
        welcome = read_until(process, "Ctrl-C stops the demo.", 30)
        root = welcome.split("(state in ", 1)[1].split(")", 1)[0]
        while_running(welcome, root, f"http://127.0.0.1:{site_port}/",
                      f"http://127.0.0.1:{admin_port}/")
    finally:
        process.send_signal(signal.SIGINT)  # what Ctrl-C does
        try:
            code = process.wait(20)
        except subprocess.TimeoutExpired:
            process.kill()
            code = None
        process.stdout.close()
        process.stderr.close()

    def stopped():
        expect_equal(0, code, "demo exit code after Ctrl-C")
        for port in (site_port, admin_port):
            try:
                e2e.fetch(f"http://127.0.0.1:{port}/")
            except subprocess.CalledProcessError:
                continue
            raise AssertionError(f"port {port} still answers")
    checks.run("ctrl_c_stops_everything " + " ".join(options), stopped)


def run(args, work):
    checks = e2e.Checks()

    missing = subprocess.run([sys.executable, DEMO, "--build", os.path.join(work, "empty"),
                              "--state", os.path.join(work, "unused")],
                             capture_output=True, text=True, timeout=30)
    checks.run("demo_refuses_to_run_without_the_filter", lambda: (
        expect(missing.returncode != 0, "exit code"),
        expect("has not been built yet" in missing.stderr, missing.stderr)))

    build = fake_build(work, args.module, args.filter, args.nginx_module)
    programs = demo.PROGRAM_PATHS[args.server].lstrip("/")

    def sample_state(welcome, root, site, admin):
        site_port = int(site.rstrip("/").rsplit(":", 1)[1])
        checks.run("demo_writes_the_settings_and_the_sample_database", check_state, root, site_port)
        checks.run("demo_keeps_its_data_private", check_private_data, root, site, programs)

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
            expect_equal(401, e2e.fetch(site + programs + "steward",
                                        basic("webuser", "webpass")).status,
                         "steward for anyone but the site's manager")
            r = e2e.fetch(site + programs + "steward", basic(*state.SAMPLE_SITE_MANAGER))
            expect_equal(200, r.status, "a CGI program the build has")
            expect_equal(os.path.join(root, "registry"), r.cgi()["GATEKEEPER_REGISTRY"],
                         "CGI programs find the settings key")
            expect("steward" in welcome, "installed programs in the welcome")
        checks.run("demo_serves_both_sites", sites_answer)

        def unknown_host_names_are_refused():
            for options in ({"headers": ["Host: evil.example"]},
                            {"request_target": "http://evil.example/"}):
                for url in (site, admin):
                    r = e2e.fetch(url, basic("webuser", "webpass"), **options)
                    expect_equal(403, r.status, f"{url} with {options}")
                    expect_equal([], r.all("X-Test-Filter-Saw"), "no filter for no site")
            r = e2e.fetch(site, basic("webuser", "webpass"), headers=["Host: localhost"])
            expect_equal(200, r.status, "the site's own name")
        checks.run("demo_refuses_unknown_host_names", unknown_host_names_are_refused)

        def administration_is_the_administrators():
            for path in ("", programs + "overseer"):
                r = e2e.fetch(admin + path, basic("webuser", "webpass"))
                expect_equal(401, r.status, f"a server account on /{path}")
                r = e2e.fetch(admin + path, basic("administrator", "adminpass"))
                expect_equal(200, r.status, f"the administrator on /{path}")
        checks.run("demo_administration_is_the_administrators_alone",
                   administration_is_the_administrators)

        def slow_connections_leave_room():
            site_port = int(site.rstrip("/").rsplit(":", 1)[1])
            held = hold_slow_connections(site_port, SLOW_CONNECTIONS)
            try:
                for url, account in ((site, ("webuser", "webpass")),
                                     (admin, ("administrator", "adminpass"))):
                    expect_equal(200, e2e.fetch(url, basic(*account)).status, url)
            finally:
                release(held)
        checks.run("demo_answers_beside_slow_connections", slow_connections_leave_room)
    run_demo(args, checks, build, os.path.join(work, "state"), [], sample_state)

    def fresh_state(welcome, root, site, admin):
        checks.run("fresh_demo_starts_without_settings_and_database", check_fresh_state, root,
                   welcome)
    run_demo(args, checks, build, os.path.join(work, "fresh-state"), ["--fresh"], fresh_state)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(e2e.main(run, with_mpm=False, optional_arguments={"--server": "apache",
                                                               "--nginx-module": None}))
