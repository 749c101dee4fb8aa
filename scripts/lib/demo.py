"""The local demo of scripts/demo: the sample state (or a fresh one), Apache in the foreground
on loopback with the protected site and the administration site, until Ctrl-C.

Usage: demo.py --build BUILD_DIR --state STATE_DIR [--site-port 8080] [--admin-port 8081] [--fresh]
"""

import argparse
import os
import shutil
import sys

sys.dont_write_bytecode = True

import apache_config as conf
import gatekeeper_state as state
from apache_process import ApacheProcess, StartError

REALM = "Kestrel Gatekeeper"
# Where a build puts the host module and the filter.
HOST_MODULE = "host/apache/mod_isapi_filter.so"
FILTER = "filter/sentry.so"
# CGI programs and where a build puts them: which site offers them.
SITE_PROGRAMS = {"steward": "site/steward", "rekey": "password/rekey"}
ADMIN_PROGRAMS = {"overseer": "admin/overseer"}
# The server account that may open the administration site.
ADMINISTRATOR = "administrator"


def write_file(path, text, mode=0o644):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    os.chmod(path, mode)


def install_programs(build, programs, directory):
    """Copies the programs the build has into directory; returns the names installed."""
    os.makedirs(directory, exist_ok=True)
    installed = []
    for name, relative in programs.items():
        source = os.path.join(build, relative)
        if os.path.isfile(source):
            shutil.copy(source, os.path.join(directory, name))
            os.chmod(os.path.join(directory, name), 0o755)
            installed.append(name)
    return installed


def page(title, programs):
    links = "".join(f'<li><a href="/cgi-bin/{p}">{p}</a></li>' for p in programs)
    return (f"<!DOCTYPE html><html><head><title>{title}</title></head><body><h1>{title}</h1>"
            f"<p>You are logged on.</p><ul>{links}</ul></body></html>\n")


def site_program_locations():
    """steward only for the site's manager, whom the web server authenticates itself; rekey
    open to everyone, as it checks the site user's password itself."""
    return [conf.Location("/cgi-bin/steward", require_user=True,
                          allowed_users=[state.SAMPLE_SITE_MANAGER[0]]),
            conf.Location("/cgi-bin/rekey")]


def database_path(root):
    return os.path.join(root, "accounts.cfg")


def backup_directory(root):
    return os.path.join(root, "backups")


def prepare(build, root, run_user, site_port, admin_port, fresh=False, mpm="event",
            administrators=(ADMINISTRATOR,)):
    """Writes the state directory and the Apache configuration; returns (server, programs).
    A fresh state has an empty registry: no settings key, no account database. Of Apache's own
    accounts, only administrators may open the administration site."""
    registry = os.path.join(root, "registry")
    state.make_data_directories(backup_directory(root))
    state.make_data_directories(registry)
    if not fresh:
        state.write_settings(registry, database_path(root), backup_directory(root))
        state.write_sample_database(database_path(root), os.path.join(root, "events.log"),
                                    site_port)

    site_programs = install_programs(build, SITE_PROGRAMS, os.path.join(root, "site-cgi"))
    admin_programs = install_programs(build, ADMIN_PROGRAMS, os.path.join(root, "admin-cgi"))
    write_file(os.path.join(root, "site", "index.html"), page("Protected site", site_programs))
    write_file(os.path.join(root, "admin", "index.html"), page("Administration", admin_programs))
    passwords = os.path.join(root, "passwords")
    conf.write_password_file(passwords, {**state.SAMPLE_NT_ACCOUNTS,
                                         state.SAMPLE_SITE_MANAGER[0]: state.SAMPLE_SITE_MANAGER[1]})

    sentry = os.path.join(build, FILTER)
    site = conf.Site(site_port, os.path.join(root, "site"), REALM, [sentry], [
        conf.Location("/", require_user=True),
        conf.Location("/cgi-bin/", require_user=True, script_dir=os.path.join(root, "site-cgi")),
        *site_program_locations()])
    # The administration site is the administrators', not every server account's.
    admin = conf.Site(admin_port, os.path.join(root, "admin"), REALM + " administration", [sentry], [
        conf.Location("/", require_user=True, allowed_users=list(administrators)),
        conf.Location("/cgi-bin/", require_user=True, allowed_users=list(administrators),
                      script_dir=os.path.join(root, "admin-cgi"))])
    server = conf.Server(os.path.join(root, "apache"), os.path.join(build, HOST_MODULE),
                         passwords, [site, admin], mpm=mpm, run_user=run_user,
                         pass_env=["GATEKEEPER_REGISTRY"])
    conf.write(server)
    # The filter and the CGI programs run as Apache's user: they write the event log, backups,
    # the settings key, the database and the lock and temporary files beside it.
    conf.give_to_run_user(root, run_user)
    # The state holds every password (database, backups, settings, Apache's accounts): it is
    # for Apache's user alone.
    os.chmod(root, state.DATA_DIRECTORY_MODE)
    return server, site_programs + admin_programs


