"""The files the product reads on Linux, laid out for a demo or a test: the settings key (the
registry emulation below $GATEKEEPER_REGISTRY) and an account database in its text format."""

import os

SETTINGS_KEY = ("HKEY_LOCAL_MACHINE", "Software", "Kestrel", "Gatekeeper (Text)")
# The settings key and the database hold every password: directories for their owner and
# group (Apache's), files readable by that group at most, as the programs create them.
DATA_DIRECTORY_MODE = 0o750
DATA_FILE_MODE = 0o640


def _write_private(path, data):
    """Writes data to path; a file made here is DATA_FILE_MODE, an existing one keeps its mode
    and owner."""
    descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, DATA_FILE_MODE)
    with open(descriptor, "wb") as f:
        f.write(data)


def make_data_directories(path):
    """path and its missing parents, each made DATA_DIRECTORY_MODE."""
    parent = os.path.dirname(path)
    if parent and parent != path and not os.path.isdir(parent):
        make_data_directories(parent)
    if not os.path.isdir(path):
        os.mkdir(path)
        os.chmod(path, DATA_DIRECTORY_MODE)


def write_settings_value(registry_root, name, text):
    """Writes the string value name of the settings key: the text and its terminating zero."""
    key = os.path.join(registry_root, *SETTINGS_KEY)
    make_data_directories(key)
    _write_private(os.path.join(key, name), text.encode("latin-1") + b"\0")


def write_settings(registry_root, database_path, backup_directory):
    write_settings_value(registry_root, "Configuration File", database_path)
    write_settings_value(registry_root, "Backup directory", backup_directory)


def binding_key(host, port):
    """The binding of a site: the host, plus "|" and the port unless it is 80."""
    return host if port == 80 else f"{host}|{port}"


def _values(fields, indent):
    """Value lines of a section: ints as (int), everything else as (string)."""
    return [f"{indent}(int){name}={value}" if isinstance(value, int)
            else f"{indent}(string){name}={value}" for name, value in fields.items()]


def _section(name, body, indent):
    return [f"{indent}{{ {name}:"] + body + [f"{indent}}} {name};"]


def database_text(main, bindings, authorities, nt_accounts):
    """An account database. main: values of MAIN (e.g. {"log": path}); bindings: binding key
    -> authority name; authorities: authority -> user -> values (Password, MapTo, disabled,
    expiredate, DoNotMap, ...); nt_accounts: NT account -> password."""
    servers = _section("SERVERS", _values(bindings, " " * 8), " " * 4)
    lines = _section("MAIN", _values(main, " " * 4) + servers, "")
    users = []
    for authority, members in authorities.items():
        body = []
        for user, fields in members.items():
            body += _section(user, _values(fields, " " * 12), " " * 8)
        users += _section(authority, body, " " * 4)
    lines += _section("ACCOUNTS", users, "")
    accounts = []
    for name, password in nt_accounts.items():
        accounts += _section(name, _values({"Password": password}, " " * 8), " " * 4)
    lines += _section("NTACCOUNTS", accounts, "")
    return "\n".join(lines) + "\n"


def write_database(path, text):
    _write_private(path, text.encode("latin-1"))


# The demo's people: site users of the authority Staff, and the server's own accounts (NT
# accounts on Windows, Apache's password file here): "webuser", which the users are mapped to,
# and "administrator", who logs on to the administration site.
SAMPLE_AUTHORITY = "Staff"
SAMPLE_USERS = {
    "john": {"Password": "secret", "MapTo": "webuser"},
    "mary": {"Password": "lamb", "MapTo": "webuser"},
    "guest": {"Password": "guest", "MapTo": "webuser", "disabled": 1},
}
SAMPLE_NT_ACCOUNTS = {"webuser": "webpass", "administrator": "adminpass"}
# The NT accounts that the sample database lists, the accounts users may be mapped to: never
# the administrator's, or a user mapped to it would act as the administrator.
SAMPLE_MAPPED_ACCOUNTS = {"webuser": SAMPLE_NT_ACCOUNTS["webuser"]}
# The person who runs the site: a user of the authority left unmapped, so that the filter hands
# the credentials on unchanged and the web server checks them against its own account of that
# name. Only this account may run steward.
SAMPLE_SITE_MANAGER = ("sitemanager", "keeper")


def sample_database_text(event_log, site_port):
    """The demo's account database: the site on site_port bound, for localhost and 127.0.0.1,
    to the authority Staff with the sample users and the site's manager; the NT accounts; the
    event log."""
    bindings = {binding_key(host, site_port): SAMPLE_AUTHORITY for host in ("localhost", "127.0.0.1")}
    users = {**SAMPLE_USERS, SAMPLE_SITE_MANAGER[0]: {"DoNotMap": 1}}
    return database_text({"log": event_log}, bindings, {SAMPLE_AUTHORITY: users},
                         SAMPLE_MAPPED_ACCOUNTS)


def write_sample_database(path, event_log, site_port):
    write_database(path, sample_database_text(event_log, site_port))
