#!/usr/bin/env python3
"""End-to-end tests of the site's own programs as the demo serves them (the set-up of
scripts/lib/demo.py on free loopback ports, sample state, the filter sentry protecting the
site): rekey open to everyone, steward only for the site's manager, an unmapped user whom
Apache authenticates itself. A password changed through rekey is the one the filter accepts on
the next request.

Usage: site_programs_e2e.py --module mod_isapi_filter.so --filter sentry.so --rekey rekey
                            --steward steward --mpm event|prefork --work DIR [--preload LIBASAN]
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import os
import subprocess
import urllib.parse

import e2e_support as e2e
from e2e_support import Page, basic, expect, expect_equal

import apache_config as conf
import demo
import gatekeeper_state as state
from apache_process import ApacheProcess, free_port

MANAGER = state.SAMPLE_SITE_MANAGER
STEWARD_BANNER = "Gatekeeper version 1.51 - authority manager"
REPLACED_LOGON = "NT user used for the actual authentication by the system differs the logged on user."
# The directory of the site's programs at a second URL where every account of Apache's may run
# them (as a careless configuration would allow): the programs must guard themselves there.
OPEN_PROGRAMS = "/open-cgi/"
APACHE_AUTH_FILTER = "/etc/fail2ban/filter.d/apache-auth.conf"
REKEY_BANNER = "Kestrel Gatekeeper version 1.51 - change password utility"


class Deployment:
    def __init__(self, args, work):
        run_user = conf.unprivileged_user()
        self.root = conf.state_directory(os.path.join(work, "sample"), run_user)
        build = e2e.demo_build(os.path.join(work, "build"), args.module, args.filter,
                               {demo.SITE_PROGRAMS["rekey"]: args.rekey,
                                demo.SITE_PROGRAMS["steward"]: args.steward})
        self.site_port, admin_port = free_port(), free_port()
        self.server, programs = demo.prepare(build, self.root, run_user, self.site_port,
                                             admin_port, mpm=args.mpm)
        expect_equal(["steward", "rekey"], programs, "programs installed")
        site = self.server.sites[0]
        site.locations.append(conf.Location(OPEN_PROGRAMS, require_user=True,
                                            script_dir=os.path.join(self.root, "site-cgi")))
        conf.write(self.server)
        self.site = f"http://127.0.0.1:{self.site_port}"
        self.mpm = args.mpm
        self.database = demo.database_path(self.root)
        self.apache = ApacheProcess(
            self.server, env=dict(os.environ, GATEKEEPER_REGISTRY=os.path.join(self.root, "registry")),
            preload=args.preload)

    def get(self, path, account=None, headers=()):
        return e2e.fetch(self.site + path, basic(*account) if account else None, headers)

    def submit(self, page, values, account=None, headers=(), unticked=()):
        """Sends the page's only form as a browser does, with values typed into its fields;
        checkboxes named in unticked are left out, as a browser leaves out a box not ticked."""
        expect_equal(1, len(page.forms), "forms on the page")
        form = page.forms[0]
        expect_equal("POST", form["method"], "form method")
        inputs = {name: value for name, value in form["inputs"].items() if name not in unticked}
        body = urllib.parse.urlencode(dict(inputs, **values), encoding="latin-1")
        return e2e.fetch(self.site + form["action"], basic(*account) if account else None,
                         headers, data=body)

    def stored(self, text):
        with open(self.database, encoding="latin-1") as f:
            return text in f.read()


class SiteProgramTests:
    def __init__(self, deployment):
        self.d = deployment

    def rekey_is_open_and_names_the_site_authority(self):
        r = self.d.get("/cgi-bin/rekey")
        expect_equal(200, r.status, "anonymous")
        expect(REKEY_BANNER in r.text, r.text)
        expect("authority: <b>Staff</b>" in r.text, r.text)
        expect_equal("/cgi-bin/rekey?Action=edit", Page(r.text).forms[0]["action"], "form target")

    def user_changes_the_password_and_the_filter_takes_it(self):
        expect_equal(200, self.d.get("/", ("mary", "lamb")).status, "before the change")
        login = Page(self.d.get("/cgi-bin/rekey").text)
        status = self.d.submit(login, {"User": "mary", "Pass": "lamb"})
        expect("Account is active and will not expire." in status.text, status.text)
        form = Page(status.text)
        expect_equal({"User": "mary", "Pass": "lamb"},
                     {k: form.forms[0]["inputs"][k] for k in ("User", "Pass")}, "hidden fields")
        r = self.d.submit(form, {"Newpass": "new lamb", "Newpass1": "new lamb"})
        expect(" Password canged" in r.text, r.text)
        expect(self.d.stored("(string)Password=new lamb"), "the new password in the database")
        # The filter reloads the changed database at its next request.
        expect_equal(200, self.d.get("/", ("mary", "new lamb")).status, "new password")
        expect_equal(401, self.d.get("/", ("mary", "lamb")).status, "old password")

    def wrong_password_and_cross_site_change_store_nothing(self):
        login = Page(self.d.get("/cgi-bin/rekey").text)
        r = self.d.submit(login, {"User": "john", "Pass": "Secret"})
        expect("Invalid username or password !" in r.text, r.text)
        status = Page(self.d.submit(login, {"User": "john", "Pass": "secret"}).text)
        r = self.d.submit(status, {"Newpass": "taken", "Newpass1": "taken"},
                          headers=["Origin: http://elsewhere.example"])
        expect("Request refused - it was sent from another site !" in r.text, r.text)
        expect(not self.d.stored("taken"), "a cross-site change was stored")
        expect_equal(200, self.d.get("/", ("john", "secret")).status, "john keeps his password")

    def steward_only_for_the_sites_manager(self):
        expect_equal(401, self.d.get("/cgi-bin/steward").status, "anonymous")
        expect_equal(401, self.d.get("/cgi-bin/steward", ("john", "secret")).status,
                     "a mapped site user")
        r = self.d.get("/cgi-bin/steward", MANAGER)
        expect_equal(200, r.status, "the site's manager")
        expect(STEWARD_BANNER in r.text, r.text)
        expect_equal("/cgi-bin/steward?Action=AddUser", Page(r.text).link("Add new user"), "menu")

    def steward_refuses_a_logon_the_filter_replaced(self):
        """john is a valid user to Apache once the filter mapped him to webuser; through a
        location open to every account he reaches steward, which must neither show nor store
        anything for him (else he could map a user of his own to the administrator)."""
        before = open(self.d.database, "rb").read()
        r = self.d.get(OPEN_PROGRAMS + "steward", ("john", "secret"))
        expect_equal(403, r.status, "mapped user on steward")
        expect(REPLACED_LOGON in r.text and STEWARD_BANNER not in r.text, r.text)
        body = "User=mine&Pass=x&MapTo=ON&NTAcc=administrator&Expire=&B1=Submit"
        r = e2e.fetch(self.d.site + OPEN_PROGRAMS + "steward?Action=AddUserDo",
                      basic("john", "secret"), data=body)
        expect_equal(403, r.status, "mapped user adding a user")
        expect_equal(before, open(self.d.database, "rb").read(), "database after the refusal")
        expect(self.d.apache.log_tail(200).count("user john on as the server account webuser") >= 2,
               "refusals in the error log")
        # The site's manager, checked by Apache itself, is served there as well.
        r = self.d.get(OPEN_PROGRAMS + "steward", MANAGER)
        expect_equal(200, r.status, "the site's manager")
        expect(STEWARD_BANNER in r.text, r.text)

    def failed_rekey_logon_is_banned_by_fail2ban(self):
        """mod_cgid (event MPM) writes a program's standard error to the error log as it is:
        rekey gives its line Apache's prefix with the client, and fail2ban's stock apache-auth
        filter counts it. mod_cgi (prefork) puts "AH01215: stderr from PROGRAM: " before each
        line itself, which no stock filter reads; the line still names the client there."""
        login = Page(self.d.get("/cgi-bin/rekey").text)
        for user, password in (("mary", "not her password"), ("nobody", "x")):
            r = self.d.submit(login, {"User": user, "Pass": password})
            expect("Invalid username or password !" in r.text, r.text)
        log = self.d.server.error_log
        with open(log, encoding="latin-1") as f:
            lines = [line for line in f if "rekey" in line and "user " in line]
        mismatch = 'user mary: authentication failure for "/cgi-bin/rekey": Password Mismatch'
        for text in (mismatch, "user nobody not found: /cgi-bin/rekey"):
            expect(any(text in line and "[client 127.0.0.1:" in line for line in lines),
                   f"{text!r} in {lines}")
        if self.d.mpm != "event":
            return
        expect(any(f"[cgid:error] [client 127.0.0.1:" in line and line.rstrip().endswith(mismatch)
                   for line in lines), lines)
        out = subprocess.run(["fail2ban-regex", "--print-all-matched", log, APACHE_AUTH_FILTER],
                             capture_output=True, text=True, timeout=120).stdout
        matched = [line for line in out.splitlines() if "/cgi-bin/rekey" in line]
        expect(any("user mary: authentication failure" in line for line in matched) and
               any("user nobody not found" in line for line in matched), out)
        expect("127.0.0.1" in out, out)

    def edit_form(self, user):
        """steward's edit form of user, as its chooser asks for it."""
        return e2e.fetch(self.d.site + "/cgi-bin/steward?Action=EditUser", basic(*MANAGER),
                         data=urllib.parse.urlencode({"User": user, "B1": "Submit"}))

    def hashed_passwords_through_steward_rekey_and_the_filter(self):
        """With the option on, the site's manager adds a user through steward: the database
        holds a hash, never the password; the filter logs the user on with it (again from its
        cache) and refuses a wrong one; steward's edit form shows no hash and an empty field
        keeps it; rekey verifies the hash and stores the new password hashed."""
        with open(self.d.database, encoding="latin-1") as f:
            text = f.read()
        text = text.replace("{ MAIN:\n", "{ MAIN:\n    (int)HashPasswords=1\n", 1)
        state.write_database(self.d.database, text)
        add = Page(self.d.get("/cgi-bin/steward?Action=AddUser", MANAGER).text)
        r = self.d.submit(add, {"User": "hank", "Pass": "h4nk pass", "MapTo": "ON",
                                "NTAcc": "webuser", "noexpiration": "1"}, MANAGER,
                          unticked=("disabled",))
        expect("User <b>hank</b> added to authority <B>Staff</B>" in r.text, r.text)
        expect(not self.d.stored("h4nk pass"), "the password in the database")
        expect(self.d.stored("(string)Password=$y$"), "a yescrypt hash in the database")
        for password, status in (("h4nk pass", 200), ("wrong", 401), ("h4nk pass", 200),
                                 ("H4NK PASS", 401)):
            expect_equal(status, self.d.get("/", ("hank", password)).status, password)

        edit = self.edit_form("hank")
        expect("$y$" not in edit.text and "leave empty to keep the password" in edit.text,
               edit.text)
        r = self.d.submit(Page(edit.text), {"Pass": "", "NTAcc": "webuser", "disabled": "1"},
                          MANAGER)
        expect("User <b>hank</b> changed in authority <B>Staff</B>" in r.text, r.text)
        expect_equal(401, self.d.get("/", ("hank", "h4nk pass")).status, "disabled")
        r = self.d.submit(Page(self.edit_form("hank").text), {"Pass": "", "NTAcc": "webuser"},
                          MANAGER, unticked=("disabled",))
        expect_equal(200, self.d.get("/", ("hank", "h4nk pass")).status, "the hash was kept")

        login = Page(self.d.get("/cgi-bin/rekey").text)
        expect("Invalid username or password !" in
               self.d.submit(login, {"User": "hank", "Pass": "wrong"}).text, "rekey, wrong")
        status = Page(self.d.submit(login, {"User": "hank", "Pass": "h4nk pass"}).text)
        r = self.d.submit(status, {"Newpass": "n3w hank", "Newpass1": "n3w hank"})
        expect(" Password canged" in r.text, r.text)
        expect(not self.d.stored("n3w hank"), "the new password in the database")
        expect_equal(200, self.d.get("/", ("hank", "n3w hank")).status, "new password")
        expect_equal(401, self.d.get("/", ("hank", "h4nk pass")).status, "old password")

    def unmapped_manager_cannot_use_rekey(self):
        login = Page(self.d.get("/cgi-bin/rekey").text)
        status = Page(self.d.submit(login, {"User": MANAGER[0], "Pass": ""}).text)
        r = self.d.submit(status, {"Newpass": "x", "Newpass1": "x"})
        expect("Account was handled by NT authority directly and cannot be managed" in r.text,
               r.text)


def run(args, work):
    checks = e2e.Checks()
    deployment = Deployment(args, work)
    e2e.run_suite(deployment.apache, SiteProgramTests(deployment), (
        "rekey_is_open_and_names_the_site_authority",
        "user_changes_the_password_and_the_filter_takes_it",
        "wrong_password_and_cross_site_change_store_nothing",
        "steward_only_for_the_sites_manager", "steward_refuses_a_logon_the_filter_replaced",
        "failed_rekey_logon_is_banned_by_fail2ban", "unmapped_manager_cannot_use_rekey",
        "hashed_passwords_through_steward_rekey_and_the_filter"), checks)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(e2e.main(run, extra_arguments=["--rekey", "--steward"]))
