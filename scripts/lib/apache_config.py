"""Self-contained Apache httpd configurations for hosting ISAPI filters through mod_isapi_filter.

Used by the end-to-end tests and by scripts/demo: one place that knows how the sites are
set up. A configuration lives in its own directory (ServerRoot), listens on loopback only, and
loads the modules it needs from the system's module directory.
"""

import contextlib
import dataclasses
import os
import pwd
import grp
import shutil
import socket
import stat
import subprocess
import tempfile

LOOPBACK = "127.0.0.1"
# Threads of the one event-MPM process.
THREADS = 128
# Names of the account database ("*.cfg"), of its lock, holder and temporary files
# ("*.cfg.lock", "*.cfg.holder", "*.cfg.~tmp-XXXXXX") and of its backups ("Portcullis-*.cfg"): an
# ap_expr regular expression.
ACCOUNT_FILES = r"\.cfg(\.[^/]*)?$"
# The name of the virtual host that answers requests for host names no site carries.
UNKNOWN_HOST = "unknown-host.invalid"
# The largest request body Apache hands a CGI program (LimitRequestBody): far above any form of
# the programs, and what they accept themselves.
REQUEST_BODY_LIMIT = 65536


@dataclasses.dataclass
class Location:
    """A URL path of a site."""
    path: str                         # URL prefix, e.g. "/private" or "/cgi-bin/"
    require_user: bool = False        # Apache's own Basic authentication (Require valid-user)
    allowed_users: list[str] = dataclasses.field(default_factory=list)  # with require_user: only these
    script_dir: str | None = None     # CGI programs: ScriptAlias of path to this directory
    pass_auth_to_scripts: bool = False  # CGIPassAuth (kept off unless a test needs it on)
    error_documents: dict[int, str] = dataclasses.field(default_factory=dict)  # status -> URL
    directory_index: str | None = None  # DirectoryIndex for directories below path
    directives: list[str] = dataclasses.field(default_factory=list)  # any further ones


@dataclasses.dataclass
class Site:
    """One port with its own document root, filters and locations."""
    port: int
    document_root: str
    realm: str
    isapi_filters: list[str] = dataclasses.field(default_factory=list)
    locations: list[Location] = dataclasses.field(default_factory=list)
    directives: list[str] = dataclasses.field(default_factory=list)  # any further ones


@dataclasses.dataclass
class Server:
    """Everything one Apache instance serves."""
    root: str                 # ServerRoot: configuration, logs, pid file, runtime files
    module_path: str | None   # mod_isapi_filter.so (None: loaded by one of the includes)
    password_file: str        # htpasswd file: the server's own accounts
    sites: list[Site]
    mpm: str = "event"        # "event" (one process, many threads) or "prefork"
    run_user: str | None = None  # User/Group when started as root
    isapi_filters: list[str] = dataclasses.field(default_factory=list)  # for every site
    # Variables of Apache's environment handed on to CGI programs (filters see all of it).
    pass_env: list[str] = dataclasses.field(default_factory=list)
    # Seconds a client may take to send a request's headers (mod_reqtimeout; up to twice as
    # long while they keep arriving), so that slow clients cannot hold every thread.
    header_timeout: int = 20
    # A disk cache (mod_cache after authentication) that locations enable with "CacheEnable disk".
    disk_cache: bool = False
    # Further configuration files, included after the modules are loaded.
    includes: list[str] = dataclasses.field(default_factory=list)

    @property
    def filtered(self):
        """Whether every site is filtered: filters named for the whole server."""
        return bool(self.isapi_filters)

    @property
    def config_path(self):
        return os.path.join(self.root, "httpd.conf")

    @property
    def pid_file(self):
        return os.path.join(self.root, "httpd.pid")

    @property
    def error_log(self):
        return os.path.join(self.root, "error.log")

    @property
    def cache_root(self):
        return os.path.join(self.root, "cache")

    @property
    def unknown_host_root(self):
        """The empty document root of the virtual host answering unknown host names."""
        return os.path.join(self.root, "unknown-host")


