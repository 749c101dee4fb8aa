#!/usr/bin/env python3
"""End-to-end test of the Debian package: scripts/package builds it from this build tree,
lintian finds no error, and the package extracted into a scratch root works there. Its
postinst sets the data up against that root (DPKG_ROOT), Apache on loopback includes the
shipped module and configuration snippets (their absolute paths moved into the root), and the
commented example sites of the configuration, uncommented, serve a mapped user through the
filter; the administration program answers its administrator only, steward the site's named
manager only, and the filter, rekey and steward find the same binding on a port other than 80
while a forged Host header on a Debian-like default site finds none. A copy of Debian's stock
Apache configuration in a second scratch root goes through installation, removal,
reinstallation and purge, and accepts its configuration after each. Purge, and only purge,
removes the data. Nothing is installed into the machine's own Apache.

Usage: package_e2e.py --source DIR --build-dir DIR --work DIR [--preload LIBASAN] [--mpm M]
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import argparse
import grp
import gzip
import os
import pwd
import re
import shutil
import subprocess

import e2e_support as e2e
from e2e_support import basic, eventually, expect, expect_equal

import apache_config as conf
import gatekeeper_state as state
from apache_process import ApacheProcess, free_port

DATA = "/var/lib/kestrel-gatekeeper"
LOGS = "/var/log/kestrel-gatekeeper"
KEY = os.path.join(DATA, "registry", *state.SETTINGS_KEY)
LOAD = "/etc/apache2/mods-available/isapi_filter.load"
CONF = "/etc/apache2/conf-available/kestrel-gatekeeper.conf"
LOGROTATE = "/etc/logrotate.d/kestrel-gatekeeper"
PASSWORDS = "/etc/apache2/server-accounts.htpasswd"
PROGRAMS = "/usr/lib/kestrel-gatekeeper/cgi-bin"
# CGI programs and where a build puts them: the package carries those the build has.
BUILT_PROGRAMS = {"overseer": "admin/overseer", "steward": "site/steward", "rekey": "password/rekey"}
BANNER = "Kestrel Gatekeeper version 1.51 - Administration CGI utility"
SITE = "www.example.com"
MANAGER = state.SAMPLE_SITE_MANAGER
ACCOUNTS = {"webuser": "webpass", "administrator": "adminpass", MANAGER[0]: MANAGER[1]}
REKEY_NO_SITE = "No authority was defined for site answering on"
# Shipped beside the binaries, under /usr/share.
DOCS = ["/usr/share/doc/kestrel-gatekeeper/README.Debian.gz",
        "/usr/share/doc/kestrel-gatekeeper/examples/fail2ban-jail.conf",
        "/usr/share/lintian/overrides/kestrel-gatekeeper"]
MANUAL = "/usr/share/man/man8/gatekeeper.8.gz"
COMPLETION = "/usr/share/bash-completion/completions/gatekeeper"


def run(command, **kwargs):
    return subprocess.run(command, check=True, capture_output=True, text=True, **kwargs).stdout


def relocate(text, root):
    """text with the absolute paths of the installed system moved below root."""
    return re.sub(r"(?<![\w./-])/(usr|var|etc)/", lambda m: f"{root}/{m.group(1)}/", text)


def build_is_optimized(build):
    """Whether the build tree compiles with optimization (glibc's fortified calls need it)."""
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        kind = re.search(r"^CMAKE_BUILD_TYPE:\w+=(.*)$", f.read(), re.M)
    return kind is not None and kind.group(1) in ("Release", "RelWithDebInfo", "MinSizeRel")


def on_port(site_text, port, loopback):
    """An example site moved to port, as the configuration's port rule says: the address of
    its <VirtualHost> and the port written into its ServerName."""
    text = site_text.replace("*:80", f"{loopback}:{port}")
    return re.sub(r"^(\s*ServerName\s+[^\s:]+)$", rf"\1:{port}", text, flags=re.M)


def example_sites(conf_text):
    """The commented <VirtualHost> examples of the shipped configuration, uncommented, in order."""
    sites, current = [], None
    for line in conf_text.splitlines():
        if line.startswith("#<VirtualHost"):
            current = []
        if current is not None and line.startswith("#"):
            current.append(line[1:])
        if line.startswith("#</VirtualHost>"):
            sites.append("\n".join(current))
            current = None
    return sites


class Package:
    """The package built from the build tree, extracted into a scratch root."""

    def __init__(self, args, work):
        self.source, self.build, self.work = args.source, args.build_dir, work
        self.run_user = conf.unprivileged_user() or pwd.getpwuid(os.getuid()).pw_name
        self.run_group = grp.getgrgid(pwd.getpwnam(self.run_user).pw_gid).gr_name
        out = run([os.path.join(self.source, "scripts", "package"), "--only", "deb",
                   "--build-dir", self.build, "--output", os.path.join(work, "out")],
                  cwd=self.source)
        self.deb = out.strip().splitlines()[-1]
        self.root = os.path.join(work, "root")
        run(["dpkg-deb", "-x", self.deb, self.root])
        self.control = os.path.join(work, "control")
        run(["dpkg-deb", "-e", self.deb, self.control])
        # Apache's user, as the root's Apache names it.
        e2e.write_file(self.path("/etc/apache2/envvars"),
                       f"export APACHE_RUN_USER={self.run_user}\nexport APACHE_RUN_GROUP={self.run_group}\n")

    def path(self, installed):
        """Where an installed path lies in the scratch root."""
        return self.root + installed

    def maintainer_script(self, name, *arguments):
        run(["sh", os.path.join(self.control, name), *arguments],
            env=dict(os.environ, DPKG_ROOT=self.root))

    def setting(self, name):
        with open(os.path.join(self.path(KEY), name), "rb") as f:
            return f.read()

    def read(self, installed):
        with open(self.path(installed), encoding="utf-8") as f:
            return f.read()


class DebianApache:
    """Debian's stock Apache configuration (a copy of /etc/apache2) in a scratch root of its own,
    where the package is installed, removed, installed again and purged as dpkg does it: the
    files unpacked and deleted, the maintainer scripts run against the root (DPKG_ROOT), and
    the module and configuration enabled and disabled with the commands that
    apache2-maintscript-helper runs for the scripts on a real system."""

    def __init__(self, package, work, preload):
        self.p, self.preload = package, preload
        self.root = os.path.join(work, "debian-root")
        self.etc = self.root + "/etc/apache2"
        shutil.copytree("/etc/apache2", self.etc, symlinks=True)
        self.runtime = os.path.join(work, "debian-runtime")
        os.makedirs(self.runtime)
        with open(os.path.join(self.etc, "envvars"), "a", encoding="utf-8") as f:
            f.write(f"export APACHE_RUN_USER={package.run_user}\n"
                    f"export APACHE_RUN_GROUP={package.run_group}\n")
            for name in ("RUN_DIR", "LOCK_DIR", "LOG_DIR"):
                f.write(f"export APACHE_{name}={self.runtime}\n")
            f.write(f"export APACHE_PID_FILE={self.runtime}/apache2.pid\n")
        listing = run(["dpkg-deb", "-c", package.deb]).splitlines()
        self.files = [line.split()[-1][1:] for line in listing if line.startswith("-")]
        with open(os.path.join(package.control, "conffiles"), encoding="utf-8") as f:
            self.conffiles = f.read().split()

    def env(self):
        return dict(os.environ, APACHE_CONFDIR=self.etc,
                    APACHE_STATE_DIRECTORY=self.root + "/var/lib/apache2")

    def script(self, name, *arguments):
        """Runs a maintainer script against the root; returns what it wrote to standard error."""
        result = subprocess.run(["sh", os.path.join(self.p.control, name), *arguments],
                                env=dict(os.environ, DPKG_ROOT=self.root), capture_output=True,
                                text=True)
        expect_equal(0, result.returncode, f"{name} {arguments}: {result.stderr}")
        return result.stderr

    def a2(self, command, *arguments):
        run([f"a2{command}", "-q", *arguments], env=self.env())

    def configtest(self, *arguments):
        """apache2 -t on the root's configuration: (passed, output)."""
        preload = f"LD_PRELOAD={self.preload} " if self.preload else ""
        result = subprocess.run(
            ["sh", "-c", f'. "$APACHE_CONFDIR/envvars" && {preload}exec apache2 -d "$APACHE_CONFDIR" '
             + " ".join(["-t", *arguments])],
            env=dict(self.env(), ASAN_OPTIONS="detect_leaks=0"), capture_output=True, text=True)
        return result.returncode == 0, result.stdout + result.stderr

    def expect_configuration_accepted(self, when, module_loaded):
        passed, output = self.configtest("-D", "DUMP_MODULES")
        expect(passed, f"apache2 -t {when}: {output}")
        expect_equal(module_loaded, "isapi_filter_module" in output, f"module loaded {when}")

    def install(self):
        run(["dpkg-deb", "-x", self.p.deb, self.root])
        load = self.root + LOAD
        with open(load, encoding="utf-8") as f:
            text = relocate(f.read(), self.root)
        e2e.write_file(load, text)
        self.script("postinst", "configure", *([] if not os.path.exists(self.root + DATA)
                                               else ["1.51"]))
        # apache2_invoke enmod / enconf
        self.a2("enmod", "-m", "isapi_filter")
        self.a2("enconf", "-m", "kestrel-gatekeeper")

    def remove(self):
        """prerm, the helper's disabling, the files, postrm; returns prerm's warnings."""
        warnings = self.script("prerm", "remove")
        self.a2("disconf", "-m", "-f", "kestrel-gatekeeper")
        self.a2("dismod", "-m", "-f", "isapi_filter")
        for path in self.files:
            if path not in self.conffiles and os.path.exists(self.root + path):
                os.remove(self.root + path)
        self.script("postrm", "remove")
        return warnings

    def purge(self):
        for path in self.conffiles:
            os.remove(self.root + path)
        self.script("postrm", "purge")
        self.a2("disconf", "-p", "-f", "kestrel-gatekeeper")
        self.a2("dismod", "-p", "-f", "isapi_filter")


class PackageTests:
    def __init__(self, package, args):
        self.p = package
        self.args = args
        self.apache = None

    # --- the package file ---------------------------------------------------------------

    def lintian_reports_no_error_and_no_hardening_gap(self):
        result = subprocess.run(["lintian", "--pedantic", "-I", "--fail-on", "error", self.p.deb],
                                capture_output=True, text=True)
        errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
        expect_equal([], errors, "lintian errors")
        expect_equal(0, result.returncode, f"lintian: {result.stdout}{result.stderr}")
        hardening = [line for line in result.stdout.splitlines() if ": hardening-" in line]
        if not build_is_optimized(self.p.build):
            # An unoptimized tree cannot fortify libc calls; every other flag applies.
            hardening = [line for line in hardening if "hardening-no-fortify-functions" not in line]
        expect_equal([], hardening, "hardening that lintian misses")
        expect(": no-manual-page" not in result.stdout and ": groff-message" not in result.stdout,
               f"gatekeeper has a manual page that renders: {result.stdout}")
        expect(": spelling-error-in-binary" not in result.stdout,
               f"the product's own texts are overridden: {result.stdout}")
        if build_is_optimized(self.p.build):
            # An optimized build fortifies the programs' libc calls.
            for name in os.listdir(self.p.path(PROGRAMS)):
                symbols = run(["nm", "-D", self.p.path(f"{PROGRAMS}/{name}")])
                expect("_chk@" in symbols, f"{name} calls no fortified function")

    def files_are_where_apache_and_debian_expect_them(self):
        expected = ["/usr/lib/apache2/modules/mod_isapi_filter.so",
                    "/usr/lib/kestrel-gatekeeper/sentry.so", LOAD, CONF, LOGROTATE,
                    "/usr/share/doc/kestrel-gatekeeper/copyright", *DOCS, "/usr/sbin/gatekeeper",
                    MANUAL, COMPLETION]
        expected += [f"{PROGRAMS}/{name}" for name, built in BUILT_PROGRAMS.items()
                     if os.path.isfile(os.path.join(self.p.build, built))]
        missing = [path for path in expected if not os.path.isfile(self.p.path(path))]
        expect_equal([], missing, "files missing from the package")
        shipped = sorted(os.listdir(self.p.path(PROGRAMS)))
        expect_equal(sorted(p.rsplit("/", 1)[1] for p in expected if p.startswith(PROGRAMS)),
                     shipped, "CGI programs")
        for name in shipped:
            expect(os.access(self.p.path(f"{PROGRAMS}/{name}"), os.X_OK), f"{name} not executable")
        expect("LoadModule isapi_filter_module /usr/lib/apache2/modules/mod_isapi_filter.so"
               in self.p.read(LOAD), "the .load file loads the shipped module")
        with open(os.path.join(self.p.control, "conffiles"), encoding="utf-8") as f:
            conffiles = sorted(f.read().split())
        expect_equal(sorted([LOAD, CONF, LOGROTATE]), conffiles, "conffiles")

    def manual_page_renders_and_completion_loads(self):
        with gzip.open(self.p.path(MANUAL), "rt", encoding="utf-8") as f:
            page = f.read()
        rendered = subprocess.run(["groff", "-man", "-ww", "-z"], input=page,
                                  capture_output=True, text=True)
        expect_equal(("", 0), (rendered.stderr, rendered.returncode), "groff on gatekeeper(8)")
        for command in ("ntaccount passwd", "authority rename", "binding add", "options set",
                        "log"):
            expect(command in page, f"gatekeeper(8) describes {command}")
        # The completion as bash-completion loads it: sourced, registered for gatekeeper, and
        # offering the groups as the first word.
        script = (f"source '{self.p.path(COMPLETION)}' && complete -p gatekeeper && "
                  "COMP_WORDS=(gatekeeper ''); COMP_CWORD=1; _gatekeeper; echo \"${COMPREPLY[*]}\"; "
                  "COMP_WORDS=(gatekeeper au); _gatekeeper; echo \"${COMPREPLY[*]}\"")
        lines = run(["bash", "--norc", "--noprofile", "-c", script]).splitlines()
        expect_equal("complete -F _gatekeeper gatekeeper", lines[0], "completion registered")
        expect_equal({"user", "check", "ntaccount", "options", "authority", "binding", "log",
                      "import"},
                     set(lines[1].split()), "first words")
        expect_equal("authority", lines[2], "first word from 'au'")

    # --- postinst ---------------------------------------------------------------------

    def postinst_creates_the_data_for_apaches_user(self):
        self.p.maintainer_script("postinst", "configure")
        for directory in (DATA, f"{DATA}/registry", f"{DATA}/backups", LOGS, KEY):
            info = os.stat(self.p.path(directory))
            expect_equal(self.p.run_user, pwd.getpwuid(info.st_uid).pw_name, f"owner of {directory}")
        expect_equal(f"{DATA}/accounts.cfg\0".encode(), self.p.setting("Configuration File"), "database")
        expect_equal(f"{DATA}/backups\0".encode(), self.p.setting("Backup directory"), "backups")
        database = self.p.read(f"{DATA}/accounts.cfg")
        expect(f"(string)log={LOGS}/events.log" in database, database)
        expect_equal(self.p.run_user,
                     pwd.getpwuid(os.stat(self.p.path(f"{DATA}/accounts.cfg")).st_uid).pw_name,
                     "owner of the database")
        # Nothing of it for other accounts, even what an earlier installation left open.
        os.chmod(self.p.path(f"{DATA}/accounts.cfg"), 0o644)
        self.p.maintainer_script("postinst", "configure", "1.50")
        for directory, _, files in os.walk(self.p.path(DATA)):
            for path in [directory] + [os.path.join(directory, name) for name in files]:
                expect_equal(0, os.stat(path).st_mode & 0o007, f"mode of {path} for others")

    def postinst_keeps_an_existing_key_and_database(self):
        # Apache runs outside the scratch root: the key names the root's files as it sees them.
        database = self.p.path(f"{DATA}/accounts.cfg")
        state.write_settings(self.p.path(f"{DATA}/registry"), database, self.p.path(f"{DATA}/backups"))
        with open(database, "a", encoding="utf-8") as f:
            f.write("{ NTACCOUNTS:\n} NTACCOUNTS;\n")
        before = self.p.read(f"{DATA}/accounts.cfg")
        self.p.maintainer_script("postinst", "configure", "1.50")
        expect_equal(f"{database}\0".encode(), self.p.setting("Configuration File"), "key kept")
        expect_equal(before, self.p.read(f"{DATA}/accounts.cfg"), "database kept")
        # A key of its own elsewhere: postinst creates no database beside it.
        os.remove(database)
        self.p.maintainer_script("postinst", "configure", "1.50")
        expect(not os.path.exists(database), "a database created although a key exists")
        with open(database, "w", encoding="utf-8") as f:
            f.write(before)
        conf.give_to_run_user(self.p.path(DATA), self.p.run_user if os.geteuid() == 0 else None)

    # --- Apache with the shipped snippets ------------------------------------------------

    def configure_apache(self):
        """The shipped snippets and the uncommented examples, moved into the scratch root; a
        port for the examples and a port that no binding covers for the administration
        program."""
        root = self.p.root
        includes = []
        for installed in (LOAD, CONF):
            relocated = os.path.join(self.p.work, "apache-conf", os.path.basename(installed))
            e2e.write_file(relocated, relocate(self.p.read(installed), root))
            includes.append(relocated)
        self.site_port, self.admin_port = free_port(), free_port()
        self.default_port = free_port()
        # In the order shipped: the first is Apache's default for unknown names. The site on a
        # port other than 80, with that port in its ServerName as the configuration says.
        sites = [f"Listen {conf.LOOPBACK}:{self.site_port}"]
        for text in example_sites(self.p.read(CONF)):
            sites.append(on_port(relocate(text, root), self.site_port, conf.LOOPBACK))
        # Debian's stock 000-default on an address of its own: no ServerName, the client's
        # Host header taken as the site's name (UseCanonicalName Off).
        sites += [f"Listen {conf.LOOPBACK}:{self.default_port}",
                  f"<VirtualHost {conf.LOOPBACK}:{self.default_port}>",
                  "    UseCanonicalName Off",
                  f"    DocumentRoot {self.p.path('/var/www/html')}",
                  "</VirtualHost>"]
        e2e.write_file(self.p.path("/var/www/html/index.html"), "default\n")
        examples = os.path.join(self.p.work, "apache-conf", "example-sites.conf")
        e2e.write_file(examples, "\n".join(sites) + "\n")
        includes.append(examples)

        e2e.write_file(self.p.path("/var/www/example/index.html"), "protected page\n")
        conf.write_password_file(self.p.path(PASSWORDS), ACCOUNTS)
        admin_root = os.path.join(self.p.work, "admin-site")
        e2e.write_file(os.path.join(admin_root, "index.html"), "administration\n")
        server = conf.Server(os.path.join(self.p.work, "apache"), None, self.p.path(PASSWORDS),
                             [conf.Site(self.admin_port, admin_root, "Administration")],
                             mpm=self.args.mpm, run_user=conf.unprivileged_user(),
                             pass_env=["GATEKEEPER_REGISTRY"], includes=includes)
        conf.write(server)
        env = dict(os.environ, GATEKEEPER_REGISTRY=self.p.path(f"{DATA}/registry"))
        self.apache = ApacheProcess(server, env=env, preload=self.args.preload)

    def site(self, path, account=None, host=SITE):
        return e2e.fetch(f"http://{conf.LOOPBACK}:{self.site_port}{path}",
                         basic(*account) if account else None, headers=[f"Host: {host}"])

    def overseer(self, account=None):
        return e2e.fetch(f"http://{conf.LOOPBACK}:{self.admin_port}/gatekeeper/overseer",
                         basic(*account) if account else None)

    def administration_program_answers_its_administrator_only(self):
        r = self.overseer(("administrator", ACCOUNTS["administrator"]))
        expect_equal(200, r.status, r)
        expect(BANNER in r.text, "the frame on the database postinst created")
        for account in (None, ("webuser", ACCOUNTS["webuser"])):
            r = self.overseer(account)
            expect_equal(401, r.status, f"{account}: {r}")
            expect_equal('Basic realm="Kestrel Gatekeeper administration"',
                         r.header("WWW-Authenticate"), "challenge")

    def mapped_user_passes_the_filter(self):
        database = self.p.path(f"{DATA}/accounts.cfg")
        events = self.p.path(f"{LOGS}/events.log")
        users = {**state.SAMPLE_USERS, MANAGER[0]: {"DoNotMap": 1}}
        bindings = {state.binding_key(host, port): state.SAMPLE_AUTHORITY
                    for host, port in ((SITE, self.site_port), (SITE, self.default_port))}
        state.write_database(database, state.database_text(
            {"log": events}, bindings, {state.SAMPLE_AUTHORITY: users},
            state.SAMPLE_MAPPED_ACCOUNTS))
        r = self.site("/index.html", ("john", state.SAMPLE_USERS["john"]["Password"]))
        expect_equal(200, r.status, r)
        expect_equal("protected page\n", r.text, "page")
        r = self.site("/index.html", ("john", "wrong"))
        expect_equal(401, r.status, f"wrong password: {r}")
        # The filter wrote its log and backed the previous database up where postinst said.
        with open(events, encoding="latin-1") as f:
            expect("john" in f.read(), "event log")
        expect(eventually(lambda: os.listdir(self.p.path(f"{DATA}/backups"))),
               "no backup at the reload")

    def no_site_user_reaches_overseer_as_the_administrator(self):
        """A user mapped onto the administrator's server account, under another name or under
        the administrator's own, gets no page of overseer on the bound site."""
        database = self.p.path(f"{DATA}/accounts.cfg")
        with open(database, encoding="latin-1") as f:
            before = f.read()
        users = {**state.SAMPLE_USERS, MANAGER[0]: {"DoNotMap": 1},
                 "evil": {"Password": "evilpw", "MapTo": "administrator"},
                 "administrator": {"Password": "evilpw", "MapTo": "administrator"}}
        accounts = {**state.SAMPLE_MAPPED_ACCOUNTS, "administrator": ACCOUNTS["administrator"]}
        state.write_database(database, state.database_text(
            {"log": self.p.path(f"{LOGS}/events.log")},
            {state.binding_key(SITE, self.site_port): state.SAMPLE_AUTHORITY},
            {state.SAMPLE_AUTHORITY: users}, accounts))
        try:
            for user in ("evil", "administrator", "Administrator"):
                r = self.site("/gatekeeper/overseer", (user, "evilpw"))
                expect_equal(403, r.status, f"{user}: {r}")
                expect(BANNER not in r.text and "Password" not in r.text, f"{user}: {r.text}")
                expect("differs the logged on user" in r.text, f"{user}: {r.text}")
        finally:
            state.write_database(database, before)

    def steward_answers_the_named_manager_only(self):
        john = ("john", state.SAMPLE_USERS["john"]["Password"])
        for account in (None, john, ("webuser", ACCOUNTS["webuser"]),
                        ("administrator", ACCOUNTS["administrator"])):
            r = self.site("/gatekeeper/steward", account)
            expect(r.status in (401, 403), f"steward for {account}: {r}")
            expect("john" not in r.text, f"a user list for {account}")
        r = self.site("/gatekeeper/steward", MANAGER)
        expect_equal(200, r.status, r)
        expect("john" in r.text and REKEY_NO_SITE not in r.text, f"the site's users: {r.text}")
        # Where no site names managers, steward answers nobody.
        r = e2e.fetch(f"http://{conf.LOOPBACK}:{self.admin_port}/gatekeeper/steward", basic(*MANAGER))
        expect_equal(403, r.status, r)

    def filter_rekey_and_steward_find_one_binding_off_port_80(self):
        r = self.site("/index.html", ("mary", state.SAMPLE_USERS["mary"]["Password"]))
        expect_equal(200, r.status, f"the filter: {r}")
        r = self.site("/gatekeeper/rekey")
        expect_equal(200, r.status, r)
        expect(REKEY_NO_SITE not in r.text, f"rekey finds no binding: {r.text}")
        r = self.site("/gatekeeper/steward", MANAGER)
        expect(REKEY_NO_SITE not in r.text and "mary" in r.text, f"steward: {r.text}")

    def forged_host_on_the_default_site_reaches_no_authority(self):
        # The database binds the forged name on this port: only the client's Host names it.
        url = f"http://{conf.LOOPBACK}:{self.default_port}/gatekeeper"
        for host in (SITE, f"{SITE}:{self.default_port}"):
            r = e2e.fetch(url + "/rekey", headers=[f"Host: {host}"])
            expect_equal(200, r.status, r)
            expect(REKEY_NO_SITE in r.text, f"rekey served {host}: {r.text}")
            r = e2e.fetch(url + "/steward", basic(*MANAGER), headers=[f"Host: {host}"])
            expect(r.status in (401, 403) and "john" not in r.text, f"steward served {host}: {r}")

    def programs_refuse_large_bodies(self):
        r = e2e.fetch(f"http://{conf.LOOPBACK}:{self.site_port}/gatekeeper/rekey?Action=editdo",
                      headers=[f"Host: {SITE}"], data="User=john&" + "x" * 70000)
        expect_equal(413, r.status, r)

    def unknown_host_names_reach_nothing(self):
        r = self.site("/index.html", ("john", state.SAMPLE_USERS["john"]["Password"]),
                      host="forged.example.org")
        expect_equal(403, r.status, r)

    def logrotate_accepts_the_shipped_rules(self):
        relocated = os.path.join(self.p.work, "logrotate.conf")
        text = relocate(self.p.read(LOGROTATE), self.p.root)
        e2e.write_file(relocated, text.replace("su www-data www-data",
                                               f"su {self.p.run_user} {self.p.run_group}"))
        result = subprocess.run(["logrotate", "--debug", "--state",
                                 os.path.join(self.p.work, "logrotate.state"), relocated],
                                capture_output=True, text=True)
        expect_equal(0, result.returncode, result.stderr)
        expect("error" not in result.stderr.lower(), result.stderr)

    # --- removal --------------------------------------------------------------------

    def apache_accepts_its_configuration_through_remove_reinstall_and_purge(self):
        debian = DebianApache(self.p, self.p.work, self.args.preload)
        debian.install()
        # The protected example site, enabled as an administrator copies it.
        site = relocate(example_sites(self.p.read(CONF))[1], self.p.root)
        e2e.write_file(debian.etc + "/sites-available/example.conf", site)
        os.symlink("../sites-available/example.conf", debian.etc + "/sites-enabled/example.conf")
        debian.expect_configuration_accepted("installed", True)

        # Removal names every enabled file that uses the filter, and which of them break.
        e2e.write_file(debian.etc + "/sites-enabled/bare.conf",
                       "<VirtualHost *:80>\n    IsapiFilter /usr/lib/kestrel-gatekeeper/sentry.so\n"
                       "</VirtualHost>\n")
        warnings = debian.remove()
        expect(re.search(r"/etc/apache2/sites-enabled/example\.conf: inside <IfModule", warnings),
               warnings)
        expect(re.search(r"/etc/apache2/sites-enabled/bare\.conf: outside <IfModule", warnings),
               warnings)
        passed, output = debian.configtest()
        expect(not passed and "IsapiFilter" in output, f"a bare IsapiFilter is refused: {output}")
        os.remove(debian.etc + "/sites-enabled/bare.conf")
        debian.expect_configuration_accepted("after remove", False)

        debian.install()
        debian.expect_configuration_accepted("after reinstall", True)
        debian.remove()
        debian.purge()
        debian.expect_configuration_accepted("after purge", False)
        expect(not os.path.exists(debian.root + DATA), "data left after purge")

    def remove_keeps_the_data_and_purge_removes_it(self):
        self.p.maintainer_script("postrm", "remove")
        expect(os.path.isfile(self.p.path(f"{DATA}/accounts.cfg")), "database removed by remove")
        self.p.maintainer_script("postrm", "purge")
        expect(not os.path.exists(self.p.path(DATA)), "data left after purge")
        expect(not os.path.exists(self.p.path(LOGS)), "event log left after purge")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True, help="the source tree (scripts/package)")
    parser.add_argument("--build-dir", required=True, help="the built tree the package takes")
    parser.add_argument("--work", required=True, help="directory for this run's files")
    parser.add_argument("--preload", default="", help="sanitizer runtime to preload in Apache")
    parser.add_argument("--mpm", choices=["event", "prefork"], default="event")
    args = parser.parse_args()
    checks = e2e.Checks()
    with conf.work_directory(args.work, conf.unprivileged_user()) as work:
        tests = PackageTests(Package(args, work), args)
        for name in ("lintian_reports_no_error_and_no_hardening_gap",
                     "files_are_where_apache_and_debian_expect_them",
                     "manual_page_renders_and_completion_loads",
                     "postinst_creates_the_data_for_apaches_user",
                     "postinst_keeps_an_existing_key_and_database",
                     "logrotate_accepts_the_shipped_rules"):
            checks.run(name, getattr(tests, name))
        tests.configure_apache()
        e2e.run_suite(tests.apache, tests, ["administration_program_answers_its_administrator_only",
                                            "mapped_user_passes_the_filter",
                                            "no_site_user_reaches_overseer_as_the_administrator",
                                            "steward_answers_the_named_manager_only",
                                            "filter_rekey_and_steward_find_one_binding_off_port_80",
                                            "forged_host_on_the_default_site_reaches_no_authority",
                                            "programs_refuse_large_bodies",
                                            "unknown_host_names_reach_nothing"], checks)
        checks.run("remove_keeps_the_data_and_purge_removes_it",
                   tests.remove_keeps_the_data_and_purge_removes_it)
        checks.run("apache_accepts_its_configuration_through_remove_reinstall_and_purge",
                   tests.apache_accepts_its_configuration_through_remove_reinstall_and_purge)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(main())
