"""Self-contained nginx configurations hosting ISAPI filters through ngx_http_isapi_filter_module,
with the CGI programs run by fcgiwrap.

Used by the end-to-end tests and by scripts/demo, as apache_config is for Apache. A
configuration lives in its own directory (nginx's prefix: configuration, logs, pid file, temporary
files), listens on loopback only, and takes the package's own nginx files (packaging/nginx) as
they are shipped: only the paths that differ here (the program directory, fcgiwrap's socket) are
replaced in its copies of them.
"""

import dataclasses
import os
import pwd
import grp
import re
import socket

# The parts that are the web server's alone are apache_config's: the same accounts, the same
# state directories.
import apache_config
from apache_config import (LOOPBACK, UNKNOWN_HOST, REQUEST_BODY_LIMIT,  # noqa: F401
                           give_to_run_user, state_directory, unprivileged_user, work_directory,
                           write_password_file)

# The package's nginx files in this source tree.
PACKAGING = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging",
                         "nginx")
FASTCGI_SNIPPET = "kestrel-gatekeeper-fastcgi.conf"
SITE_EXAMPLE = "kestrel-gatekeeper-site.conf"
LOAD_MODULE = "mod-http-isapi-filter.conf"
# The paths the package installs to, which a copy replaces with the configuration's own.
SHIPPED_PROGRAM_DIRECTORY = "/usr/lib/kestrel-gatekeeper/cgi-bin"
SHIPPED_FCGIWRAP_SOCKET = "/run/fcgiwrap.socket"
SHIPPED_MODULE = "modules/ngx_http_isapi_filter_module.so"
SHIPPED_FILTER = "/usr/lib/kestrel-gatekeeper/sentry.so"
NGINX_CONF_DIRECTORY = "/etc/nginx"
SYSTEM_MODULES = "/usr/lib/nginx/modules"
# Names of the account database, its lock, holder and temporary files and its backups, as a
# regular expression of a location (nginx matches the decoded path): never served.
ACCOUNT_FILES = r"\.cfg(\.[^/]*)?(/|$)"
WORKERS = 2


@dataclasses.dataclass
class Location:
    """A URL path of a site."""
    path: str                         # what it matches, e.g. "/private" or "= /gatekeeper/rekey"
    require_user: bool = False        # nginx's Basic authentication against the server's accounts
    # With require_user: only these accounts (a password file of theirs alone).
    allowed_users: list[str] = dataclasses.field(default_factory=list)
    # The programs /gatekeeper/NAME, run by fcgiwrap from this directory through the package's
    # FastCGI snippet.
    program_dir: str | None = None
    proxy_pass: str | None = None     # a proxied backend (URL)
    error_pages: dict[int, str] = dataclasses.field(default_factory=dict)  # status -> URI
    directives: list[str] = dataclasses.field(default_factory=list)  # any further ones


@dataclasses.dataclass
class Site(apache_config.Site):
    """One port with its own document root, filters and locations (nginx's Location), as
    Apache's site is; and the names of its server block."""
    server_names: list[str] = dataclasses.field(default_factory=lambda: ["localhost", LOOPBACK])
    # TLS with HTTP/2: (certificate, key) files.
    tls: tuple[str, str] | None = None


@dataclasses.dataclass
class Server:
    """Everything one nginx instance serves."""
    root: str                 # prefix: configuration, logs, pid file, temporary files
    module_path: str | None   # ngx_http_isapi_filter_module.so (None: loaded by an include)
    password_file: str        # htpasswd file: the server's own accounts
    sites: list[Site]
    run_user: str | None = None  # the workers' user when started as root
    workers: int = WORKERS
    isapi_filters: list[str] = dataclasses.field(default_factory=list)  # for every site
    # Variables of nginx's environment kept for the filter (nginx clears the rest in workers).
    pass_env: list[str] = dataclasses.field(default_factory=list)
    # The CGI programs' environment, as Apache's PassEnv and SetEnv give it them: fcgiwrap's
    # own, which it hands on to the programs with what nginx sends (name -> value).
    program_env: dict[str, str] = dataclasses.field(default_factory=dict)
    # Further configuration in the http block, and files included in it.
    directives: list[str] = dataclasses.field(default_factory=list)
    includes: list[str] = dataclasses.field(default_factory=list)
    # Files of the main context (load_module lines) included before everything else.
    main_includes: list[str] = dataclasses.field(default_factory=list)
    # Modules of the system's nginx module directory to load (e.g. Debian's auth_pam).
    system_modules: list[str] = dataclasses.field(default_factory=list)
    # Each port's connections spread over the workers by the kernel (listen ... reuseport), so
    # that many connections reach every worker.
    reuseport: bool = True
    packaging: str = PACKAGING

    @property
    def config_path(self):
        return os.path.join(self.root, "nginx.conf")

    @property
    def pid_file(self):
        return os.path.join(self.root, "nginx.pid")

    @property
    def error_log(self):
        return os.path.join(self.root, "error.log")

    @property
    def access_log(self):
        return os.path.join(self.root, "access.log")

    @property
    def fcgiwrap_socket(self):
        return os.path.join(self.root, "run", "fcgiwrap.sock")

    def fcgiwrap_environment(self):
        """The environment fcgiwrap runs with, and so the programs."""
        # Windows hands every program the machine's name; the administration program shows it.
        return {"PATH": "/usr/local/bin:/usr/bin:/bin", "COMPUTERNAME": socket.gethostname(),
                **self.program_env}

    @property
    def unknown_host_root(self):
        return os.path.join(self.root, "unknown-host")

    def shipped(self, name):
        """The path of the package's nginx file name."""
        return os.path.join(self.packaging, name)


