#!/usr/bin/env python3
"""End-to-end tests of the administration program overseer as the demo serves it (the
set-up of scripts/lib/demo.py on free loopback ports): on the administration port, which no
binding covers, behind Apache's own authentication, while the filter sentry protects the site
port. Once on a fresh state, set up from the browser through the setup error page, and once on
the sample state.

Usage: overseer_e2e.py --module mod_isapi_filter.so --filter sentry.so --overseer overseer
                       --mpm event|prefork --work DIR [--preload LIBASAN]
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import html
import os
import re
import socket
import urllib.parse

import e2e_support as e2e
from e2e_support import Page, basic, expect, expect_equal

import apache_config as conf
import demo
import gatekeeper_state as state
from apache_process import ApacheProcess, free_port

ADMINISTRATOR = ("administrator", state.SAMPLE_NT_ACCOUNTS["administrator"])
# One of Apache's own accounts whose name is markup: it reaches overseer as AUTH_USER.
HOSTILE_ADMINISTRATOR = ('a<b>&"c', "hostilepw")
BANNER = "Kestrel Gatekeeper version 1.51 - Administration CGI utility"
ADMIN_REALM = f'Basic realm="{demo.REALM} administration"'
SITE_REALM = f'Basic realm="{demo.REALM}"'

# An administration program that writes its own challenge with its "Status: 401".
OWN_CHALLENGE = """#!/bin/sh
printf 'Status: 401\\r\\nWWW-Authenticate: Basic realm="own"\\r\\n\\r\\n'
"""


class Deployment:
    """The demo's state directory and Apache configuration on free ports, with two test
    programs beside the demo's: the identity script on the site, a challenging script on the
    administration port."""

    def __init__(self, args, work, name, fresh):
        run_user = conf.unprivileged_user()
        self.root = conf.state_directory(os.path.join(work, name), run_user)
        build = e2e.demo_build(os.path.join(work, name + "-build"), args.module, args.filter,
                               {demo.ADMIN_PROGRAMS["overseer"]: args.overseer})
        self.site_port, self.admin_port = free_port(), free_port()
        self.server, programs = demo.prepare(build, self.root, run_user, self.site_port,
                                             self.admin_port, fresh=fresh, mpm=args.mpm,
                                             administrators=[ADMINISTRATOR[0],
                                                             HOSTILE_ADMINISTRATOR[0]])
        expect_equal(["overseer"], programs, "programs installed")
        e2e.write_file(os.path.join(self.root, "site-cgi", "whoami"), e2e.WHOAMI, 0o755)
        e2e.write_file(os.path.join(self.root, "admin-cgi", "challenge"), OWN_CHALLENGE, 0o755)
        conf.write_password_file(self.server.password_file,
                                 {**state.SAMPLE_NT_ACCOUNTS, HOSTILE_ADMINISTRATOR[0]: HOSTILE_ADMINISTRATOR[1]})
        self.registry = os.path.join(self.root, "registry")
        self.database = demo.database_path(self.root)
        self.backups = demo.backup_directory(self.root)
        self.overseer = f"http://127.0.0.1:{self.admin_port}/cgi-bin/overseer"
        self.site = f"http://127.0.0.1:{self.site_port}"
        self.apache = ApacheProcess(self.server, env=dict(os.environ, GATEKEEPER_REGISTRY=self.registry),
                                    preload=args.preload)

    def setting(self, name):
        """The bytes of a value of the settings key, or None."""
        try:
            with open(os.path.join(self.registry, *state.SETTINGS_KEY, name), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def admin(self, url, account=ADMINISTRATOR, data=None, headers=()):
        """A request to the administration port as account (None: anonymous)."""
        if url.startswith("/"):
            url = f"http://127.0.0.1:{self.admin_port}{url}"
        return e2e.fetch(url, basic(*account) if account else None, data=data, headers=headers)

    def submit(self, page, values, account=ADMINISTRATOR, form=None, unticked=(), headers=()):
        """Sends the page's only form (or the given one) as a browser does, with values typed
        into its fields or chosen from its select lists; checkboxes named in unticked are left
        out, as a browser leaves out a box that is not ticked."""
        if form is None:
            expect_equal(1, len(page.forms), "forms on the page")
            form = page.forms[0]
        expect_equal("POST", form["method"], "form method")
        inputs = {name: value for name, value in form["inputs"].items() if name not in unticked}
        for name, value in values.items():
            if name not in inputs:
                options = select_options(getattr(page, "text", ""), name)
                expect(value in options, f"{name}={value!r}: no field, not among {options}")
        return self.admin(form["action"], account,
                          urllib.parse.urlencode(dict(inputs, **values), encoding="latin-1"),
                          headers)

    def database_bytes(self):
        with open(self.database, "rb") as f:
            return f.read()

    def database_text(self):
        """The database with the line ends of memory (the file is written in text mode)."""
        return self.database_bytes().decode("latin-1").replace("\r\n", "\n")


class AdminPage(Page):
    """A page of overseer: its forms and links, and its text for the select lists."""

    def __init__(self, text):
        self.text = text
        super().__init__(text)


def select_options(text, name):
    """The option values of the select list name on a page, in order, as a browser reads them."""
    found = re.search(r'<SELECT NAME="%s"[^>]*>(.*?)</SELECT>' % re.escape(name), text, re.S)
    if not found:
        return []
    return [html.unescape(value) for value in re.findall(r'<OPTION[^>]* VALUE="([^"]*)"', found.group(1))]


def expect_html(response, what):
    expect_equal(200, response.status, what)
    expect((response.header("Content-Type") or "").startswith("text/html"), f"{what}: content type")
    expect_equal("private", response.header("Cache-control"), f"{what}: cache control")


def login_box(text):
    """The login information rows of the frame: label -> value."""
    return dict(re.findall(r"<TR><TD>([^<]*)</TD><TD><I>(.*?)</I></TD></TR>", text))


class OverseerTests:
    def __init__(self, deployment):
        self.d = deployment

    def overseer(self, account=ADMINISTRATOR):
        """The page of the empty action (the setup error page or the frame)."""
        return self.d.admin(self.d.overseer, account)


class FreshStateTests(OverseerTests):
    """No settings key and no database: the administrator sets the system up from the browser."""

    def setup_error_page_on_a_fresh_state(self):
        r = self.overseer()
        expect_html(r, "fresh state")
        expect("Error: 1<BR>" in r.text, r.text)
        expect(BANNER not in r.text, "no frame around the setup error page")
        form = Page(r.text).forms
        expect_equal(1, len(form), "one form")
        expect_equal("/cgi-bin/overseer?Action=Config", form[0]["action"], "form target")
        expect_equal({"Config": "", "Backup": "", "B1": "Submit"}, form[0]["inputs"], "fields")

    def config_form_creates_the_settings_and_the_database(self):
        r = self.d.submit(Page(self.overseer().text),
                          {"Config": self.d.database, "Backup": self.d.backups})
        expect_html(r, "Config action")
        expect("Path to the configuration saved to the registry." in r.text, r.text)
        expect("A new empty configuration file was created." in r.text, r.text)
        expect_equal(self.d.database.encode() + b"\0", self.d.setting("Configuration File"),
                     "Configuration File")
        expect_equal(self.d.backups.encode() + b"\0", self.d.setting("Backup directory"),
                     "Backup directory")
        with open(self.d.database, encoding="latin-1") as f:
            database = f.read()
        for section in ("MAIN", "SERVERS", "ACCOUNTS", "NTACCOUNTS"):
            expect(f"{{ {section}:" in database, f"section {section} in\n{database}")

    def frame_after_the_setup(self):
        r = self.overseer()
        expect_html(r, "after the setup")
        expect(BANNER in r.text, "banner")
        page = Page(r.text)
        expect_equal("/cgi-bin/overseer?Action=MainScreen", page.link("General options"), "menu")
        expect_equal("/cgi-bin/overseer?Action=NoLog", page.link("Logging options"), "menu")
        expect_equal(self.d.database, page.forms[0]["inputs"]["Config"], "location page")
        expect_equal(self.d.backups, page.forms[0]["inputs"]["Backup"], "location page")
        # The run locked the database: Apache's user may write beside it.
        expect(os.path.exists(self.d.database + ".lock"), "lock file beside the database")

    def hostile_path_reaches_the_page_escaped(self):
        hostile = os.path.join(self.d.root, 'q"<b>&amp;.cfg')
        page = Page(self.overseer().text)
        r = self.d.submit(page, {"Config": hostile, "Backup": self.d.backups})
        expect("A new empty configuration file was created." in r.text, r.text)
        r = self.overseer()
        expect_html(r, "location page on a hostile path")
        expect('VALUE="' + hostile.replace("&", "&amp;").replace('"', "&quot;")
               .replace("<", "&lt;").replace(">", "&gt;") + '"' in r.text, r.text)
        expect('"<b>' not in r.text, "markup of the path reached the page")
        expect_equal(hostile, Page(r.text).forms[0]["inputs"]["Config"], "the browser reads the path")


class SampleStateTests(OverseerTests):
    """The demo's sample state: the frame, reauthentication, challenges and the site meanwhile."""

    def frame_shows_the_logged_on_administrator(self):
        r = self.overseer()
        expect_html(r, "frame")
        expect(BANNER in r.text, "banner")
        expect_equal({"User": "administrator", "NT Account used": "administrator",
                      "Computer name": socket.gethostname(), "Authentication type": "Basic"},
                     login_box(r.text), "login box: the administration port is not bound")

    def reauthenticate_asks_the_browser_again(self):
        page = Page(self.overseer().text)
        link = page.link("Authenticate as another user")
        expect_equal("/cgi-bin/overseer?Action=Reauthenticate&Olduser=administrator", link, "link")
        r = self.d.admin(link)
        expect_equal(401, r.status, "same user: the browser must ask")
        expect_equal([ADMIN_REALM], r.all("WWW-Authenticate"), "one challenge")
        r = self.d.admin("/cgi-bin/overseer?Action=Reauthenticate&Olduser=someone")
        expect_equal(200, r.status, "another user than before")
        expect("You are reauthenticated successfully as administrator." in r.text, r.text)
        expect_equal([], r.all("WWW-Authenticate"), "no challenge on success")

    def every_401_carries_one_challenge(self):
        r = self.overseer(account=None)
        expect_equal((401, [ADMIN_REALM]), (r.status, r.all("WWW-Authenticate")), "anonymous")
        r = self.overseer(account=("administrator", "wrong"))
        expect_equal((401, [ADMIN_REALM]), (r.status, r.all("WWW-Authenticate")), "wrong password")
        r = self.d.admin("/cgi-bin/challenge")
        expect_equal((401, ['Basic realm="own"']), (r.status, r.all("WWW-Authenticate")),
                     "a program's own challenge")
        r = e2e.fetch(self.d.site + "/cgi-bin/whoami", basic("john", "wrong"))
        expect_equal((401, "Access Denied"), (r.status, r.reason), "refused by the filter")
        expect_equal([SITE_REALM], r.all("WWW-Authenticate"), "the filter's refusal")

    def filter_protects_the_site_meanwhile(self):
        r = e2e.fetch(self.d.site + "/cgi-bin/whoami", basic("john", "secret"))
        expect_equal(200, r.status, "site user")
        expect_equal(("john", "webuser"), (r.cgi()["AUTH_USER"], r.cgi()["LOGON_USER"]), "mapped")
        expect_equal(401, e2e.fetch(self.d.site + "/", basic(*ADMINISTRATOR)).status,
                     "the administrator is no user of the site")

    def hostile_user_name_is_escaped_and_url_encoded(self):
        r = self.overseer(HOSTILE_ADMINISTRATOR)
        expect_html(r, "frame for a hostile name")
        expect_equal("a&lt;b&gt;&amp;&quot;c", login_box(r.text).get("User"), "escaped in the box")
        expect("<b>" not in r.text, "markup of the name reached the page")
        link = Page(r.text).link("Authenticate as another user")
        expect(link.endswith("&Olduser=a%3Cb%3E%26%22c"), link)
        r = self.d.admin(link, HOSTILE_ADMINISTRATOR)
        expect_equal(401, r.status, "the link names the logged-on user")

    def administrator_adds_a_user_and_sees_its_logon(self):
        r = self.d.admin("/cgi-bin/overseer?Action=SelectAuthority&PostAction=AddUser")
        expect_html(r, "authority chooser")
        chooser = Page(r.text).forms
        expect_equal(1, len(chooser), "one form: the chooser")
        expect_equal("/cgi-bin/overseer?Action=AddUser", chooser[0]["action"], "chooser target")
        expect(f'<OPTION VALUE="{state.SAMPLE_AUTHORITY}">' in r.text, r.text)
        r = self.d.admin(chooser[0]["action"],
                         data=urllib.parse.urlencode({"Authority": state.SAMPLE_AUTHORITY}))
        add = Page(r.text).forms
        expect_equal(1, len(add), "one form: the add form")
        expect_equal("/cgi-bin/overseer?Action=AddUserDo", add[0]["action"], "add form target")
        expect_equal(state.SAMPLE_AUTHORITY, add[0]["inputs"].get("Authority"), "authority travels")
        r = self.d.admin(add[0]["action"], data=urllib.parse.urlencode({
            "Authority": state.SAMPLE_AUTHORITY, "User": "carol", "Pass": "carolpw",
            "MapTo": "ON", "NTAcc": "webuser", "Expire": "", "B1": "Submit"}))
        expect(f"User <b>carol</b> added to authority <B>{state.SAMPLE_AUTHORITY}</B>" in r.text,
               r.text)

        r = e2e.fetch(self.d.site + "/cgi-bin/whoami", basic("carol", "carolpw"))
        expect_equal(200, r.status, "the new user logs on")
        expect_equal(("carol", "webuser"), (r.cgi()["AUTH_USER"], r.cgi()["LOGON_USER"]), "mapped")

        r = self.d.admin("/cgi-bin/overseer?Action=ViewLog",
                         data=urllib.parse.urlencode({"type": "0", "record": "0"}))
        expect_html(r, "log viewer")
        rows = re.findall(r'<TR>((?:<TD NOWRAP BGCOLOR="#E0E0E0">[^<]*</TD>){8})</TR>', r.text)
        cells = [re.findall(r">([^<]*)</TD>", row) for row in rows]
        expect(any(c[0] == "0" and c[4] == " carol" and c[5] == f" {state.SAMPLE_AUTHORITY}"
                   for c in cells), f"the logon of carol among {cells}")

    def config_keeps_an_existing_database(self):
        with open(self.d.database, "rb") as f:
            before = f.read()
        r = self.d.submit(Page(self.overseer().text),
                          {"Config": self.d.database, "Backup": self.d.backups})
        expect("Path to the configuration saved to the registry." in r.text, r.text)
        expect("A new empty configuration file was created." not in r.text, "database replaced")
        with open(self.d.database, "rb") as f:
            expect_equal(before, f.read(), "the sample database")


