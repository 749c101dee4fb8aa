#!/usr/bin/env python3
"""End-to-end tests of the programs on nginx as the demo serves them (scripts/lib/demo.py with
--server nginx: the filter sentry in two workers, steward, rekey and overseer run by fcgiwrap at
/gatekeeper/ through the package's FastCGI snippet). The cases that are the same under Apache
are site_programs_e2e's own; here steward and rekey find the site's binding as the filter does
(by the server block's name and port), and overseer and steward refuse a logon the filter
replaced, also where the site user has the server account's name.

Usage: nginx_site_programs_e2e.py --module ngx_http_isapi_filter_module.so --filter sentry.so
                                  --rekey rekey --steward steward --overseer overseer
                                  --work DIR [--preload LIBASAN]
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import os
import shutil
import urllib.parse

import e2e_support as e2e
from e2e_support import Page, basic, expect, expect_equal

import demo
import gatekeeper_state as state
import nginx_config as conf
import site_programs_e2e
from apache_process import free_port
from nginx_process import NginxProcess
from site_programs_e2e import MANAGER, REKEY_BANNER, REPLACED_LOGON, STEWARD_BANNER

# A server block of the site's port, bound to the same authority, where every server account
# may run steward and overseer (as a careless configuration would allow): the programs must
# guard themselves there.
CARELESS = "careless.test"
# A site user with the name of the server account it is mapped to: only the module's word tells
# that the filter replaced the logon.
NAMESAKE = ("webuser", "namesake pass")
OVERSEER_BANNER = "Kestrel Gatekeeper version 1.51 - Administration CGI utility"
# The names of the package's example server blocks.
EXAMPLE_SITE, EXAMPLE_ADMIN = "www.example.com", "gatekeeper.example.com"


class Deployment(site_programs_e2e.Deployment):
    def __init__(self, args, work):  # pylint: disable=super-init-not-called
        run_user = conf.unprivileged_user()
        self.root = conf.state_directory(os.path.join(work, "nginx-sample"), run_user)
        build = e2e.demo_build(os.path.join(work, "build"), args.module, args.filter,
                               {demo.SITE_PROGRAMS["rekey"]: args.rekey,
                                demo.SITE_PROGRAMS["steward"]: args.steward,
                                demo.ADMIN_PROGRAMS["overseer"]: args.overseer,
                                demo.NGINX_MODULE: args.module})
        self.site_port, admin_port = free_port(), free_port()
        self.server, programs = demo.prepare_nginx(build, self.root, run_user, self.site_port,
                                                   admin_port)
        expect_equal(["steward", "rekey", "overseer"], programs, "programs installed")
        self.database = demo.database_path(self.root)
        self.write_database()
        site = self.server.sites[0]
        careless = conf.Site(self.site_port, site.document_root, site.realm, site.isapi_filters, [
            conf.Location("/", require_user=True),
            conf.Location("= /gatekeeper/steward", require_user=True,
                          program_dir=os.path.join(self.root, "site-cgi")),
            conf.Location("= /gatekeeper/overseer", require_user=True,
                          program_dir=os.path.join(self.root, "admin-cgi"))],
            server_names=[CARELESS])
        self.server.sites.append(careless)
        self.server.directives.append("add_header X-Worker $pid always;")
        conf.write(self.server)
        conf.give_to_run_user(self.server.root, run_user)
        self.site = f"http://127.0.0.1:{self.site_port}"
        self.nginx = NginxProcess(
            self.server,
            env=dict(os.environ, GATEKEEPER_REGISTRY=os.path.join(self.root, "registry")),
            preload=args.preload)

    def write_database(self):
        """The demo's sample database, with the careless server block bound as well and the
        site user named like the server account."""
        bindings = {state.binding_key(host, self.site_port): state.SAMPLE_AUTHORITY
                    for host in ("localhost", "127.0.0.1", CARELESS)}
        users = {**state.SAMPLE_USERS, MANAGER[0]: {"DoNotMap": 1},
                 NAMESAKE[0]: {"Password": NAMESAKE[1], "MapTo": "webuser"}}
        text = state.database_text({"log": os.path.join(self.root, "events.log")}, bindings,
                                   {state.SAMPLE_AUTHORITY: users}, state.SAMPLE_MAPPED_ACCOUNTS)
        state.write_database(self.database, text)

    def get(self, path, account=None, headers=()):
        # The programs are where the package's snippet serves them.
        return super().get(path.replace("/cgi-bin/", "/gatekeeper/", 1), account, headers)

    def submit(self, page, values, account=None, headers=(), unticked=()):
        """Sends the page's only form as a browser does, its action read relative to the
        programs' directory (where every form of theirs is)."""
        expect_equal(1, len(page.forms), "forms on the page")
        form = page.forms[0]
        expect_equal("POST", form["method"], "form method")
        inputs = {name: value for name, value in form["inputs"].items() if name not in unticked}
        body = urllib.parse.urlencode(dict(inputs, **values), encoding="latin-1")
        return e2e.fetch(urllib.parse.urljoin(self.site + "/gatekeeper/", form["action"]),
                         basic(*account) if account else None, headers, data=body)