def print_welcome(root, programs, site_port, admin_port, fresh):
    administrator = f"{ADMINISTRATOR}/{state.SAMPLE_NT_ACCOUNTS[ADMINISTRATOR]}"
    admin_url = f"http://127.0.0.1:{admin_port}/"
    if "overseer" in programs:
        admin_url += "cgi-bin/overseer"
    if fresh:
        site = f"""  Protected site:  http://127.0.0.1:{site_port}/   (also http://localhost:{site_port}/)
      the filter has no account database yet: Apache's own accounts log on, e.g. webuser/webpass
  Administration:  {admin_url}   (only Apache's account {administrator})
      Fresh state: the page says "Error: 1" and asks for the configuration file. Enter
          Configuration file:  {database_path(root)}
          Backup directory:    {backup_directory(root)}
      and press Submit: the settings key is written and an empty account database is
      created there. The filter reads the settings when Apache starts."""
    else:
        users = ", ".join(f"{name}/{fields['Password']}" + (" (disabled)" if fields.get("disabled") else "")
                          for name, fields in state.SAMPLE_USERS.items())
        site = f"""  Protected site:  http://127.0.0.1:{site_port}/   (also http://localhost:{site_port}/)
      site users of the authority {state.SAMPLE_AUTHORITY}: {users}
      e.g.  curl -u john:secret http://127.0.0.1:{site_port}/
      site users change their password at /cgi-bin/rekey; the site's manager
      {'/'.join(state.SAMPLE_SITE_MANAGER)} (unmapped, one of Apache's own accounts) runs /cgi-bin/steward
  Administration:  {admin_url}   (only Apache's account {administrator})
  Event log:       {os.path.join(root, 'events.log')}"""
    print(f"""
Kestrel Gatekeeper demo (state in {root})

{site}
  CGI programs:    {', '.join(programs) if programs else 'none built yet'}

Ctrl-C stops the demo.
""", flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--state", required=True)
    parser.add_argument("--site-port", type=int, default=8080)
    parser.add_argument("--admin-port", type=int, default=8081)
    parser.add_argument("--fresh", action="store_true",
                        help="start without settings and account database, to set them up "
                             "from the administration page")
    args = parser.parse_args()
    build = os.path.abspath(args.build)

    sentry = os.path.join(build, FILTER)
    if not os.path.isfile(sentry):
        print(f"scripts/demo: the filter {sentry} has not been built yet; the demo needs it "
              "to protect the site.", file=sys.stderr)
        return 1

    run_user = conf.unprivileged_user()
    with conf.work_directory(os.path.abspath(args.state), run_user) as root:
        return serve(build, root, run_user, args)


def serve(build, root, run_user, args):
    server, programs = prepare(build, root, run_user, args.site_port, args.admin_port, args.fresh)
    env = dict(os.environ, GATEKEEPER_REGISTRY=os.path.join(root, "registry"))
    apache = ApacheProcess(server, env=env)
    try:
        apache.start()
        print_welcome(root, programs, args.site_port, args.admin_port, args.fresh)
        code = apache.wait_exit(None)
        print(f"Apache stopped (exit {code}):\n{apache.log_tail(10)}", file=sys.stderr)
        return 1
    except StartError as error:
        print(f"scripts/demo: Apache did not start: {error}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("\nStopping ...", flush=True)
        return 0
    finally:
        apache.stop()


if __name__ == "__main__":
    sys.exit(main())
