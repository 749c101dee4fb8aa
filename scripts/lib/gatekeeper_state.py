"""The files the product reads on Linux, laid out for a demo or a test: the settings key (the
registry emulation below $GATEKEEPER_REGISTRY) and a sample account database."""

import os

SETTINGS_KEY = ("HKEY_LOCAL_MACHINE", "Software", "Kestrel", "Gatekeeper (Text)")


def write_settings_value(registry_root, name, text):
    """Writes the string value name of the settings key: the text and its terminating zero."""
    key = os.path.join(registry_root, *SETTINGS_KEY)
    os.makedirs(key, exist_ok=True)
    with open(os.path.join(key, name), "wb") as f:
        f.write(text.encode("latin-1") + b"\0")


def write_settings(registry_root, database_path, backup_directory):
    write_settings_value(registry_root, "Configuration File", database_path)
    write_settings_value(registry_root, "Backup directory", backup_directory)


# The sample's people: site users of the authority Staff, and the server accounts
# (NT accounts) they are mapped to.
SAMPLE_AUTHORITY = "Staff"
SAMPLE_USERS = {  # name -> (password, mapped account, disabled)
    "john": ("secret", "webuser", False),
    "mary": ("lamb", "webuser", False),
    "guest": ("guest", "webuser", True),
}
SAMPLE_NT_ACCOUNTS = {"webuser": "webpass", "administrator": "adminpass"}


def sample_database_text(event_log, site_port):
    """The sample account database: the site on site_port bound, for localhost and 127.0.0.1,
    to the authority Staff with the sample users; the NT accounts; the event log."""
    binding = "" if site_port == 80 else f"|{site_port}"
    lines = ["{ MAIN:",
             f"    (string)log={event_log}",
             "    { SERVERS:",
             f"        (string)localhost{binding}={SAMPLE_AUTHORITY}",
             f"        (string)127.0.0.1{binding}={SAMPLE_AUTHORITY}",
             "    } SERVERS;",
             "} MAIN;",
             "{ ACCOUNTS:",
             f"    {{ {SAMPLE_AUTHORITY}:"]
    for name, (password, mapped, disabled) in SAMPLE_USERS.items():
        lines += [f"        {{ {name}:",
                  f"            (string)Password={password}",
                  f"            (string)MapTo={mapped}"]
        if disabled:
            lines.append("            (int)disabled=1")
        lines.append(f"        }} {name};")
    lines += [f"    }} {SAMPLE_AUTHORITY};",
              "} ACCOUNTS;",
              "{ NTACCOUNTS:"]
    for name, password in SAMPLE_NT_ACCOUNTS.items():
        lines += [f"    {{ {name}:", f"        (string)Password={password}", f"    }} {name};"]
    lines.append("} NTACCOUNTS;")
    return "\n".join(lines) + "\n"


def write_sample_database(path, event_log, site_port):
    with open(path, "w", encoding="latin-1", newline="\n") as f:
        f.write(sample_database_text(event_log, site_port))