class NginxSiteProgramTests(site_programs_e2e.SiteProgramTests):
    def edit_form(self, user):
        return e2e.fetch(self.d.site + "/gatekeeper/steward?Action=EditUser", basic(*MANAGER),
                         data=urllib.parse.urlencode({"User": user, "B1": "Submit"}))

    def rekey_is_open_and_names_the_site_authority(self):
        for host in ("localhost", "127.0.0.1", "LOCALHOST"):
            r = self.d.get("/gatekeeper/rekey", headers=[f"Host: {host}:{self.d.site_port}"])
            expect_equal(200, r.status, f"anonymous as {host}")
            expect(REKEY_BANNER in r.text, r.text)
            expect("authority: <b>Staff</b>" in r.text, f"the site's binding as {host}: {r.text}")
            expect_equal("/gatekeeper/rekey?Action=edit", Page(r.text).forms[0]["action"], "form")

    def steward_only_for_the_sites_manager(self):
        expect_equal(401, self.d.get("/gatekeeper/steward").status, "anonymous")
        r = self.d.get("/gatekeeper/steward", ("john", "secret"))
        expect_equal(401, r.status, "a mapped site user")
        expect((r.header("WWW-Authenticate") or "").startswith("Basic realm="), "challenge")
        r = self.d.get("/gatekeeper/steward", MANAGER)
        expect_equal(200, r.status, "the site's manager")
        expect(STEWARD_BANNER in r.text, r.text)
        expect_equal("/gatekeeper/steward?Action=AddUser", Page(r.text).link("Add new user"),
                     "menu")

    def programs_refuse_a_logon_the_filter_replaced(self):
        """Where every server account may run steward and overseer, a mapped site user reaches
        them as the server account: they neither show nor store anything for him, also where
        his name is the account's (the module's LOGON_REPLACED_BY_FILTER alone tells)."""
        host = [f"Host: {CARELESS}:{self.d.site_port}"]
        before = open(self.d.database, "rb").read()
        for program, banner in (("steward", STEWARD_BANNER), ("overseer", OVERSEER_BANNER)):
            for account in (("john", "secret"), NAMESAKE):
                r = self.d.get(f"/gatekeeper/{program}", account, host)
                expect_equal(403, r.status, f"{account[0]} on {program}")
                expect(REPLACED_LOGON in r.text and banner not in r.text, r.text)
        body = "User=mine&Pass=x&MapTo=ON&NTAcc=administrator&Expire=&B1=Submit"
        r = e2e.fetch(self.d.site + "/gatekeeper/steward?Action=AddUserDo", basic("john", "secret"),
                      headers=host, data=body)
        expect_equal(403, r.status, "a mapped user adding a user")
        expect_equal(before, open(self.d.database, "rb").read(), "database after the refusals")
        # The site's manager, checked by nginx itself, is served there as well.
        r = self.d.get("/gatekeeper/steward", MANAGER, host)
        expect_equal(200, r.status, "the site's manager")
        expect(STEWARD_BANNER in r.text, r.text)

    def every_worker_takes_the_password_rekey_stored(self):
        """A password changed through rekey is the one that each worker's filter takes at its
        next request."""
        login = Page(self.d.get("/gatekeeper/rekey").text)
        status = Page(self.d.submit(login, {"User": "john", "Pass": "secret"}).text)
        r = self.d.submit(status, {"Newpass": "john's new", "Newpass1": "john's new"})
        expect(" Password canged" in r.text, r.text)
        workers = set(self.d.nginx.workers())
        for password, expected in (("john's new", 200), ("secret", 401)):
            seen = set()
            for _ in range(400):
                r = self.d.get("/", ("john", password))
                expect_equal(expected, r.status, f"john with {password!r}")
                seen.add(int(r.header("X-Worker")))
                if workers <= seen:
                    break
            expect(workers <= seen, f"workers {sorted(workers - seen)} not reached")


