#!/usr/bin/env python3
"""End-to-end tests of the filter sentry in Apache through mod_isapi_filter: a sample account
database and settings key, three loopback ports (a bound site, a port no binding covers, a
binding to a missing authority), driven with curl; failed logons read by fail2ban's stock
filter; a database that cannot be loaded at start and after a graceful restart.

Usage: sentry_e2e.py --module mod_isapi_filter.so --filter sentry.so --mpm event|prefork
                     --work DIR [--preload LIBASAN]
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import glob
import os
import signal
import subprocess
import time

import e2e_support as e2e
from e2e_support import basic, eventually, expect, expect_equal

import apache_config as conf
import gatekeeper_state as state
from apache_process import ApacheProcess, free_port

REALM = "Kestrel test"
SERVER_ACCOUNTS = {"webuser": "webpass", "alice": "alicepw"}
STAFF = {
    "john": {"Password": "secret", "MapTo": "webuser"},
    "mary": {"Password": "lamb", "MapTo": "webuser"},
    "guest": {"Password": "guest", "MapTo": "webuser", "disabled": 1},
    "old": {"Password": "old", "MapTo": "webuser", "expiredate": "1/1/2000"},
    "alice": {"Password": "ignored", "DoNotMap": 1},
}
# A page that caches may keep for five minutes, showing whose it is.
CACHEABLE_PAGE = """#!/bin/sh
printf 'Content-Type: text/plain\\r\\nCache-Control: max-age=300\\r\\n\\r\\n'
echo "AUTH_USER=${AUTH_USER-(unset)}"
"""
# Files beside the account database, or of its backups, as they would lie in a web root.
ACCOUNT_FILES = ("accounts.cfg", "accounts.cfg.lock", "accounts.cfg.Xy12Zw",
                 "backups/Portcullis-2026.01.02-03.04.05.cfg")


class Deployment:
    """The state directory, the database and the Apache configuration of one run."""

    def __init__(self, args, work, name="sentry"):
        self.run_user = conf.unprivileged_user()
        self.root = conf.state_directory(os.path.join(work, f"{name}-{args.mpm}"), self.run_user)
        self.site_port, self.plain_port, self.missing_port = free_port(), free_port(), free_port()
        self.database = os.path.join(self.root, "accounts.cfg")
        self.backups = os.path.join(self.root, "backups")
        self.events = os.path.join(self.root, "events.log")
        self.registry = os.path.join(self.root, "registry")
        os.makedirs(self.backups)
        state.write_settings(self.registry, self.database, self.backups)
        self.write_database(STAFF)

        docs = os.path.join(self.root, "htdocs")
        cgi = os.path.join(self.root, "cgi-bin")
        e2e.write_file(os.path.join(docs, "index.html"), "<p>site</p>\n")
        for name in ACCOUNT_FILES:
            e2e.write_file(os.path.join(docs, name), "(string)Password=secret\n")
        e2e.write_file(os.path.join(cgi, "whoami"), e2e.WHOAMI, 0o755)
        cached = os.path.join(self.root, "cached-cgi")
        e2e.write_file(os.path.join(cached, "page"), CACHEABLE_PAGE, 0o755)
        passwords = os.path.join(self.root, "passwords")
        conf.write_password_file(passwords, SERVER_ACCOUNTS)
        filters = [os.path.abspath(args.filter)]
        locations = [conf.Location("/", require_user=True),
                     conf.Location("/cgi-bin/", require_user=True, script_dir=cgi),
                     conf.Location("/cached/", require_user=True, script_dir=cached,
                                   directives=["CacheEnable disk"]),
                     conf.Location("/cached-open/", script_dir=cached,
                                   directives=["CacheEnable disk"])]
        sites = [conf.Site(port, docs, REALM, filters, list(locations))
                 for port in (self.site_port, self.plain_port, self.missing_port)]
        self.server = conf.Server(os.path.join(self.root, "apache"), os.path.abspath(args.module),
                                  passwords, sites, mpm=args.mpm, run_user=self.run_user,
                                  disk_cache=True)
        conf.write(self.server)
        conf.give_to_run_user(self.root, self.run_user)

    def write_database(self, staff):
        bindings = {}
        for host in ("localhost", "127.0.0.1"):
            bindings[state.binding_key(host, self.site_port)] = "Staff"
            bindings[state.binding_key(host, self.missing_port)] = "Gone"
        text = state.database_text({"log": self.events}, bindings, {"Staff": staff},
                                   {"webuser": "webpass"})
        state.write_database(self.database, text)

    def error_log_lines(self):
        return e2e.lines_of(self.server.error_log)

    def event_ids(self):
        return [int(line.split(",", 1)[0]) for line in e2e.lines_of(self.events, "latin-1")
                if line]


class SentryTests:
    def __init__(self, deployment, mpm):
        self.d = deployment
        self.mpm = mpm
        self.site = f"http://127.0.0.1:{deployment.site_port}"

    def get(self, url, user=None, password=None, **options):
        return e2e.fetch(url, basic(user, password) if user is not None else None, **options)

    def mapped_user_runs_as_the_server_account(self):
        for host in ("127.0.0.1", "localhost"):
            r = self.get(f"http://{host}:{self.d.site_port}/cgi-bin/whoami", "john", "secret")
            expect_equal(200, r.status, f"john on {host}")
            expect_equal(("john", "webuser"), (r.cgi()["AUTH_USER"], r.cgi()["LOGON_USER"]),
                         "AUTH_USER, LOGON_USER")

    def refused_users_get_a_challenge(self):
        for user, password in (("john", "wrong"), ("guest", "guest"), ("old", "old"),
                               ("stranger", "x")):
            r = self.get(self.site + "/", user, password)
            expect_equal(401, r.status, user)
            expect_equal("Access Denied", r.reason, user)
            expect_equal(f'Basic realm="{REALM}"', r.header("WWW-Authenticate"), user)

    def unmapped_user_is_checked_by_apache(self):
        r = self.get(self.site + "/cgi-bin/whoami", "alice", "alicepw")
        expect_equal(200, r.status, "alice with her server password")
        expect_equal(("alice", "alice"), (r.cgi()["AUTH_USER"], r.cgi()["LOGON_USER"]), "identity")
        expect_equal(401, self.get(self.site + "/", "alice", "ignored").status, "database password")

    def unbound_port_passes_through(self):
        plain = f"http://127.0.0.1:{self.d.plain_port}/"
        expect_equal(200, self.get(plain, "webuser", "webpass").status, "server account")
        expect_equal(401, self.get(plain, "john", "secret").status, "site user unknown to Apache")

    def missing_authority_is_not_found(self):
        r = self.get(f"http://127.0.0.1:{self.d.missing_port}/", "john", "secret")
        expect_equal(404, r.status, "binding to a missing authority")

    def one_event_line_per_decision(self):
        before = len(self.d.event_ids())
        self.get(self.site + "/", "john", "secret")
        self.get(self.site + "/", "john", "wrong")
        self.get(self.site + "/")
        self.get(f"http://127.0.0.1:{self.d.plain_port}/", "webuser", "webpass")
        expect_equal([0, 4, 10, 12], self.d.event_ids()[before:], "event ids")

    def unknown_host_names_reach_no_site(self):
        """A Host header (or an absolute request URI) naming a host that no binding covers
        neither skips the site's users nor lets a server account log on to a bound site."""
        for options in ({"headers": ["Host: evil.example"]},
                        {"request_target": "http://evil.example/"},
                        {"headers": ["Host: evil.example:1"]},
                        {"headers": ["Host:"], "http10": True}):
            for user, password in (("webuser", "webpass"), ("john", "secret")):
                r = self.get(self.site + "/", user, password, **options)
                expect_equal(403, r.status, f"{user} with {options}")
        for host in ("LOCALHOST", "localhost.", f"127.0.0.1:{self.d.plain_port}"):
            r = self.get(self.site + "/cgi-bin/whoami", "john", "secret", headers=[f"Host: {host}"])
            expect_equal((200, "webuser"), (r.status, r.cgi().get("LOGON_USER")), f"Host {host}")
            r = self.get(self.site + "/", "webuser", "webpass", headers=[f"Host: {host}"])
            expect_equal(401, r.status, f"server account on the bound site as {host}")

    def cached_pages_stay_with_their_user(self):
        """A page cached after authentication is never served to another mapped user."""
        plain = f"http://127.0.0.1:{self.d.plain_port}/cached-open/page"
        self.get(plain)
        r = self.get(plain)
        expect((r.header("X-Cache") or "").startswith("HIT"), f"the cache is in use: {r}")
        page = self.site + "/cached/page"
        for user, password in (("john", "secret"), ("mary", "lamb"), ("john", "secret")):
            r = self.get(page, user, password)
            expect_equal((200, user), (r.status, r.cgi().get("AUTH_USER")), f"{user}'s page")

    def account_files_are_never_served(self):
        for name in ACCOUNT_FILES:
            for path in (name, name + "/more", name.replace(".", "%2e")):
                r = self.get(f"{self.site}/{path}", "john", "secret")
                expect_equal(403, r.status, path)
                expect("Password" not in r.text, path)
        expect_equal(200, self.get(self.site + "/", "john", "secret").status, "other files")

    def filtered_sites_without_a_binding_are_named_at_start(self):
        """One warning per filtered site that no binding covers, naming the binding it needs;
        none for the bound sites."""
        warnings = [line for line in self.d.error_log_lines() if "no binding covers" in line]
        expect_equal(1, len(warnings), f"warnings {warnings}")
        expect(f"localhost:{self.d.plain_port} " in warnings[0], warnings[0])
        expect(f'localhost|{self.d.plain_port}' in warnings[0], warnings[0])
        expect(self.d.database in warnings[0], warnings[0])

    def failed_logons_reach_fail2ban(self):
        """Every refusal of the filter leaves one line in Apache's error log that fail2ban's
        apache-auth filter counts against the client's address; names from the client cannot
        forge or split a line."""
        self.get(self.site + "/", "john", "wrong")
        self.get(self.site + "/", "stranger", "x")
        self.get(self.site + "/", "guest", "guest")
        self.get(self.site + "/", "bad\r\nuser forged not found: /x", "x")
        lines = self.d.error_log_lines()
        expect(all(line.startswith("[") for line in lines if line),
                f"a line split by a user name: {[l for l in lines if not l.startswith('[')]}")
        refusals = [line for line in lines if "[isapi_filter:error]" in line and "] user " in line]
        for text in ('user john: authentication failure for "/": Password Mismatch',
                     "user stranger not found: /",
                     'user guest: authentication failure for "/": account disabled',
                     "user bad\\r\\nuser forged not found not found: /"):
            expect(any(line.endswith(text) for line in refusals), f"{text!r} in {refusals}")
        subset = os.path.join(self.d.root, "refusals.log")
        with open(subset, "w", encoding="utf-8") as f:
            f.write("\n".join(refusals) + "\n")
        out = subprocess.run(["fail2ban-regex", "-o", "<ip> <F-USER>", subset,
                              "/etc/fail2ban/filter.d/apache-auth.conf"],
                             capture_output=True, text=True, timeout=120).stdout
        found = out.splitlines()
        expect_equal(len(refusals), len(found), f"fail2ban matches {found}")
        for match in ("127.0.0.1 john:", "127.0.0.1 stranger"):
            expect(match in found, f"{match!r} in {found}")
        summary = subprocess.run(["fail2ban-regex", subset, "/etc/fail2ban/filter.d/apache-auth.conf"],
                                 capture_output=True, text=True, timeout=120).stdout
        expect(f"Failregex: {len(refusals)} total" in summary, summary)

    def changed_database_is_reloaded_with_a_backup(self):
        staff = dict(STAFF, john={"Password": "newsecret", "MapTo": "webuser"})
        self.d.write_database(staff)
        later = time.time() + 2
        os.utime(self.d.database, (later, later))
        expect_equal(200, self.get(self.site + "/", "john", "newsecret").status, "new password")
        expect_equal(401, self.get(self.site + "/", "john", "secret").status, "old password")
        # The backup is written after the response, at a lower priority than requests.
        backups = eventually(lambda: glob.glob(os.path.join(self.d.backups, "Portcullis-*.cfg")))
        if self.mpm == "event":  # one process: one reload; prefork reloads in each child
            expect_equal(1, len(backups), "backups")
        expect(backups, "no backup written")
        with open(backups[0], encoding="latin-1") as f:
            expect("Password=secret" in f.read(), "the backup holds the previous state")
        # The new content does not bind the plain port either: said again after the load.
        warnings = [line for line in self.d.error_log_lines() if "no binding covers" in line]
        expect(len(warnings) >= 2, f"warnings after the reload: {warnings}")