def module_directory():
    """The directory of the system's Apache modules."""
    try:
        out = subprocess.run(["apxs", "-q", "LIBEXECDIR"], capture_output=True, text=True,
                             check=True).stdout.strip()
        if out:
            return out
    except (OSError, subprocess.CalledProcessError):
        pass
    return "/usr/lib/apache2/modules"


def unprivileged_user():
    """The account Apache's children run as when Apache is started as root, else None."""
    if os.geteuid() != 0:
        return None
    for name in ("www-data", "nobody"):
        try:
            pwd.getpwnam(name)
            return name
        except KeyError:
            continue
    raise RuntimeError("no unprivileged account (www-data or nobody) to run Apache's children")


def _traversable_by_others(path):
    path = os.path.abspath(path)
    while True:
        if not os.stat(path).st_mode & stat.S_IXOTH:
            return False
        parent = os.path.dirname(path)
        if parent == path:
            return True
        path = parent


def state_directory(preferred, run_user):
    """A fresh directory for a server's files: preferred, unless Apache's children (running as
    run_user) could not reach it, in which case a new directory below the system's temporary
    directory."""
    if run_user is not None:
        os.makedirs(os.path.dirname(os.path.abspath(preferred)), exist_ok=True)
        if not _traversable_by_others(os.path.dirname(os.path.abspath(preferred))):
            path = tempfile.mkdtemp(prefix="kestrel-apache-")
            os.chmod(path, 0o755)
            return path
    if os.path.exists(preferred):
        shutil.rmtree(preferred)
    os.makedirs(preferred)
    os.chmod(preferred, 0o755)
    return preferred


@contextlib.contextmanager
def work_directory(preferred, run_user):
    """state_directory() for a with-block; a directory made elsewhere is removed at its end."""
    path = state_directory(preferred, run_user)
    try:
        yield path
    finally:
        if path != os.path.abspath(preferred):
            shutil.rmtree(path, ignore_errors=True)


def give_to_run_user(path, run_user):
    """Lets Apache's children write path, and below it when it is a directory (files the filter
    writes: logs, backups; a database the programs save)."""
    if run_user is None:
        return
    account = pwd.getpwnam(run_user)
    if not os.path.isdir(path):
        os.chown(path, account.pw_uid, account.pw_gid)
        return
    for directory, _, files in os.walk(path):
        os.chown(directory, account.pw_uid, account.pw_gid)
        for name in files:
            os.chown(os.path.join(directory, name), account.pw_uid, account.pw_gid)


