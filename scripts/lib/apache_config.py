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


@dataclasses.dataclass
class Location:
    """A URL path of a site."""
    path: str                         # URL prefix, e.g. "/private" or "/cgi-bin/"
    require_user: bool = False        # Apache's own Basic authentication (Require valid-user)
    script_dir: str | None = None     # CGI programs: ScriptAlias of path to this directory
    pass_auth_to_scripts: bool = False  # CGIPassAuth (kept off unless a test needs it on)
    error_documents: dict[int, str] = dataclasses.field(default_factory=dict)  # status -> URL
    directory_index: str | None = None  # DirectoryIndex for directories below path
    directives: list[str] = dataclasses.field(default_factory=list)  # any further ones
    users: list[str] | None = None    # with require_user: only these accounts (Require user)


@dataclasses.dataclass
class Site:
    """One port with its own document root, filters and locations."""
    port: int
    document_root: str
    realm: str
    isapi_filters: list[str] = dataclasses.field(default_factory=list)
    locations: list[Location] = dataclasses.field(default_factory=list)


@dataclasses.dataclass
class Server:
    """Everything one Apache instance serves."""
    root: str                 # ServerRoot: configuration, logs, pid file, runtime files
    module_path: str          # mod_isapi_filter.so
    password_file: str        # htpasswd file: the server's own accounts
    sites: list[Site]
    mpm: str = "event"        # "event" (one process, many threads) or "prefork"
    run_user: str | None = None  # User/Group when started as root
    isapi_filters: list[str] = dataclasses.field(default_factory=list)  # for every site
    # Variables of Apache's environment handed on to CGI programs (filters see all of it).
    pass_env: list[str] = dataclasses.field(default_factory=list)

    @property
    def config_path(self):
        return os.path.join(self.root, "httpd.conf")

    @property
    def pid_file(self):
        return os.path.join(self.root, "httpd.pid")

    @property
    def error_log(self):
        return os.path.join(self.root, "error.log")


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
    """Lets Apache's children write below path (files the filter writes: logs, backups)."""
    if run_user is None:
        return
    account = pwd.getpwnam(run_user)
    for directory, _, files in os.walk(path):
        os.chown(directory, account.pw_uid, account.pw_gid)
        for name in files:
            os.chown(os.path.join(directory, name), account.pw_uid, account.pw_gid)


def write_password_file(path, accounts):
    """Writes an htpasswd file holding accounts (name -> password)."""
    if os.path.exists(path):
        os.remove(path)
    for name, password in accounts.items():
        flags = "-bc" if not os.path.exists(path) else "-b"
        subprocess.run(["htpasswd", flags, path, name, password], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.chmod(path, 0o644)


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
        cgi_module,
    ]
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
             "KeepAlive On"]
    lines += [f"LoadModule {name} {_quote(os.path.join(modules, file))}" for name, file in loads]
    lines.append(f"LoadModule isapi_filter_module {_quote(server.module_path)}")
    if server.run_user is not None:
        group = grp.getgrgid(pwd.getpwnam(server.run_user).pw_gid).gr_name
        lines += [f"User {server.run_user}", f"Group {group}"]
    if server.mpm == "event":
        # One process, like IIS's worker process: every request sees the same filter state.
        lines += ["StartServers 1", "ServerLimit 1", "ThreadsPerChild 16", "MaxRequestWorkers 16",
                  "MinSpareThreads 1", "MaxSpareThreads 16",
                  f"ScriptSock {_quote(os.path.join(server.root, 'run', 'cgid.sock'))}"]
    else:
        lines += ["StartServers 2", "MinSpareServers 1", "MaxSpareServers 4",
                  "MaxRequestWorkers 8"]
    lines += [f"IsapiFilter {_quote(path)}" for path in server.isapi_filters]
    lines += [f"PassEnv {name}" for name in server.pass_env]
    # Windows hands every program the machine's name; the administration program shows it.
    lines.append(f"SetEnv COMPUTERNAME {_quote(socket.gethostname())}")
    lines += ["TypesConfig /etc/mime.types",
              "<Directory />", "    AllowOverride None", "    Require all denied", "</Directory>"]
    lines += [f"Listen {LOOPBACK}:{site.port}" for site in server.sites]
    return lines


def _location_section(site, location, password_file):
    lines = []
    if location.script_dir is not None:
        lines += [f"    ScriptAlias {location.path} {_quote(location.script_dir.rstrip('/') + '/')}",
                  f"    <Directory {_quote(location.script_dir)}>",
                  "        Options +ExecCGI",
                  "        SetHandler cgi-script",
                  f"        CGIPassAuth {'On' if location.pass_auth_to_scripts else 'Off'}",
                  "        Require all granted",
                  "    </Directory>"]
    lines.append(f"    <Location {_quote(location.path)}>")
    if location.require_user:
        lines += ["        AuthType Basic",
                  f"        AuthName {_quote(site.realm)}",
                  "        AuthBasicProvider file",
                  f"        AuthUserFile {_quote(password_file)}",
                  "        Require " + ("user " + " ".join(_quote(u) for u in location.users)
                                        if location.users else "valid-user")]
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


def _site_section(site, password_file):
    lines = [f"<VirtualHost {LOOPBACK}:{site.port}>",
             "    ServerName localhost",
             f"    ServerAlias {LOOPBACK}",
             f"    DocumentRoot {_quote(site.document_root)}",
             f"    <Directory {_quote(site.document_root)}>",
             "        Options None",
             "        DirectoryIndex index.html",
             "        Require all granted",
             "    </Directory>"]
    lines += [f"    IsapiFilter {_quote(path)}" for path in site.isapi_filters]
    for location in site.locations:
        lines += _location_section(site, location, password_file)
    lines.append("</VirtualHost>")
    return lines


def render(server):
    """The text of the configuration file."""
    lines = _global_section(server)
    for site in server.sites:
        lines += [""] + _site_section(site, server.password_file)
    return "\n".join(lines) + "\n"


def write(server):
    """Writes the configuration and the directories it names; returns its path."""
    os.makedirs(os.path.join(server.root, "run"), exist_ok=True)
    with open(server.config_path, "w", encoding="utf-8") as out:
        out.write(render(server))
    return server.config_path