def wait_for(condition, what, timeout=60):
    """Polls condition until it holds; raises naming what when it does not within timeout."""
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f"not within {timeout} s: {what}")
        time.sleep(0.05)


def unloadable_database_refuses_credentials(args, work):
    """A named database that cannot be loaded, at start or after a graceful restart, gets every
    request with credentials refused with 503 (server accounts included), one line in Apache's
    error log naming the file and why, and requests without credentials still reach Apache; the
    repaired file is loaded by a later request."""
    d = Deployment(args, work, "unloadable")
    state.write_database(d.database, "")
    env = dict(os.environ, GATEKEEPER_REGISTRY=d.registry)
    apache = ApacheProcess(d.server, env=env, preload=args.preload)
    site = f"http://127.0.0.1:{d.site_port}/"

    def failures():
        return [line for line in d.error_log_lines() if "cannot be loaded: holds no sections" in line
                and d.database in line and "[isapi_filter:error]" in line]

    apache.start()
    try:
        for user, password in (("john", "secret"), ("webuser", "webpass")):
            r = e2e.fetch(site, basic(user, password))
            expect_equal((503, "Service Unavailable"), (r.status, r.reason), f"{user} at start")
        expect_equal(401, e2e.fetch(site).status, "anonymous: Apache's own challenge")
        expect(failures(), "no error line for the database at start")
        expect_equal([], d.event_ids(), "events without a database")

        d.write_database(STAFF)
        wait_for(lambda: e2e.fetch(site, basic("john", "secret")).status == 200,
                 "the repaired database decides")

        state.write_database(d.database, "")
        before = len(failures())
        generations = len([l for l in d.error_log_lines() if "resuming normal operations" in l])
        apache.process.send_signal(signal.SIGUSR1)  # graceful restart
        wait_for(lambda: len([l for l in d.error_log_lines()
                              if "resuming normal operations" in l]) > generations,
                 "the graceful restart")
        wait_for(lambda: e2e.fetch(site, basic("webuser", "webpass")).status == 503,
                 "server accounts refused after the graceful restart")
        expect(len(failures()) > before, "no error line after the graceful restart")
    finally:
        apache.stop()
    expect_equal([], e2e.faults_in_log(d.server.error_log), "faults")


def run(args, work):
    deployment = Deployment(args, work)
    # The filter reads the settings key's location from Apache's own environment.
    env = dict(os.environ, GATEKEEPER_REGISTRY=deployment.registry)
    checks = e2e.Checks()
    e2e.run_suite(ApacheProcess(deployment.server, env=env, preload=args.preload),
                  SentryTests(deployment, args.mpm), (
                      "mapped_user_runs_as_the_server_account", "refused_users_get_a_challenge",
                      "unmapped_user_is_checked_by_apache", "unbound_port_passes_through",
                      "missing_authority_is_not_found", "one_event_line_per_decision",
                      "unknown_host_names_reach_no_site", "cached_pages_stay_with_their_user",
                      "account_files_are_never_served",
                      "filtered_sites_without_a_binding_are_named_at_start",
                      "failed_logons_reach_fail2ban",
                      "changed_database_is_reloaded_with_a_backup"), checks)
    checks.run("unloadable_database_refuses_credentials", unloadable_database_refuses_credentials,
               args, work)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(e2e.main(run))