def read_password_file(path):
    """name -> line of an htpasswd file."""
    with open(path, encoding="utf-8") as f:
        return {line.split(":", 1)[0]: line for line in f if ":" in line}


def _quote(text):
    if "$" in text:  # nginx would read a variable there
        raise ValueError(f"nginx cannot name {text!r} literally")
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def copy_shipped(server, name, substitutions, target=None):
    """Copies the package's file name into the configuration's directory with each shipped path
    of substitutions replaced by the configuration's own; returns the copy's path. A shipped
    path that the file no longer names is an error: the copy would not be what is shipped."""
    with open(server.shipped(name), encoding="utf-8") as f:
        text = f.read()
    for shipped, own in substitutions.items():
        if shipped not in text:
            raise ValueError(f"{server.shipped(name)} does not name {shipped}")
        text = text.replace(shipped, own)
    target = target or os.path.join(server.root, "conf", name)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "w", encoding="utf-8") as f:
        f.write(text)
    return target


def fastcgi_snippet(server, program_dir):
    """The shipped FastCGI snippet for the programs of program_dir through this configuration's
    fcgiwrap."""
    name = "fastcgi-" + program_dir.strip("/").replace("/", "-") + ".conf"
    return copy_shipped(server, FASTCGI_SNIPPET, {
        SHIPPED_PROGRAM_DIRECTORY: program_dir.rstrip("/"),
        SHIPPED_FCGIWRAP_SOCKET: server.fcgiwrap_socket,
    }, os.path.join(server.root, "conf", name))


def example_sites(server, port, substitutions):
    """The package's example server blocks, uncommented, listening on the loopback port (on
    IPv4 alone) instead of port 80, with each shipped path of substitutions replaced by this
    configuration's own; written beside the configuration for Server.includes, returns its
    path."""
    with open(server.shipped(SITE_EXAMPLE), encoding="utf-8") as f:
        text = f.read()
    lines = []
    inside = False
    for line in text.splitlines():
        # A block starts with "#server {" or "#map ... {" and ends with "#}"; the text around
        # and inside the blocks keeps its comments.
        inside = inside or re.match(r"#(server|map)\b.*\{$", line) is not None
        if inside:
            lines.append(line[1:])
            inside = line != "#}"
    body = "\n".join(lines) + "\n"
    body = re.sub(r"^\s*listen \[::\]:80\b[^;]*;\n", "", body, flags=re.M)
    if not re.search(r"listen 80\b", body):
        raise ValueError(f"{server.shipped(SITE_EXAMPLE)} has no server on port 80")
    body = re.sub(r"listen 80\b", f"listen {LOOPBACK}:{port}", body)
    for shipped, own in substitutions.items():
        if shipped not in body:
            raise ValueError(f"{server.shipped(SITE_EXAMPLE)} does not name {shipped}")
        body = body.replace(shipped, own)
    path = os.path.join(server.root, "conf", SITE_EXAMPLE)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(body)
    return path


def _main_section(server):
    lines = ["daemon off;", "master_process on;", f"worker_processes {server.workers};",
             f"pid {_quote(server.pid_file)};", f"error_log {_quote(server.error_log)} notice;"]
    if server.run_user is not None:
        group = grp.getgrgid(pwd.getpwnam(server.run_user).pw_gid).gr_name
        lines.append(f"user {server.run_user} {group};")
    lines += [f"include {_quote(path)};" for path in server.main_includes]
    lines += [f"load_module {_quote(os.path.join(SYSTEM_MODULES, name))};"
              for name in server.system_modules]
    if server.module_path is not None:
        # The package's load line, naming the module of this configuration.
        load = copy_shipped(server, LOAD_MODULE, {SHIPPED_MODULE: server.module_path})
        lines.append(f"include {_quote(load)};")
    lines += [f"env {name};" for name in server.pass_env]
    lines += ["events {", "    worker_connections 512;", "}"]
    return lines


def _http_section_head(server):
    temp = os.path.join(server.root, "temp")
    lines = ["    include mime.types;",
             "    default_type application/octet-stream;",
             f"    access_log {_quote(server.access_log)};",
             "    server_tokens off;",
             "    keepalive_timeout 30;",
             "    client_header_timeout 20;",
             f"    client_max_body_size {REQUEST_BODY_LIMIT};"]
    for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"):
        lines.append(f"    {kind}_temp_path {_quote(os.path.join(temp, kind))};")
    lines += [f"    isapi_filter {_quote(path)};" for path in server.isapi_filters]
    # The challenge that browsers need to ask again when a program answers "Status: 401":
    # nginx adds none of its own to a program's 401.
    for realm, variable in _challenges(server).items():
        value = 'Basic realm="' + realm.replace('"', '\\"') + '"'
        lines += [f'    map "$status:$sent_http_www_authenticate" ${variable} {{',
                  f"        \"401:\" '{value}';", "    }"]
    lines += [f"    include {_quote(path)};" for path in server.includes]
    lines += ["    " + directive for directive in server.directives]
    return lines


