#!/usr/bin/env python3
"""End-to-end test of the nginx package: scripts/package builds libnginx-mod-http-isapi-filter
beside kestrel-gatekeeper from this build tree, lintian finds nothing wrong with either, and
both extracted into a scratch root work there without Apache. kestrel-gatekeeper's postinst sets
the data up against that root (DPKG_ROOT) for nginx's user, the module package's postinst
enables the module, and an nginx on loopback loads it through the enabled load file, includes
the shipped FastCGI snippet and the shipped example server blocks, uncommented (their
absolute paths moved into the root): a site user logs on through the filter, a wrong password
is refused, the programs answer through fcgiwrap (overseer its administrator only, steward the
site's manager only, rekey everyone), a logon the filter replaced never reaches steward, and
an unknown host name reaches nothing. The maintainer scripts set the module's link aside at
removal, name the enabled files that still use the filter, bring the link back on
reinstallation (never one the administrator removed) and drop it at purge; a copy of Debian's
stock nginx configuration with the example site enabled goes through installation, removal,
reinstallation and purge, and nginx -t accepts it after each (refusing the site only while
the module is gone). Nothing is installed into the machine's own nginx.

Usage: nginx_package_e2e.py --source DIR --build-dir DIR --work DIR [--preload LIBASAN]
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import argparse
import glob
import grp
import os
import pwd
import re
import shutil
import subprocess

import e2e_support as e2e
from e2e_support import basic, expect, expect_equal

import gatekeeper_state as state
import nginx_config as conf
from apache_process import free_port
from nginx_process import NginxProcess
from package_e2e import build_is_optimized, relocate

MAIN = "kestrel-gatekeeper"
MODULE_PACKAGE = "libnginx-mod-http-isapi-filter"
DATA = "/var/lib/kestrel-gatekeeper"
LOGS = "/var/log/kestrel-gatekeeper"
MODULE = "/usr/lib/nginx/modules/ngx_http_isapi_filter_module.so"
AVAILABLE = "/usr/share/nginx/modules-available/mod-http-isapi-filter.conf"
ENABLED = "/etc/nginx/modules-enabled/50-mod-http-isapi-filter.conf"
SNIPPET = "/etc/nginx/snippets/kestrel-gatekeeper-fastcgi.conf"
EXAMPLES = f"/usr/share/doc/{MODULE_PACKAGE}/examples"
SITES = f"{EXAMPLES}/kestrel-gatekeeper-site.conf"
JAIL = f"{EXAMPLES}/fail2ban-jail.conf"
PROGRAMS = "/usr/lib/kestrel-gatekeeper/cgi-bin"
# The password files that the example server blocks name.
SERVER_ACCOUNTS = "/etc/nginx/server-accounts.htpasswd"
ADMINISTRATOR = "/etc/nginx/gatekeeper-administrator.htpasswd"
MANAGERS = "/etc/nginx/www.example.com-managers.htpasswd"
SITE = "www.example.com"
ADMIN_SITE = "gatekeeper.example.com"
MANAGER = state.SAMPLE_SITE_MANAGER
JOHN = ("john", state.SAMPLE_USERS["john"]["Password"])
ACCOUNTS = {"webuser": "webpass", "administrator": "adminpass", MANAGER[0]: MANAGER[1]}
BANNER = "Kestrel Gatekeeper version 1.51 - Administration CGI utility"
REKEY_NO_SITE = "No authority was defined for site answering on"
REPLACED = "differs the logged on user"
CROSS_SITE = "Request refused - it was sent from another site !"


def run(command, **kwargs):
    return subprocess.run(command, check=True, capture_output=True, text=True, **kwargs).stdout


def uncommented_blocks(text):
    """The commented blocks of an example file ("#map ... {" or "#server {" up to the "#}" that
    closes it), uncommented, in order."""
    blocks, current = [], None
    for line in text.splitlines():
        if current is None and re.match(r"#(map|server)\b.*\{$", line):
            current = []
        if current is not None:
            expect(line.startswith("#"), f"a line of a commented block is not commented: {line!r}")
            current.append(line[1:])
            if line == "#}":
                blocks.append("\n".join(current))
                current = None
    return blocks


def maintainer_script(control, root, name, *arguments):
    """Runs the maintainer script name of a package's control files against root (DPKG_ROOT);
    returns what it wrote to standard error."""
    result = subprocess.run(["sh", os.path.join(control, name), *arguments],
                            env=dict(os.environ, DPKG_ROOT=root), capture_output=True, text=True)
    expect_equal(0, result.returncode, f"{control} {name} {arguments}: {result.stderr}")
    return result.stderr


def stand_in_for_www_data(root, user, group):
    """Without Apache the set-up gives the data to www-data, which only root can: as another
    account the test's own account stands in for it, named as Apache's envvars would."""
    if os.geteuid() != 0:
        e2e.write_file(root + "/etc/apache2/envvars",
                       f"export APACHE_RUN_USER={user}\nexport APACHE_RUN_GROUP={group}\n")


def on_address(block, address):
    """A server block moved from port 80 on every address to address (host:port)."""
    lines = []
    for line in block.splitlines():
        if re.match(r"\s*listen \[::\]:80\b", line):
            continue
        lines.append(re.sub(r"^(\s*listen) 80\b", rf"\1 {address}", line))
    return "\n".join(lines)


class Packages:
    """Both packages built from the build tree and extracted into a scratch root."""

    def __init__(self, args, work):
        self.source, self.build, self.work = args.source, args.build_dir, work
        self.run_user = conf.unprivileged_user() or pwd.getpwuid(os.getuid()).pw_name
        self.run_group = grp.getgrgid(pwd.getpwnam(self.run_user).pw_gid).gr_name
        out = run([os.path.join(self.source, "scripts", "package"), "--only", "deb",
                   "--build-dir", self.build, "--output", os.path.join(work, "out")],
                  cwd=self.source)
        built = out.split("Built:\n", 1)[1].split()
        self.debs = {os.path.basename(path).split("_")[0]: path for path in built}
        expect_equal(sorted([MODULE_PACKAGE, MAIN]), sorted(self.debs), f"packages built: {built}")
        self.root = os.path.join(work, "root")
        self.control = {}
        for name, deb in self.debs.items():
            run(["dpkg-deb", "-x", deb, self.root])
            self.control[name] = os.path.join(work, "control", name)
            os.makedirs(os.path.dirname(self.control[name]), exist_ok=True)
            run(["dpkg-deb", "-e", deb, self.control[name]])
        stand_in_for_www_data(self.root, self.run_user, self.run_group)

    def path(self, installed):
        return self.root + installed

    def read(self, installed):
        with open(self.path(installed), encoding="utf-8") as f:
            return f.read()

    def script(self, package, name, *arguments):
        return maintainer_script(self.control[package], self.root, name, *arguments)

    def field(self, package, name):
        return run(["dpkg-deb", "-f", self.debs[package], name]).strip()


class DebianNginx:
    """Debian's stock nginx configuration (a copy of /etc/nginx, its absolute paths moved into
    a scratch root of its own) where both packages are installed and the module's package is
    removed, installed again and purged as dpkg does it: the files unpacked and deleted, the
    maintainer scripts run against the root (DPKG_ROOT). Links that the scripts make name
    their files as installed; here each is made to name that file in the root."""

    def __init__(self, packages, work, preload):
        self.p, self.preload = packages, preload
        self.root = os.path.join(work, "debian-root")
        self.etc = self.root + "/etc/nginx"
        shutil.copytree("/etc/nginx", self.etc, symlinks=True)
        e2e.write_file(self.etc + "/nginx.conf", relocate(self.read("/etc/nginx/nginx.conf"),
                                                          self.root))
        os.makedirs(self.root + "/var/log/nginx")
        stand_in_for_www_data(self.root, packages.run_user, packages.run_group)
        # nginx's prefix: "modules/" of the load files is the root's module directory, which
        # holds the system's modules (those its enabled links load) and the package's.
        modules = self.root + "/usr/lib/nginx/modules"
        os.makedirs(modules)
        for name in os.listdir("/usr/lib/nginx/modules"):
            os.symlink(os.path.join("/usr/lib/nginx/modules", name), os.path.join(modules, name))
        os.makedirs(self.root + "/usr/share/nginx")
        os.symlink(modules, self.root + "/usr/share/nginx/modules")
        self.files = {}
        self.conffiles = {}
        for name, deb in packages.debs.items():
            listing = run(["dpkg-deb", "-c", deb]).splitlines()
            self.files[name] = [line.split()[-1][1:] for line in listing if line.startswith("-")]
            with open(os.path.join(packages.control[name], "conffiles"), encoding="utf-8") as f:
                self.conffiles[name] = f.read().split()

    def read(self, installed):
        with open(self.root + installed, encoding="utf-8") as f:
            return f.read()

    def script(self, package, name, *arguments):
        warnings = maintainer_script(self.p.control[package], self.root, name, *arguments)
        for link in glob.glob(self.etc + "/modules-enabled/*"):
            target = os.readlink(link)
            if os.path.isabs(target) and os.path.exists(self.root + target):
                os.remove(link)
                os.symlink(self.root + target, link)
        return warnings

    def install(self, package, *arguments):
        run(["dpkg-deb", "-x", self.p.debs[package], self.root])
        self.script(package, "postinst", "configure", *arguments)

    def remove(self, package):
        """prerm, the files, postrm; returns prerm's warnings."""
        warnings = self.script(package, "prerm", "remove")
        for path in self.files[package]:
            if path not in self.conffiles[package] and os.path.exists(self.root + path):
                os.remove(self.root + path)
        self.script(package, "postrm", "remove")
        return warnings

    def purge(self, package):
        for path in self.conffiles[package]:
            os.remove(self.root + path)
        self.script(package, "postrm", "purge")

    def configtest(self):
        """nginx -t on the root's configuration: (passed, output)."""
        env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0")
        if self.preload:
            env["LD_PRELOAD"] = self.preload
        result = subprocess.run(["/usr/sbin/nginx", "-t", "-p", self.root + "/usr/share/nginx/",
                                 "-c", self.etc + "/nginx.conf",
                                 "-e", self.root + "/var/log/nginx/error.log"],
                                env=env, capture_output=True, text=True, timeout=60)
        return result.returncode == 0, result.stdout + result.stderr

    def expect_configuration_accepted(self, when):
        passed, output = self.configtest()
        expect(passed, f"nginx -t {when}: {output}")