class AdministrationPagesTests(OverseerTests):
    """General options, NT accounts, authorities and site bindings on the sample state: each
    page reached through the menu, each form sent as a browser sends it."""

    def page(self, menu_entry):
        """The page behind a menu entry of the frame."""
        r = self.d.admin(Page(self.overseer().text).link(menu_entry))
        expect_html(r, menu_entry)
        return AdminPage(r.text)

    def general_options_are_stored(self):
        page = self.page("General options")
        log = page.forms[0]["inputs"]["LogFile"]
        expect_equal(os.path.join(self.d.root, "events.log"), log, "log path shown")
        expect('<INPUT TYPE="checkbox" NAME="Disable" VALUE="ON">' in page.text, "not ticked")
        r = self.d.submit(page, {"LogFile": log + ".new"})
        expect_html(r, "MainScreenDo")
        expect('NAME="Disable" VALUE="ON" CHECKED>' in r.text, r.text)
        expect_equal(log + ".new", AdminPage(r.text).forms[0]["inputs"]["LogFile"], "shown again")
        database = self.d.database_text()
        expect("    (int)Disable=1\n" in database and f"    (string)log={log}.new\n" in database,
               database)
        expect('NAME="HashPasswords" VALUE="ON" CHECKED><i>Store site users\' passwords hashed</i>'
               in r.text and "    (int)HashPasswords=1\n" in database, database)
        # Unticked and the old path again: the filter maps the site's users as before.
        self.d.submit(AdminPage(r.text), {"LogFile": log}, unticked=("Disable", "HashPasswords"))
        database = self.d.database_text()
        expect("    (int)Disable=0\n" in database and f"    (string)log={log}\n" in database,
               database)
        expect("    (int)HashPasswords=0\n" in database, database)
        r = e2e.fetch(self.d.site + "/cgi-bin/whoami", basic("john", "secret"))
        expect_equal((200, "webuser"), (r.status, r.cgi().get("LOGON_USER")), "mapped again")

    def nt_accounts_are_added_changed_and_deleted(self):
        r = self.d.submit(self.page("Add NT account"),
                          {"User": "operator", "Pass": "op pass", "Pass2": "op pass"})
        expect("NT Account <b>operator</b> added successfuly." in r.text, r.text)
        expect("    { operator:\n        (string)Password=op pass\n" in self.d.database_text(),
               self.d.database_text())
        page = self.page("Change NT account password")
        expect_equal([*state.SAMPLE_MAPPED_ACCOUNTS, "operator"], select_options(page.text, "User"),
                     "accounts in slot order")
        r = self.d.submit(page, {"User": "operator", "Pass": "new", "Pass2": "new"})
        expect("Password of NT Account <b>operator</b> changed successfuly." in r.text, r.text)
        expect("    { operator:\n        (string)Password=new\n" in self.d.database_text(),
               self.d.database_text())
        r = self.d.submit(self.page("Delete NT account"), {"NTAccount": "operator"})
        expect("Account deleted." in r.text, r.text)
        expect("operator" not in self.d.database_text(), self.d.database_text())

    def authorities_are_added_renamed_and_deleted(self):
        # The box is ticked as it is sent: the value 1.
        r = self.d.submit(self.page("Add new authority"), {"Authority": "Partners"})
        expect("Authority <b>Partners</b> created." in r.text, r.text)
        expect("    { Partners:\n        (int)ExpirationRequired=1\n" in self.d.database_text(),
               self.d.database_text())
        page = self.page("Edit authority")
        row = [form for form in page.forms if form["inputs"].get("Authority") == "Partners"]
        expect_equal(1, len(row), "one form for the authority")
        r = self.d.submit(page, {"NewName": "Associates"}, form=row[0],
                          unticked=("ExpirationRequired",))
        expect("Authority <b>Partners</b> changed successfuly !" in r.text, r.text)
        expect("    { Associates:\n        (int)ExpirationRequired=0\n" in self.d.database_text(),
               self.d.database_text())
        page = self.page("Delete authority")
        expect_equal(["Staff", "Associates"], select_options(page.text, "Authority"), "authorities")
        r = self.d.submit(page, {"Authority": "Associates"})
        expect("Authority <b>Associates</b> deleted." in r.text, r.text)
        expect("Associates" not in self.d.database_text(), self.d.database_text())

    def bindings_are_added_and_deleted(self):
        page = self.page("Add new binding to site")
        expect_equal("80", page.forms[0]["inputs"]["Port"], "port preset")
        r = self.d.submit(page, {"Host": "intranet", "Port": "8088", "Authority": "Staff"})
        expect("Users connecting to <b>intranet:8088</b> will be authenticated in authority: "
               "<b>Staff</b> ." in r.text, r.text)
        expect("        (string)intranet|8088=Staff\n" in self.d.database_text(),
               self.d.database_text())
        page = self.page("Delete binding to site")
        expect("intranet|8088" in select_options(page.text, "Host"), page.text)
        r = self.d.submit(page, {"Host": "intranet|8088"})
        expect("Binding for <B>intranet|8088</B> deleted." in r.text, r.text)
        expect("intranet" not in self.d.database_text(), self.d.database_text())

    def forms_sent_from_another_site_change_nothing(self):
        # A page on the site's port is another origin than the administration port.
        another = [f"Origin: http://127.0.0.1:{self.d.site_port}"]
        database, setting = self.d.database_bytes(), self.d.setting("Configuration File")
        r = self.d.submit(self.page("Delete authority"), {"Authority": "Staff"}, headers=another)
        expect_html(r, "AuthDelDo from another site")
        expect("Request refused - it was sent from another site !" in r.text, r.text)
        expect("deleted" not in r.text, r.text)
        r = self.d.submit(Page(self.overseer().text),
                          {"Config": os.path.join(self.d.root, "elsewhere.cfg"), "Backup": ""},
                          headers=another)
        expect_equal("Request refused - it was sent from another site !\n", r.text, "Config")
        expect_equal(database, self.d.database_bytes(), "database after the refusals")
        expect_equal(setting, self.d.setting("Configuration File"), "settings after the refusals")
        # The program's own origin is served.
        own = [f"Origin: http://127.0.0.1:{self.d.admin_port}"]
        r = self.d.submit(self.page("Add new authority"), {"Authority": "Own"}, headers=own)
        expect("Authority <b>Own</b> created." in r.text, r.text)