def _challenges(server):
    """realm -> the variable holding its challenge, for each realm of a site that serves the
    programs behind authentication."""
    realms = sorted({site.realm for site in server.sites for location in site.locations
                     if location.program_dir is not None and location.require_user})
    return {realm: f"gatekeeper_challenge_{number}" for number, realm in enumerate(realms)}


def _listen(server, site, first):
    words = [f"listen {LOOPBACK}:{site.port}"]
    if site.tls is not None:
        words += ["ssl", "http2"]
    if first:
        words.append("default_server")
        if server.reuseport:
            words.append("reuseport")
    return " ".join(words) + ";"


def _tls(site):
    if site.tls is None:
        return []
    return [f"        ssl_certificate {_quote(site.tls[0])};",
            f"        ssl_certificate_key {_quote(site.tls[1])};"]


def _unknown_host_section(server, site):
    """The default server of a site's address: it answers every host name that the site does
    not carry (and requests without one), and serves nothing. Otherwise a forged Host header
    would reach the site under a name that no binding covers."""
    return ["    server {",
            "        " + _listen(server, site, True),
            f"        server_name {UNKNOWN_HOST};",
            *_tls(site),
            f"        root {_quote(server.unknown_host_root)};",
            "        return 403;",
            "    }"]


def _password_file_for(server, location):
    """The server's password file, or for a location open to some accounts only, a file of
    theirs alone."""
    if not location.allowed_users:
        return server.password_file
    entries = read_password_file(server.password_file)
    name = "passwords-" + "-".join(sorted(location.allowed_users))
    path = os.path.join(server.root, "conf", name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write("".join(entries[user] for user in location.allowed_users if user in entries))
    os.chmod(path, 0o640)
    if server.run_user is not None:
        os.chown(path, -1, pwd.getpwnam(server.run_user).pw_gid)
    return path


def _location_section(server, site, location):
    lines = [f"        location {location.path} {{"]
    if location.require_user:
        accounts = _password_file_for(server, location)
        lines += [f"            auth_basic {_quote(site.realm)};",
                  f"            auth_basic_user_file {_quote(accounts)};"]
    if location.program_dir is not None:
        if location.require_user:
            variable = _challenges(server)[site.realm]
            lines.append(f"            add_header WWW-Authenticate ${variable} always;")
        snippet = fastcgi_snippet(server, location.program_dir)
        lines.append(f"            include {_quote(snippet)};")
    if location.proxy_pass is not None:
        lines.append(f"            proxy_pass {location.proxy_pass};")
    lines += [f"            error_page {status} {uri};"
              for status, uri in sorted(location.error_pages.items())]
    lines += ["            " + directive for directive in location.directives]
    lines.append("        }")
    return lines


def _site_section(server, site):
    lines = ["    server {",
             "        " + _listen(server, site, False),
             f"        server_name {' '.join(site.server_names)};",
             *_tls(site),
             f"        root {_quote(site.document_root)};",
             "        index index.html;"]
    lines += [f"        isapi_filter {_quote(path)};" for path in site.isapi_filters]
    lines += ["        " + directive for directive in site.directives]
    # The account files are never served, whatever location would serve them.
    lines += [f'        location ~* "{ACCOUNT_FILES}" {{', "            deny all;", "        }"]
    for location in site.locations:
        lines += _location_section(server, site, location)
    lines.append("    }")
    return lines


def render(server):
    """The text of the configuration file (writes the copies of shipped files it includes)."""
    lines = _main_section(server) + ["http {"] + _http_section_head(server)
    ports = set()
    for site in server.sites:
        lines.append("")
        if site.port not in ports:  # the first site of a port brings the port's default server
            ports.add(site.port)
            lines += _unknown_host_section(server, site)
        lines += _site_section(server, site)
    lines.append("}")
    return "\n".join(lines) + "\n"


def write(server):
    """Writes the configuration and the directories it names; returns its path."""
    for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"):
        os.makedirs(os.path.join(server.root, "temp", kind), exist_ok=True)
    os.makedirs(server.unknown_host_root, exist_ok=True)
    os.makedirs(os.path.dirname(server.fcgiwrap_socket), exist_ok=True)
    # What the shipped files include by a name relative to the configuration's directory.
    for name in ("fastcgi_params", "mime.types"):
        link = os.path.join(server.root, name)
        if not os.path.lexists(link):
            os.symlink(os.path.join(NGINX_CONF_DIRECTORY, name), link)
    text = render(server)
    with open(server.config_path, "w", encoding="utf-8") as out:
        out.write(text)
    give_to_run_user(os.path.join(server.root, "temp"), server.run_user)
    give_to_run_user(os.path.dirname(server.fcgiwrap_socket), server.run_user)
    return server.config_path