def shipped_example_serves_as_documented(args, work):
    """The package's example server blocks, uncommented, with the package's paths replaced and
    on a loopback port instead of port 80, as the comments tell an administrator to use them:
    unknown names get nothing, the protected site its users, steward its managers, rekey
    everyone, overseer the administrator on the administration server alone."""
    run_user = conf.unprivileged_user()
    root = conf.state_directory(os.path.join(work, "nginx-example"), run_user)
    port = free_port()
    programs = os.path.join(root, "cgi-bin")
    os.makedirs(programs)
    for name in ("rekey", "steward", "overseer"):
        shutil.copy(getattr(args, name), os.path.join(programs, name))
        os.chmod(os.path.join(programs, name), 0o755)
    registry, database = os.path.join(root, "registry"), os.path.join(root, "accounts.cfg")
    state.write_settings(registry, database, os.path.join(root, "backups"))
    os.makedirs(os.path.join(root, "backups"))
    users = {**state.SAMPLE_USERS, MANAGER[0]: {"DoNotMap": 1}}
    state.write_database(database, state.database_text(
        {"log": os.path.join(root, "events.log")},
        {state.binding_key(EXAMPLE_SITE, port): state.SAMPLE_AUTHORITY},
        {state.SAMPLE_AUTHORITY: users}, state.SAMPLE_MAPPED_ACCOUNTS))
    docs = os.path.join(root, "www")
    e2e.write_file(os.path.join(docs, "index.html"), "<p>example site</p>\n")
    e2e.write_file(os.path.join(docs, "accounts.cfg"), "(string)Password=secret\n")
    files = {"server-accounts": {"webuser": "webpass", MANAGER[0]: MANAGER[1]},
             "administrator": {"administrator": state.SAMPLE_NT_ACCOUNTS["administrator"]},
             "managers": {MANAGER[0]: MANAGER[1]}}
    for name, accounts in files.items():
        conf.write_password_file(os.path.join(root, name), accounts)
    server = conf.Server(os.path.join(root, "nginx"), os.path.abspath(args.module),
                         os.path.join(root, "server-accounts"), [], run_user=run_user,
                         pass_env=["GATEKEEPER_REGISTRY"],
                         program_env={"GATEKEEPER_REGISTRY": registry})
    os.makedirs(server.root)
    server.includes.append(conf.example_sites(server, port, {
        conf.SHIPPED_FILTER: os.path.abspath(args.filter),
        "/var/www/example": docs,
        "/etc/nginx/server-accounts.htpasswd": os.path.join(root, "server-accounts"),
        "/etc/nginx/gatekeeper-administrator.htpasswd": os.path.join(root, "administrator"),
        f"/etc/nginx/{EXAMPLE_SITE}-managers.htpasswd": os.path.join(root, "managers"),
        "snippets/kestrel-gatekeeper-fastcgi.conf": conf.fastcgi_snippet(server, programs)}))
    conf.write(server)
    conf.give_to_run_user(root, run_user)
    nginx = NginxProcess(server, env=dict(os.environ, GATEKEEPER_REGISTRY=registry),
                         preload=args.preload)
    base = f"http://127.0.0.1:{port}"

    def get(host, path, account=None):
        return e2e.fetch(base + path, basic(*account) if account else None,
                         headers=[f"Host: {host}:{port}"])
    john, webuser = ("john", "secret"), ("webuser", "webpass")
    administrator = ("administrator", state.SAMPLE_NT_ACCOUNTS["administrator"])
    nginx.start()
    try:
        cases = (  # host, path, account: status, a text of the page
            ("unknown.example", "/", webuser, 403, None),
            (EXAMPLE_SITE, "/", None, 401, None),
            (EXAMPLE_SITE, "/", john, 200, "example site"),
            (EXAMPLE_SITE, "/", webuser, 401, None),
            (EXAMPLE_SITE, "/accounts.cfg", john, 403, None),
            (EXAMPLE_SITE, "/gatekeeper/rekey", None, 200, "authority: <b>Staff</b>"),
            (EXAMPLE_SITE, "/gatekeeper/steward", MANAGER, 200, STEWARD_BANNER),
            (EXAMPLE_SITE, "/gatekeeper/steward", john, 401, None),
            (EXAMPLE_SITE, "/gatekeeper/overseer", john, 404, None),
            (EXAMPLE_ADMIN, "/gatekeeper/overseer", administrator, 200, OVERSEER_BANNER),
            (EXAMPLE_ADMIN, "/gatekeeper/overseer", webuser, 401, None),
            (EXAMPLE_ADMIN, "/", administrator, 404, None))
        for host, path, account, status, text in cases:
            r = get(host, path, account)
            what = f"{account and account[0]} on {host}{path}"
            expect_equal(status, r.status, what)
            expect(text is None or text in r.text, f"{what}: {r.text}")
            if status == 401:
                expect((r.header("WWW-Authenticate") or "").startswith("Basic realm="),
                       f"{what}: challenge")
    finally:
        nginx.stop()
    expect_equal([], e2e.faults_in_log(server.error_log), "faults")


def run(args, work):
    checks = e2e.Checks()
    deployment = Deployment(args, work)
    e2e.run_suite(deployment.nginx, NginxSiteProgramTests(deployment), (
        "rekey_is_open_and_names_the_site_authority",
        "user_changes_the_password_and_the_filter_takes_it",
        "wrong_password_and_cross_site_change_store_nothing",
        "steward_only_for_the_sites_manager", "programs_refuse_a_logon_the_filter_replaced",
        "unmapped_manager_cannot_use_rekey", "every_worker_takes_the_password_rekey_stored",
        "hashed_passwords_through_steward_rekey_and_the_filter"), checks)
    checks.run("shipped_example_serves_as_documented", shipped_example_serves_as_documented,
               args, work)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(e2e.main(run, with_mpm=False, extra_arguments=["--rekey", "--steward", "--overseer"]))