def run(args, work):
    checks = e2e.Checks()
    fresh = Deployment(args, work, "fresh", fresh=True)
    e2e.run_suite(fresh.apache, FreshStateTests(fresh), (
        "setup_error_page_on_a_fresh_state", "config_form_creates_the_settings_and_the_database",
        "frame_after_the_setup", "hostile_path_reaches_the_page_escaped"), checks)
    sample = Deployment(args, work, "sample", fresh=False)
    e2e.run_suite(sample.apache, SampleStateTests(sample), (
        "frame_shows_the_logged_on_administrator", "reauthenticate_asks_the_browser_again",
        "every_401_carries_one_challenge", "filter_protects_the_site_meanwhile",
        "hostile_user_name_is_escaped_and_url_encoded", "administrator_adds_a_user_and_sees_its_logon",
        "config_keeps_an_existing_database"),
        checks)
    pages = Deployment(args, work, "pages", fresh=False)
    e2e.run_suite(pages.apache, AdministrationPagesTests(pages), (
        "general_options_are_stored", "nt_accounts_are_added_changed_and_deleted",
        "authorities_are_added_renamed_and_deleted", "bindings_are_added_and_deleted",
        "forms_sent_from_another_site_change_nothing"), checks)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(e2e.main(run, extra_arguments=["--overseer"]))