class NginxPackageTests:
    def __init__(self, packages, args):
        self.p = packages
        self.args = args
        self.nginx = None

    # --- the package files --------------------------------------------------------------

    def lintian_finds_nothing_wrong_with_either_package(self):
        for name in (MAIN, MODULE_PACKAGE):
            result = subprocess.run(["lintian", "--pedantic", "-I", "--fail-on", "error",
                                     self.p.debs[name]], capture_output=True, text=True)
            expect_equal(0, result.returncode, f"lintian {name}: {result.stdout}{result.stderr}")
            expect_equal([], [line for line in result.stdout.splitlines()
                              if line.startswith("E:")], f"lintian errors of {name}")
        result = subprocess.run(["lintian", "--pedantic", "-I", self.p.debs[MODULE_PACKAGE]],
                                capture_output=True, text=True)
        hints = [line for line in result.stdout.splitlines() if line.startswith(("W:", "I:", "P:"))]
        if not build_is_optimized(self.p.build):
            # An unoptimized tree cannot fortify libc calls; every other flag applies.
            hints = [line for line in hints if "hardening-no-fortify-functions" not in line]
        expect_equal([], hints, f"lintian on {MODULE_PACKAGE}")

    def packages_hold_their_own_files_and_dependencies(self):
        with open(os.path.join(self.p.source, "CMakeLists.txt"), encoding="utf-8") as f:
            version = re.search(r"project\(KestrelGatekeeper VERSION ([0-9.]+)", f.read()).group(1)
        module_files = set(run(["dpkg-deb", "-c", self.p.debs[MODULE_PACKAGE]]).split())
        for installed in (MODULE, AVAILABLE, SNIPPET, SITES, JAIL,
                          f"/usr/share/doc/{MODULE_PACKAGE}/copyright",
                          f"/usr/share/doc/{MODULE_PACKAGE}/README.Debian.gz"):
            expect(os.path.isfile(self.p.path(installed)), f"{installed} missing")
            expect("." + installed in module_files, f"{installed} not in {MODULE_PACKAGE}")
        main_files = run(["dpkg-deb", "-c", self.p.debs[MAIN]])
        expect("nginx" not in main_files, f"nginx's files in {MAIN}: {main_files}")
        expect_equal("load_module modules/ngx_http_isapi_filter_module.so;",
                     self.p.read(AVAILABLE).strip(), "load file")
        with open(os.path.join(self.p.control[MODULE_PACKAGE], "conffiles"), encoding="utf-8") as f:
            expect_equal([SNIPPET], f.read().split(), "conffiles")

        depends = [d.strip() for d in self.p.field(MODULE_PACKAGE, "Depends").split(",")]
        expect(f"{MAIN} (= {version})" in depends, f"depends on {MAIN} of its version: {depends}")
        expect("fcgiwrap" in depends, f"depends on fcgiwrap: {depends}")
        # The nginx it was built for: the module interface of the nginx whose sources it used.
        provides = run(["dpkg-query", "-W", "-f=${Provides}", "nginx"])
        abi = re.search(r"nginx-abi-[^\s,]+", provides).group(0)
        expect(abi in depends, f"depends on {abi}: {depends}")
        # kestrel-gatekeeper installs without Apache; Apache is what it recommends first.
        main_depends = self.p.field(MAIN, "Depends")
        expect("apache2" not in main_depends, f"{MAIN} depends on Apache: {main_depends}")
        recommends = self.p.field(MAIN, "Recommends")
        expect(f"apache2 | {MODULE_PACKAGE}" in recommends, recommends)

    # --- maintainer scripts -------------------------------------------------------------

    def set_up_without_apache_gives_the_data_to_nginxs_user(self):
        stderr = self.p.script(MAIN, "postinst", "configure")
        expect("Apache" not in stderr, f"Apache steps without Apache: {stderr}")
        for directory in (DATA, f"{DATA}/backups", LOGS):
            info = os.stat(self.p.path(directory))
            expect_equal(self.p.run_user, pwd.getpwuid(info.st_uid).pw_name,
                         f"owner of {directory}")
            expect_equal(0, info.st_mode & 0o007, f"mode of {directory} for others")
        expect(os.path.isfile(self.p.path(f"{DATA}/accounts.cfg")), "no database")
        # The web server runs outside the scratch root: the key names the root's files as it
        # sees them.
        state.write_settings(self.p.path(f"{DATA}/registry"), self.p.path(f"{DATA}/accounts.cfg"),
                             self.p.path(f"{DATA}/backups"))
        conf.give_to_run_user(self.p.path(DATA), conf.unprivileged_user())

    def postinst_enables_the_module(self):
        self.p.script(MODULE_PACKAGE, "postinst", "configure")
        link = self.p.path(ENABLED)
        expect(os.path.islink(link), "module not enabled")
        expect_equal(AVAILABLE, os.readlink(link), "link target")

    # --- nginx with the shipped files ----------------------------------------------------

    def configure_nginx(self):
        """An nginx with its own prefix that loads the modules the root enables, includes the
        shipped snippet and the example server blocks, all on one loopback port."""
        root = self.p.root
        self.port = free_port()
        prefix = os.path.join(self.p.work, "nginx")
        os.makedirs(prefix, exist_ok=True)
        # "modules/" of the load file: nginx's module directory, here the root's.
        os.symlink(self.p.path("/usr/lib/nginx/modules"), os.path.join(prefix, "modules"))
        # Debian's nginx.conf includes modules-enabled/*.conf; each link names its file as
        # installed, which lies in the root.
        enabled = self.p.path("/etc/nginx/modules-enabled")
        loads = [self.p.path(os.readlink(os.path.join(enabled, name)))
                 for name in sorted(os.listdir(enabled)) if name.endswith(".conf")]
        # The snippet as shipped, where nginx's sites include it from (snippets/ beside
        # nginx.conf), with the root's programs and the test's fcgiwrap; the programs' settings
        # key is the root's.
        server = conf.Server(prefix, None, self.p.path(SERVER_ACCOUNTS), [],
                             run_user=conf.unprivileged_user(), main_includes=loads,
                             pass_env=["GATEKEEPER_REGISTRY"])
        snippet = relocate(self.p.read(SNIPPET), root)
        expect("unix:/run/fcgiwrap.socket;" in snippet, "the snippet passes to Debian's fcgiwrap")
        snippet = snippet.replace("unix:/run/fcgiwrap.socket;", f"unix:{server.fcgiwrap_socket};")
        snippet += (f"fastcgi_param GATEKEEPER_REGISTRY {self.p.path(DATA)}/registry;\n")
        e2e.write_file(os.path.join(prefix, "snippets", os.path.basename(SNIPPET)), snippet)
        # Every example block, uncommented, its paths in the root, on the test's port.
        blocks = uncommented_blocks(self.p.read(SITES))
        expect_equal(["map", "map", "server", "server", "server"],
                     [block.split()[0] for block in blocks], "example blocks")
        sites = os.path.join(prefix, "conf", "example-sites.conf")
        e2e.write_file(sites, "\n".join(on_address(relocate(block, root),
                                                   f"{conf.LOOPBACK}:{self.port}")
                                        for block in blocks) + "\n")
        server.includes.append(sites)
        conf.write(server)

        for path, names in ((SERVER_ACCOUNTS, ["webuser", "administrator", MANAGER[0]]),
                            (ADMINISTRATOR, ["administrator"]), (MANAGERS, [MANAGER[0]])):
            conf.write_password_file(self.p.path(path), {name: ACCOUNTS[name] for name in names})
            os.chmod(self.p.path(path), 0o640)
            if conf.unprivileged_user() is not None:
                os.chown(self.p.path(path), -1, grp.getgrnam(self.p.run_group).gr_gid)
        e2e.write_file(self.p.path("/var/www/example/index.html"), "protected page\n")
        e2e.write_file(self.p.path("/var/www/example/copy/accounts.cfg"), "{ MAIN:\n} MAIN;\n")
        self.write_database({})
        env = dict(os.environ, GATEKEEPER_REGISTRY=self.p.path(f"{DATA}/registry"))
        self.nginx = NginxProcess(server, env=env, preload=self.args.preload)

    def write_database(self, more_users, more_accounts=None):
        """The site bound on the test's port to the sample authority, with the site's manager
        unmapped and more_users."""
        users = {**state.SAMPLE_USERS, MANAGER[0]: {"DoNotMap": 1}, **more_users}
        state.write_database(self.p.path(f"{DATA}/accounts.cfg"), state.database_text(
            {"log": self.p.path(f"{LOGS}/events.log")},
            {state.binding_key(SITE, self.port): state.SAMPLE_AUTHORITY},
            {state.SAMPLE_AUTHORITY: users},
            {**state.SAMPLE_MAPPED_ACCOUNTS, **(more_accounts or {})}))

    def fetch(self, path, account=None, host=SITE, headers=(), **kwargs):
        return e2e.fetch(f"http://{conf.LOOPBACK}:{self.port}{path}",
                         basic(*account) if account else None,
                         headers=[f"Host: {host}", *headers], **kwargs)

    def site_user_logs_on_through_the_filter(self):
        r = self.fetch("/index.html", JOHN)
        expect_equal((200, "protected page\n"), (r.status, r.text), r)
        # The server account itself is no site user of a bound site.
        for account in (("john", "wrong"), ("webuser", ACCOUNTS["webuser"]), None):
            r = self.fetch("/index.html", account)
            expect_equal(401, r.status, f"{account}: {r}")
            expect("protected page" not in r.text, f"{account}: {r.text}")
        with open(self.p.path(f"{LOGS}/events.log"), encoding="latin-1") as f:
            expect("john" in f.read(), "no event of john's logon")

    def refusals_feed_the_shipped_fail2ban_jail(self):
        # The shipped jail's filter, over nginx's error log: the wrong password above counts.
        with open(self.p.path(JAIL), encoding="utf-8") as f:
            jail = f.read()
        name = re.search(r"^filter\s*=\s*(\S+)", jail, re.M).group(1)
        result = subprocess.run(["fail2ban-regex", self.nginx.server.error_log,
                                 f"/etc/fail2ban/filter.d/{name}.conf"], capture_output=True,
                                text=True)
        matched = re.search(r"^Lines: \d+ lines, \d+ ignored, (\d+) matched", result.stdout, re.M)
        expect(matched is not None and int(matched.group(1)) >= 1,
               f"fail2ban's {name} finds no failed logon: {result.stdout}{result.stderr}")

    def account_files_below_the_root_are_never_served(self):
        for path in ("/copy/accounts.cfg", "/copy/ACCOUNTS.CFG", "/copy/accounts.cfg.lock"):
            r = self.fetch(path, JOHN)
            expect(r.status in (403, 404), f"{path}: {r}")
            expect("MAIN" not in r.text, f"{path} served")

    def programs_answer_through_fcgiwrap(self):
        r = self.fetch("/gatekeeper/rekey")
        expect_equal(200, r.status, r)
        expect(REKEY_NO_SITE not in r.text and "Password" in r.text,
               f"rekey finds the site's binding: {r.text}")
        expect("/gatekeeper/rekey?" in r.text,
               f"rekey's links name it as the client does: {r.text}")
        r = self.fetch("/gatekeeper/steward", MANAGER)
        expect_equal(200, r.status, r)
        expect("john" in r.text and "mary" in r.text, f"steward lists the site's users: {r.text}")
        expect("/gatekeeper/steward?" in r.text, f"steward's links: {r.text}")
        # A form the site's own page sends passes the cross-site check on a port other than 80
        # (the Host header with its port reaches the program); another site's is refused.
        form = "User=john&Pass=wrong&B1=Submit"
        for origin, refused in ((f"http://{SITE}:{self.port}", False),
                                ("http://evil.example", True)):
            r = self.fetch("/gatekeeper/rekey?Action=editdo", data=form,
                           host=f"{SITE}:{self.port}", headers=[f"Origin: {origin}"])
            expect_equal(200, r.status, r)
            expect_equal(refused, CROSS_SITE in r.text, f"form from {origin}: {r.text}")
        # Credentials never reach a program; no form comes near 64 KiB.
        r = self.fetch("/gatekeeper/rekey?Action=editdo", data="User=john&" + "x" * 70000)
        expect_equal(413, r.status, r)
        r = self.fetch("/gatekeeper/overseer", ("administrator", ACCOUNTS["administrator"]))
        expect_equal(404, r.status, f"overseer on the protected site: {r}")

    def steward_answers_the_sites_managers_only(self):
        for account in (None, JOHN, ("webuser", ACCOUNTS["webuser"]),
                        ("administrator", ACCOUNTS["administrator"]), (MANAGER[0], "wrong")):
            r = self.fetch("/gatekeeper/steward", account)
            expect_equal(401, r.status, f"steward for {account}: {r}")
            # One challenge: nginx's or the filter's, never a second one added to it.
            challenges = r.all("WWW-Authenticate")
            expect(len(challenges) == 1 and challenges[0].startswith('Basic realm="'),
                   f"challenge for {account}: {challenges}")
            expect("john" not in r.text, f"a user list for {account}")

    def a_logon_the_filter_replaced_never_reaches_steward(self):
        """Users mapped onto the manager's server account, under another name or under the
        manager's own (where only LOGON_REPLACED_BY_FILTER tells): nginx accepts the account,
        steward refuses the request."""
        users = {"evil": {"Password": "evilpw", "MapTo": MANAGER[0]},
                 MANAGER[0]: {"Password": "evilpw", "MapTo": MANAGER[0]}}
        self.write_database(users, {MANAGER[0]: MANAGER[1]})
        try:
            for user in ("evil", MANAGER[0]):
                r = self.fetch("/gatekeeper/steward", (user, "evilpw"))
                expect_equal(403, r.status, f"{user}: {r}")
                expect(REPLACED in r.text and "john" not in r.text, f"{user}: {r.text}")
        finally:
            self.write_database({})

    def overseer_answers_its_administrator_only(self):
        r = self.fetch("/gatekeeper/overseer", ("administrator", ACCOUNTS["administrator"]),
                       host=ADMIN_SITE)
        expect_equal(200, r.status, r)
        expect(BANNER in r.text, f"the frame on the database postinst created: {r.text}")
        for account in (None, JOHN, ("webuser", ACCOUNTS["webuser"]), (MANAGER[0], MANAGER[1]),
                        ("administrator", "wrong")):
            r = self.fetch("/gatekeeper/overseer", account, host=ADMIN_SITE)
            expect_equal(401, r.status, f"{account}: {r}")
            expect(BANNER not in r.text, f"{account}: {r.text}")
            expect_equal(['Basic realm="Kestrel Gatekeeper administration"'],
                         r.all("WWW-Authenticate"), f"challenge for {account}")
        # The program's own 401 (log on as another user) carries the challenge browsers need.
        r = self.fetch("/gatekeeper/overseer?Action=Reauthenticate&Olduser=administrator",
                       ("administrator", ACCOUNTS["administrator"]), host=ADMIN_SITE)
        expect_equal(401, r.status, r)
        expect_equal(['Basic realm="Kestrel Gatekeeper administration"'],
                     r.all("WWW-Authenticate"), "challenge of the program's 401")
        for path in ("/gatekeeper/steward", "/gatekeeper/rekey", "/index.html"):
            r = self.fetch(path, MANAGER, host=ADMIN_SITE)
            expect_equal(404, r.status, f"{path} on the administration server: {r}")

    def unknown_host_names_reach_nothing(self):
        for host in ("forged.example.org", conf.LOOPBACK, f"{SITE}.evil.example"):
            for path in ("/index.html", "/gatekeeper/rekey", "/gatekeeper/overseer"):
                r = self.fetch(path, ("administrator", ACCOUNTS["administrator"]), host=host)
                expect_equal(403, r.status, f"{host}{path}: {r}")
                expect("protected page" not in r.text and BANNER not in r.text
                       and "Password" not in r.text, f"{host}{path}: {r.text}")

    # --- removal --------------------------------------------------------------------------

    def removal_sets_the_link_aside_and_names_the_files_that_use_the_module(self):
        sites = self.p.path("/etc/nginx/sites-enabled")
        e2e.write_file(os.path.join(sites, "example"), relocate(
            "\n".join(uncommented_blocks(self.p.read(SITES))), self.p.root))
        e2e.write_file(os.path.join(sites, "plain"), "server {\n    listen 80;\n}\n")
        warnings = self.p.script(MODULE_PACKAGE, "prerm", "remove")
        expect("/etc/nginx/sites-enabled/example" in warnings, warnings)
        expect("sites-enabled/plain" not in warnings, warnings)
        self.p.script(MODULE_PACKAGE, "postrm", "remove")
        link = self.p.path(ENABLED)
        expect(not os.path.lexists(link) and os.path.islink(link + ".removed"),
               "the link is not set aside")
        # Installing again enables the module again.
        self.p.script(MODULE_PACKAGE, "postinst", "configure", "1.51")
        expect(os.path.islink(link) and not os.path.lexists(link + ".removed"), "not enabled again")
        # A link the administrator removed stays removed through upgrades.
        os.remove(link)
        self.p.script(MODULE_PACKAGE, "postinst", "configure", "1.51")
        expect(not os.path.lexists(link), "the administrator's removal undone")
        # Purge removes the link, set aside or not.
        self.p.script(MODULE_PACKAGE, "postinst", "configure")
        self.p.script(MODULE_PACKAGE, "prerm", "remove")
        self.p.script(MODULE_PACKAGE, "postrm", "remove")
        self.p.script(MODULE_PACKAGE, "postrm", "purge")
        expect(not os.path.lexists(link) and not os.path.lexists(link + ".removed"),
               "link left after purge")

    def nginx_accepts_its_configuration_through_remove_reinstall_and_purge(self):
        debian = DebianNginx(self.p, self.p.work, self.args.preload)
        debian.install(MAIN)
        debian.install(MODULE_PACKAGE)
        debian.expect_configuration_accepted("installed")
        # The example server blocks, enabled as the administrator copies them, in place of
        # Debian's default site (another default server).
        site = "/etc/nginx/sites-available/kestrel-gatekeeper"
        e2e.write_file(debian.root + site,
                       relocate("\n".join(uncommented_blocks(self.p.read(SITES))), debian.root))
        enabled = debian.etc + "/sites-enabled/kestrel-gatekeeper"
        os.symlink(debian.root + site, enabled)
        os.remove(debian.etc + "/sites-enabled/default")
        debian.expect_configuration_accepted("with the example site")

        # Removal names the enabled file that uses the module; nginx refuses it until it goes.
        warnings = debian.remove(MODULE_PACKAGE)
        expect("/etc/nginx/sites-enabled/kestrel-gatekeeper" in warnings, warnings)
        passed, output = debian.configtest()
        expect(not passed and 'unknown directive "isapi_filter"' in output,
               f"the site without the module: {output}")
        os.remove(enabled)
        debian.expect_configuration_accepted("after remove")

        debian.install(MODULE_PACKAGE, "1.51")
        os.symlink(debian.root + site, enabled)
        debian.expect_configuration_accepted("after reinstall")
        os.remove(enabled)
        debian.remove(MODULE_PACKAGE)
        debian.purge(MODULE_PACKAGE)
        debian.expect_configuration_accepted("after purge")
        expect(not glob.glob(debian.etc + "/modules-enabled/50-mod-http-isapi-filter.conf*"),
               "the module's link after purge")

    def main_package_removes_and_purges_without_apache(self):
        self.p.script(MAIN, "prerm", "remove")
        self.p.script(MAIN, "postrm", "remove")
        expect(os.path.isfile(self.p.path(f"{DATA}/accounts.cfg")), "database removed by remove")
        self.p.script(MAIN, "postrm", "purge")
        expect(not os.path.exists(self.p.path(DATA)) and not os.path.exists(self.p.path(LOGS)),
               "data left after purge")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True, help="the source tree (scripts/package)")
    parser.add_argument("--build-dir", required=True, help="the built tree the packages take")
    parser.add_argument("--work", required=True, help="directory for this run's files")
    parser.add_argument("--preload", default="", help="sanitizer runtime to preload in nginx")
    args = parser.parse_args()
    checks = e2e.Checks()
    with conf.work_directory(args.work, conf.unprivileged_user()) as work:
        tests = NginxPackageTests(Packages(args, work), args)
        for name in ("lintian_finds_nothing_wrong_with_either_package",
                     "packages_hold_their_own_files_and_dependencies",
                     "set_up_without_apache_gives_the_data_to_nginxs_user",
                     "postinst_enables_the_module"):
            checks.run(name, getattr(tests, name))
        tests.configure_nginx()
        e2e.run_suite(tests.nginx, tests, ["site_user_logs_on_through_the_filter",
                                           "refusals_feed_the_shipped_fail2ban_jail",
                                           "account_files_below_the_root_are_never_served",
                                           "programs_answer_through_fcgiwrap",
                                           "steward_answers_the_sites_managers_only",
                                           "a_logon_the_filter_replaced_never_reaches_steward",
                                           "overseer_answers_its_administrator_only",
                                           "unknown_host_names_reach_nothing"], checks)
        for name in ("removal_sets_the_link_aside_and_names_the_files_that_use_the_module",
                     "nginx_accepts_its_configuration_through_remove_reinstall_and_purge",
                     "main_package_removes_and_purges_without_apache"):
            checks.run(name, getattr(tests, name))
    return checks.summary()


if __name__ == "__main__":
    sys.exit(main())
