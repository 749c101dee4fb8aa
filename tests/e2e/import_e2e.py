#!/usr/bin/env python3
"""End-to-end tests of importing an Apache password file with gatekeeper into the demo's
set-up (scripts/lib/demo.py on free loopback ports, the sample database, the filter sentry
protecting the site): users whose passwords Apache's own htpasswd hashed with bcrypt log on
through the filter as the NT account they are mapped to, a wrong password is refused, and an
apr1 user is listed as needing a new password until it is imported with --allow-weak.

Usage: import_e2e.py --module mod_isapi_filter.so --filter sentry.so --gatekeeper gatekeeper
                     --mpm event|prefork --work DIR [--preload LIBASAN]
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import os
import shutil
import subprocess

import e2e_support as e2e
from e2e_support import basic, expect, expect_equal

import apache_config as conf
import demo
import gatekeeper_state as state
from apache_process import ApacheProcess, free_port

# The site users of the password file: two hashed with bcrypt, one with apr1 (Apache's MD5).
BCRYPT_USERS = {"ann": "ann's pass", "ben": "b3n:colon"}
APR1_USER = ("cat", "meow meow")


class Deployment:
    def __init__(self, args, work):
        run_user = conf.unprivileged_user()
        self.root = conf.state_directory(os.path.join(work, "sample"), run_user)
        build = e2e.demo_build(os.path.join(work, "build"), args.module, args.filter)
        self.site_port, admin_port = free_port(), free_port()
        self.server, _ = demo.prepare(build, self.root, run_user, self.site_port, admin_port,
                                      mpm=args.mpm)
        # A CGI program on the protected site that shows as whom the request runs.
        e2e.write_file(os.path.join(self.root, "site-cgi", "whoami"), e2e.WHOAMI, 0o755)
        self.gatekeeper = args.gatekeeper
        self.database = demo.database_path(self.root)
        self.environment = dict(os.environ, GATEKEEPER_REGISTRY=os.path.join(self.root, "registry"))
        self.apache = ApacheProcess(self.server, env=self.environment, preload=args.preload)
        self.password_file = os.path.join(work, "site.htpasswd")
        self.write_password_file()

    def write_password_file(self):
        """The file as Apache's htpasswd writes it: -B for bcrypt, -m for apr1."""
        htpasswd = shutil.which("htpasswd")
        expect(htpasswd is not None, "htpasswd (apache2-utils) is needed")
        created = False
        for user, password in BCRYPT_USERS.items():
            flags = ["-c"] if not created else []
            subprocess.run([htpasswd, *flags, "-B", "-b", self.password_file, user, password],
                           check=True, capture_output=True)
            created = True
        subprocess.run([htpasswd, "-m", "-b", self.password_file, *APR1_USER], check=True,
                       capture_output=True)

    def run(self, *arguments):
        """gatekeeper with the arguments, finding the database through the demo's settings key."""
        return subprocess.run([self.gatekeeper, *arguments], env=self.environment,
                              capture_output=True, timeout=60)

    def whoami(self, user, password):
        return e2e.fetch(f"http://127.0.0.1:{self.site_port}/cgi-bin/whoami",
                         basic(user, password))


class ImportTests:
    def __init__(self, deployment):
        self.d = deployment

    def bcrypt_users_log_on_and_apr1_needs_a_new_password(self):
        for user, password in BCRYPT_USERS.items():
            expect_equal(401, self.d.whoami(user, password).status, f"{user} before the import")
        before = os.stat(self.d.database)
        imported = self.d.run("import", "htpasswd", "--authority", state.SAMPLE_AUTHORITY,
                              self.d.password_file, "--map-to", "webuser")
        expect_equal(1, imported.returncode, imported.stderr)
        expect_equal(b"ann: imported (bcrypt)\n"
                     b"ben: imported (bcrypt)\n"
                     b"cat: needs a new password: weak scheme apr1\n"
                     b"Authority Staff: 2 users imported, 0 replaced, 1 not imported\n",
                     imported.stdout, "what became of each user")
        # Whoever ran the command, the database stays Apache's to write.
        after = os.stat(self.d.database)
        expect_equal((before.st_uid, before.st_gid, before.st_mode & 0o777),
                     (after.st_uid, after.st_gid, after.st_mode & 0o777), "owner, group, mode")
        for user, password in BCRYPT_USERS.items():
            r = self.d.whoami(user, password)
            expect_equal(200, r.status, f"{user} after the import")
            expect_equal((user, "webuser"), (r.cgi()["AUTH_USER"], r.cgi()["LOGON_USER"]),
                         f"{user}: AUTH_USER, LOGON_USER")
            expect_equal(401, self.d.whoami(user, password + "x").status, f"{user}, wrong password")
        expect_equal(401, self.d.whoami(*APR1_USER).status, "cat, not imported")
        shown = self.d.run("user", "show", state.SAMPLE_AUTHORITY, "ann")
        expect_equal(0, shown.returncode, shown.stderr)
        expect(b"Password:       bcrypt\n" in shown.stdout, shown.stdout)
        expect(b"$2y$" not in shown.stdout, "the hash is never shown")

    def apr1_user_logs_on_once_weak_hashes_are_allowed(self):
        imported = self.d.run("import", "htpasswd", "--authority", state.SAMPLE_AUTHORITY,
                              self.d.password_file, "--map-to", "webuser", "--allow-weak")
        # ann and ben are there already and are left alone.
        expect_equal(1, imported.returncode, imported.stderr)
        expect_equal(b"ann: left alone: already exists\n"
                     b"ben: left alone: already exists\n"
                     b"cat: imported (apr1)\n"
                     b"Authority Staff: 1 user imported, 0 replaced, 2 not imported\n",
                     imported.stdout, "what became of each user")
        r = self.d.whoami(*APR1_USER)
        expect_equal((200, "webuser"), (r.status, r.cgi().get("LOGON_USER")), "cat")
        expect_equal(401, self.d.whoami(APR1_USER[0], "meow").status, "cat, wrong password")
        # Everything in the file is in the authority now.
        again = self.d.run("import", "htpasswd", "--authority", state.SAMPLE_AUTHORITY,
                           self.d.password_file, "--allow-weak", "--replace")
        expect_equal(0, again.returncode, again.stderr)
        expect_equal(200, self.d.whoami("ben", BCRYPT_USERS["ben"]).status, "ben after replace")


def run(args, work):
    checks = e2e.Checks()
    deployment = Deployment(args, work)
    e2e.run_suite(deployment.apache, ImportTests(deployment), (
        "bcrypt_users_log_on_and_apr1_needs_a_new_password",
        "apr1_user_logs_on_once_weak_hashes_are_allowed"), checks)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(e2e.main(run, extra_arguments=["--gatekeeper"]))
