"""The web servers of the farm test: each host is the demo's deployment (scripts/lib/demo.py)
with its own Apache on free loopback ports and its own settings key, whose "Configuration
File" names the account database on that host's mount of the share. Requests to the host's
programs (overseer on the administration port, steward and rekey on the filtered site), the
command-line program run with the host's settings, and the account database read as text.
"""

import http.client
import os
import subprocess
import sys
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))

import e2e_support as e2e  # noqa: E402  (found through the path above)
from e2e_support import basic  # noqa: E402

import apache_config as conf  # noqa: E402  (e2e_support puts scripts/lib on the path)
import demo  # noqa: E402
import gatekeeper_state as state  # noqa: E402
from apache_process import ApacheProcess, free_port  # noqa: E402

DATABASE_NAME = "accounts.cfg"
AUTHORITY = state.SAMPLE_AUTHORITY
NT_ACCOUNT = "webuser"
ADMINISTRATOR = ("administrator", state.SAMPLE_NT_ACCOUNTS["administrator"])
MANAGER = state.SAMPLE_SITE_MANAGER


def database_text(site_ports, event_log, users=None):
    """The demo's database with the filtered site of every host bound to the authority, and
    users (name -> password) added to the sample ones."""
    bindings = {}
    for port in site_ports:
        for host in ("127.0.0.1", "localhost"):
            bindings[state.binding_key(host, port)] = AUTHORITY
    members = {**state.SAMPLE_USERS, MANAGER[0]: {"DoNotMap": 1}}
    for name, password in (users or {}).items():
        members[name] = {"Password": password, "MapTo": NT_ACCOUNT}
    return state.database_text({"log": event_log}, bindings, {AUTHORITY: members},
                               state.SAMPLE_MAPPED_ACCOUNTS)


def parse_database(text):
    """The values of a database text: {section path tuple: {name: value}}, names as written.
    None when the text does not close every section it opens (cut short)."""
    sections = {(): {}}
    path = []
    for raw in text.splitlines():
        line = raw.strip()
        if line.startswith("{") and line.endswith(":"):
            path.append(line[1:-1].strip())
            sections.setdefault(tuple(path), {})
        elif line.startswith("}") and line.endswith(";"):
            if not path or path[-1] != line[1:-1].strip():
                return None
            path.pop()
        elif line.startswith("(") and ")" in line and "=" in line:
            name, _, value = line[line.index(")") + 1:].partition("=")
            sections[tuple(path)][name] = value
    return sections if not path else None


def users_of(sections, authority=AUTHORITY):
    """name -> password of the authority's users in a parsed database."""
    prefix = ("ACCOUNTS", authority)
    return {path[2]: values.get("Password") for path, values in sections.items()
            if len(path) == 3 and path[:2] == prefix}


class Host:
    """One web server of the farm."""

    def __init__(self, index, build, work, share, run_user, preload, gatekeeper):
        self.index = index
        self.name = f"host{index}"
        self.root = conf.state_directory(os.path.join(work, self.name), run_user)
        self.site_port, self.admin_port = free_port(), free_port()
        self.server, programs = demo.prepare(build, self.root, run_user, self.site_port,
                                             self.admin_port, fresh=True)
        if sorted(programs) != ["overseer", "rekey", "steward"]:
            raise RuntimeError(f"programs installed: {programs}")
        # A storing run may wait 20 s for another host's run before it answers, longer on a
        # loaded machine: Apache waits for its program well beyond that.
        timeout = os.path.join(self.server.root, "farm-timeout.conf")
        e2e.write_file(timeout, "Timeout 90\n")
        self.server.includes.append(timeout)
        conf.write(self.server)
        self.registry = os.path.join(self.root, "registry")
        self.database = os.path.join(share, DATABASE_NAME)
        state.write_settings(self.registry, self.database, demo.backup_directory(self.root))
        conf.give_to_run_user(self.registry, run_user)
        self.env = dict(os.environ, GATEKEEPER_REGISTRY=self.registry)
        self.apache = ApacheProcess(self.server, env=self.env, preload=preload)
        self.gatekeeper = gatekeeper

    # --- the programs, as a browser and an administrator use them

    def overseer(self, action, fields):
        """A form posted to overseer as the administrator."""
        return post(f"http://127.0.0.1:{self.admin_port}/cgi-bin/overseer?Action={action}",
                    dict(fields, B1="Submit"), basic(*ADMINISTRATOR))

    def overseer_add(self, user, password):
        return self.overseer("AddUserDo", {
            "Authority": AUTHORITY, "User": user, "Pass": password, "MapTo": "ON",
            "NTAcc": NT_ACCOUNT, "Expire": "", "noexpiration": "1"})

    def overseer_change(self, user, password):
        return self.overseer("ChangeUserDo", {
            "Authority": AUTHORITY, "User": user, "Pass": password, "MapTo": "ON",
            "NTAcc": NT_ACCOUNT, "Expire": "", "noexpiration": "1"})

    def steward_add(self, user, password):
        return post(f"http://127.0.0.1:{self.site_port}/cgi-bin/steward?Action=AddUserDo",
                    {"User": user, "Pass": password, "MapTo": "ON", "NTAcc": NT_ACCOUNT,
                     "Expire": "", "noexpiration": "1", "B1": "Submit"}, basic(*MANAGER))

    def rekey_change(self, user, old, new):
        return post(f"http://127.0.0.1:{self.site_port}/cgi-bin/rekey?Action=editdo",
                    {"User": user, "Pass": old, "Newpass": new, "Newpass1": new, "B1": "Submit"})

    def cli(self, *arguments, stdin="", timeout=120):
        """gatekeeper run on this host by its administrator, with the host's settings."""
        return subprocess.run([self.gatekeeper, *arguments], input=stdin.encode("latin-1"),
                              env=self.env, capture_output=True, timeout=timeout)

    def cli_start(self, *arguments, stdin=""):
        process = subprocess.Popen([self.gatekeeper, *arguments], env=self.env,
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        process.stdin.write(stdin.encode("latin-1"))
        process.stdin.close()
        return process

    def site_status(self, user, password, timeout=15):
        """The status of a request for the filtered site's page with user's credentials."""
        connection = http.client.HTTPConnection("127.0.0.1", self.site_port, timeout=timeout)
        try:
            connection.request("GET", "/", headers={"Authorization": basic(user, password)})
            response = connection.getresponse()
            response.read()
            return response.status
        finally:
            connection.close()


def post(url, fields, authorization=None, seconds=60):
    """A form posted with curl; seconds bounds the answer, which a storing run gives only once
    it has the database lock (up to 20 s of waiting, more on a loaded machine)."""
    command = ["curl", "-sS", "-i", "--max-time", str(seconds), "--noproxy", "*", "-H", "Expect:",
               "--data-binary", "@-", url]
    if authorization is not None:
        command[1:1] = ["-H", f"Authorization: {authorization}"]
    body = urllib.parse.urlencode(fields, encoding="latin-1").encode("latin-1")
    out = subprocess.run(command, input=body, capture_output=True, check=True,
                         timeout=seconds + 15).stdout
    return e2e.Response(out)


def added(response, user):
    """Whether a storing page answered that it added user (overseer and steward)."""
    return response.status == 200 and f"User <b>{user}</b> added to authority <B>{AUTHORITY}</B>" \
        in response.text


def changed(response, user):
    return response.status == 200 and \
        f"User <b>{user}</b> changed in authority <B>{AUTHORITY}</B>" in response.text


def password_changed(response):
    """Whether rekey answered that it stored the new password."""
    return response.status == 200 and " Password canged" in response.text