def write_password_file(path, accounts):
    """Writes an htpasswd file holding accounts (name -> password), readable by its owner and
    Apache's group only (0640; started as root, the group of Apache's children)."""
    if os.path.exists(path):
        os.remove(path)
    for name, password in accounts.items():
        flags = "-bc" if not os.path.exists(path) else "-b"
        subprocess.run(["htpasswd", flags, path, name, password], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.chmod(path, 0o640)
    run_user = unprivileged_user()
    if run_user is not None:
        os.chown(path, -1, pwd.getpwnam(run_user).pw_gid)


def _quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def _global_section(server):
    modules = module_directory()
    cgi_module = ("cgid_module", "mod_cgid.so") if server.mpm == "event" else ("cgi_module", "mod_cgi.so")
    loads = [
        (f"mpm_{server.mpm}_module", f"mod_mpm_{server.mpm}.so"),
        ("authn_core_module", "mod_authn_core.so"),
        ("authn_file_module", "mod_authn_file.so"),
        ("authz_core_module", "mod_authz_core.so"),
        ("authz_user_module", "mod_authz_user.so"),
        ("auth_basic_module", "mod_auth_basic.so"),
        ("mime_module", "mod_mime.so"),
        ("headers_module", "mod_headers.so"),
        ("alias_module", "mod_alias.so"),
        ("dir_module", "mod_dir.so"),
        ("env_module", "mod_env.so"),
        ("setenvif_module", "mod_setenvif.so"),
        ("reqtimeout_module", "mod_reqtimeout.so"),
        cgi_module,
    ]
    if server.disk_cache:
        loads += [("cache_module", "mod_cache.so"), ("cache_disk_module", "mod_cache_disk.so")]
    lines = [f"ServerRoot {_quote(server.root)}",
             f"PidFile {_quote(server.pid_file)}",
             f"DefaultRuntimeDir {_quote(os.path.join(server.root, 'run'))}",
             f"ErrorLog {_quote(server.error_log)}",
             "LogLevel warn isapi_filter:info",
             'LogFormat "%h %l %u %t \\"%r\\" %>s %b" common',
             f"CustomLog {_quote(os.path.join(server.root, 'access.log'))} common",
             f"ServerName {LOOPBACK}",
             "ServerTokens Prod",
             "Timeout 30",
             "KeepAlive On",
             f"RequestReadTimeout header={server.header_timeout}-{2 * server.header_timeout},"
             "MinRate=500 body=20,MinRate=500"]
    lines += [f"LoadModule {name} {_quote(os.path.join(modules, file))}" for name, file in loads]
    if server.module_path is not None:
        lines.append(f"LoadModule isapi_filter_module {_quote(server.module_path)}")
    lines += [f"Include {_quote(path)}" for path in server.includes]
    if server.run_user is not None:
        group = grp.getgrgid(pwd.getpwnam(server.run_user).pw_gid).gr_name
        lines += [f"User {server.run_user}", f"Group {group}"]
    if server.mpm == "event":
        # One process, like IIS's worker process: every request sees the same filter state. Its
        # threads are all the connections it serves at once, slow ones included.
        lines += ["StartServers 1", "ServerLimit 1", f"ThreadLimit {THREADS}",
                  f"ThreadsPerChild {THREADS}", f"MaxRequestWorkers {THREADS}",
                  "MinSpareThreads 1", f"MaxSpareThreads {THREADS}",
                  f"ScriptSock {_quote(os.path.join(server.root, 'run', 'cgid.sock'))}"]
    else:
        lines += ["StartServers 2", "MinSpareServers 1", "MaxSpareServers 4",
                  "MaxRequestWorkers 32"]
    lines += [f"IsapiFilter {_quote(path)}" for path in server.isapi_filters]
    lines += [f"PassEnv {name}" for name in server.pass_env]
    # Windows hands every program the machine's name; the administration program shows it.
    lines.append(f"SetEnv COMPUTERNAME {_quote(socket.gethostname())}")
    lines += ["TypesConfig /etc/mime.types",
              "<Directory />", "    AllowOverride None", "    Require all denied", "</Directory>"]
    # The account database, its lock and temporary files and its backups hold every password:
    # no URL serves them, wherever they lie (a backup directory pointed into a web root). An
    # <If> section applies after every <Location>, so no site's own Require overrides it.
    lines += [f'<If "%{{REQUEST_FILENAME}} =~ m#{ACCOUNT_FILES}#i">', "    Require all denied",
              "</If>"]
    if server.disk_cache:
        # The cache answers after authentication and authorization, as any other handler.
        lines += [f"CacheRoot {_quote(server.cache_root)}", "CacheQuickHandler Off",
                  "CacheHeader On"]
    lines += [f"Listen {LOOPBACK}:{site.port}" for site in server.sites]
    return lines


def _require_word(name):
    """name as one quoted word of a Require line. Apache reads the line as an expression
    string before it splits it into words: a name with a backslash, or with both kinds of
    quote, cannot be written there."""
    for quote in ('"', "'"):
        if quote not in name and "\\" not in name:
            return quote + name + quote
    raise ValueError(f"Require cannot name the account {name!r}")


def _location_section(site, location, password_file):
    lines = []
    if location.script_dir is not None:
        lines += [f"    ScriptAlias {location.path} {_quote(location.script_dir.rstrip('/') + '/')}",
                  f"    <Directory {_quote(location.script_dir)}>",
                  "        Options +ExecCGI",
                  "        SetHandler cgi-script",
                  f"        CGIPassAuth {'On' if location.pass_auth_to_scripts else 'Off'}",
                  f"        LimitRequestBody {REQUEST_BODY_LIMIT}",
                  "        Require all granted",
                  "    </Directory>"]
    lines.append(f"    <Location {_quote(location.path)}>")
    if location.require_user:
        require = ("user " + " ".join(_require_word(user) for user in location.allowed_users)
                   if location.allowed_users else "valid-user")
        lines += ["        AuthType Basic",
                  f"        AuthName {_quote(site.realm)}",
                  "        AuthBasicProvider file",
                  f"        AuthUserFile {_quote(password_file)}",
                  f"        Require {require}"]
    else:
        lines.append("        Require all granted")
    lines += [f"        ErrorDocument {status} {url}"
              for status, url in sorted(location.error_documents.items())]
    if location.directory_index is not None:
        lines.append(f"        DirectoryIndex {location.directory_index}")
    lines += ["        " + directive for directive in location.directives]
    if location.script_dir is not None and location.require_user:
        # Apache adds no challenge to a CGI program's own "Status: 401"; browsers need one to
        # ask for other credentials. A 401 that already carries a challenge (Apache's own, the
        # filter's refusal, or one the program wrote) keeps it alone.
        challenge = f'Basic realm=\\"{site.realm}\\"'
        lines.append(f'        Header always set WWW-Authenticate "{challenge}" '
                     f'"expr=%{{REQUEST_STATUS}} == 401 && -z resp(\'WWW-Authenticate\')"')
    lines.append("    </Location>")
    return lines


def _unknown_host_section(server, site):
    """The first virtual host of a site's address, so the one that answers every host name
    that the site does not carry (and requests without one): it serves nothing. Otherwise a
    forged Host header would reach the site under a name that no binding covers, and a server
    account would log on to a bound site directly."""
    return [f"<VirtualHost {LOOPBACK}:{site.port}>",
            f"    ServerName {UNKNOWN_HOST}:{site.port}",
            f"    DocumentRoot {_quote(server.unknown_host_root)}",
            "    <Location />",
            "        Require all denied",
            "    </Location>",
            "</VirtualHost>"]


def _site_section(server, site):
    # The port in ServerName: under UseCanonicalName On, CGI programs are told it as
    # SERVER_PORT (else 80), and they build the site's binding key from it as the filter does.
    lines = [f"<VirtualHost {LOOPBACK}:{site.port}>",
             f"    ServerName localhost:{site.port}",
             f"    ServerAlias {LOOPBACK}"]
    if site.isapi_filters or server.filtered:
        # Filters get the site's own name as SERVER_NAME, never the client's Host header.
        lines.append("    UseCanonicalName On")
    lines += [f"    DocumentRoot {_quote(site.document_root)}",
              f"    <Directory {_quote(site.document_root)}>",
              "        Options None",
              "        DirectoryIndex index.html",
              "        Require all granted",
              "    </Directory>"]
    lines += [f"    IsapiFilter {_quote(path)}" for path in site.isapi_filters]
    lines += ["    " + directive for directive in site.directives]
    for location in site.locations:
        lines += _location_section(site, location, server.password_file)
    lines.append("</VirtualHost>")
    return lines


def render(server):
    """The text of the configuration file."""
    lines = _global_section(server)
    for site in server.sites:
        lines += [""] + _unknown_host_section(server, site) + _site_section(server, site)
    return "\n".join(lines) + "\n"


def write(server):
    """Writes the configuration and the directories it names; returns its path."""
    os.makedirs(os.path.join(server.root, "run"), exist_ok=True)
    os.makedirs(server.unknown_host_root, exist_ok=True)
    if server.disk_cache:
        os.makedirs(server.cache_root, exist_ok=True)
        give_to_run_user(server.cache_root, server.run_user)
    with open(server.config_path, "w", encoding="utf-8") as out:
        out.write(render(server))
    return server.config_path
