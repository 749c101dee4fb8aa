"""The local demo of scripts/demo: the sample state (or a fresh one), Apache (or nginx with
fcgiwrap) in the foreground on loopback with the protected site and the administration site,
until Ctrl-C.

Usage: demo.py --build BUILD_DIR --state STATE_DIR [--site-port 8080] [--admin-port 8081] [--fresh]
               [--server apache|nginx]
"""

import argparse
import os
import shutil
import signal
import sys

sys.dont_write_bytecode = True

import apache_config as conf
import gatekeeper_state as state
import nginx_config
from apache_process import ApacheProcess, StartError
from nginx_process import NginxProcess

REALM = "Kestrel Gatekeeper"
# Where a build puts the host module and the filter.
HOST_MODULE = "host/apache/mod_isapi_filter.so"
NGINX_MODULE = "host/nginx/ngx_http_isapi_filter_module.so"
FILTER = "filter/sentry.so"
# CGI programs and where a build puts them: which site offers them.
SITE_PROGRAMS = {"steward": "site/steward", "rekey": "password/rekey"}
ADMIN_PROGRAMS = {"overseer": "admin/overseer"}
# The server account that may open the administration site.
ADMINISTRATOR = "administrator"
# Where each server serves the programs: Apache's ScriptAlias, the package's nginx snippet.
PROGRAM_PATHS = {"apache": "/cgi-bin/", "nginx": "/gatekeeper/"}
SERVER_NAMES = {"apache": "Apache", "nginx": "nginx"}


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


def page(title, programs, program_path="/cgi-bin/"):
    links = "".join(f'<li><a href="{program_path}{p}">{p}</a></li>' for p in programs)
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


def prepare_state(build, root, site_port, fresh, program_path):
    """Writes the state directory: the settings key and the sample database (none when fresh),
    the programs, the pages and the server's own accounts; returns (site programs,
    administration programs, password file)."""
    registry = os.path.join(root, "registry")
    state.make_data_directories(backup_directory(root))
    state.make_data_directories(registry)
    if not fresh:
        state.write_settings(registry, database_path(root), backup_directory(root))
        state.write_sample_database(database_path(root), os.path.join(root, "events.log"),
                                    site_port)

    site_programs = install_programs(build, SITE_PROGRAMS, os.path.join(root, "site-cgi"))
    admin_programs = install_programs(build, ADMIN_PROGRAMS, os.path.join(root, "admin-cgi"))
    write_file(os.path.join(root, "site", "index.html"),
               page("Protected site", site_programs, program_path))
    write_file(os.path.join(root, "admin", "index.html"),
               page("Administration", admin_programs, program_path))
    passwords = os.path.join(root, "passwords")
    conf.write_password_file(passwords, {**state.SAMPLE_NT_ACCOUNTS,
                                         state.SAMPLE_SITE_MANAGER[0]: state.SAMPLE_SITE_MANAGER[1]})
    return site_programs, admin_programs, passwords


def finish_state(root, run_user):
    # The filter and the CGI programs run as the web server's user: they write the event log,
    # backups, the settings key, the database and the lock and temporary files beside it.
    conf.give_to_run_user(root, run_user)
    # The state holds every password (database, backups, settings, the server's accounts): it
    # is for the web server's user alone.
    os.chmod(root, state.DATA_DIRECTORY_MODE)


def prepare(build, root, run_user, site_port, admin_port, fresh=False, mpm="event",
            administrators=(ADMINISTRATOR,)):
    """Writes the state directory and the Apache configuration; returns (server, programs).
    A fresh state has an empty registry: no settings key, no account database. Of Apache's own
    accounts, only administrators may open the administration site."""
    site_programs, admin_programs, passwords = prepare_state(build, root, site_port, fresh,
                                                             PROGRAM_PATHS["apache"])
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
    finish_state(root, run_user)
    return server, site_programs + admin_programs


def prepare_nginx(build, root, run_user, site_port, admin_port, fresh=False,
                  administrators=(ADMINISTRATOR,)):
    """prepare() for nginx with fcgiwrap: the same sites, the programs at /gatekeeper/ through
    the package's FastCGI snippet."""
    site_programs, admin_programs, passwords = prepare_state(build, root, site_port, fresh,
                                                             PROGRAM_PATHS["nginx"])
    sentry = os.path.join(build, FILTER)
    site_cgi, admin_cgi = os.path.join(root, "site-cgi"), os.path.join(root, "admin-cgi")
    manager = state.SAMPLE_SITE_MANAGER[0]
    site = nginx_config.Site(site_port, os.path.join(root, "site"), REALM, [sentry], [
        nginx_config.Location("/", require_user=True),
        # steward only for the site's manager, whom nginx authenticates itself; rekey open to
        # everyone, as it checks the site user's password itself.
        nginx_config.Location("= /gatekeeper/steward", require_user=True, allowed_users=[manager],
                              program_dir=site_cgi),
        nginx_config.Location("= /gatekeeper/rekey", program_dir=site_cgi)])
    # The administration site is the administrators', not every server account's.
    admin = nginx_config.Site(admin_port, os.path.join(root, "admin"), REALM + " administration",
                              [sentry], [
        nginx_config.Location("/", require_user=True, allowed_users=list(administrators)),
        nginx_config.Location("= /gatekeeper/overseer", require_user=True,
                              allowed_users=list(administrators), program_dir=admin_cgi)])
    registry = os.path.join(root, "registry")
    server = nginx_config.Server(os.path.join(root, "nginx"), os.path.join(build, NGINX_MODULE),
                                 passwords, [site, admin], run_user=run_user,
                                 pass_env=["GATEKEEPER_REGISTRY"],
                                 program_env={"GATEKEEPER_REGISTRY": registry})
    os.makedirs(server.root, exist_ok=True)
    nginx_config.write(server)
    finish_state(root, run_user)
    return server, site_programs + admin_programs


def print_welcome(root, programs, site_port, admin_port, fresh, server="apache"):
    administrator = f"{ADMINISTRATOR}/{state.SAMPLE_NT_ACCOUNTS[ADMINISTRATOR]}"
    admin_url = f"http://127.0.0.1:{admin_port}/"
    program_path = PROGRAM_PATHS[server]
    web_server = SERVER_NAMES[server]
    if "overseer" in programs:
        admin_url += program_path.lstrip("/") + "overseer"
    if fresh:
        site = f"""  Protected site:  http://127.0.0.1:{site_port}/   (also http://localhost:{site_port}/)
      the filter has no account database yet: {web_server}'s own accounts log on, e.g. webuser/webpass
  Administration:  {admin_url}   (only {web_server}'s account {administrator})
      Fresh state: the page says "Error: 1" and asks for the configuration file. Enter
          Configuration file:  {database_path(root)}
          Backup directory:    {backup_directory(root)}
      and press Submit: the settings key is written and an empty account database is
      created there. The filter reads the settings when {web_server} starts."""
    else:
        users = ", ".join(f"{name}/{fields['Password']}" + (" (disabled)" if fields.get("disabled") else "")
                          for name, fields in state.SAMPLE_USERS.items())
        site = f"""  Protected site:  http://127.0.0.1:{site_port}/   (also http://localhost:{site_port}/)
      site users of the authority {state.SAMPLE_AUTHORITY}: {users}
      e.g.  curl -u john:secret http://127.0.0.1:{site_port}/
      site users change their password at {program_path}rekey; the site's manager
      {'/'.join(state.SAMPLE_SITE_MANAGER)} (unmapped, one of {web_server}'s own accounts) runs {program_path}steward
  Administration:  {admin_url}   (only {web_server}'s account {administrator})
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
    parser.add_argument("--server", choices=sorted(PROGRAM_PATHS), default="apache",
                        help="the web server that hosts the filter and runs the programs")
    args = parser.parse_args()
    build = os.path.abspath(args.build)

    sentry = os.path.join(build, FILTER)
    if not os.path.isfile(sentry):
        print(f"scripts/demo: the filter {sentry} has not been built yet; the demo needs it "
              "to protect the site.", file=sys.stderr)
        return 1

    # A demo told to stop (kill, timeout) stops its servers as Ctrl-C does.
    signal.signal(signal.SIGTERM, _interrupt)
    run_user = conf.unprivileged_user()
    with conf.work_directory(os.path.abspath(args.state), run_user) as root:
        return serve(build, root, run_user, args)


def _interrupt(signum, frame):
    raise KeyboardInterrupt


def serve(build, root, run_user, args):
    env = dict(os.environ, GATEKEEPER_REGISTRY=os.path.join(root, "registry"))
    if args.server == "nginx":
        server, programs = prepare_nginx(build, root, run_user, args.site_port, args.admin_port,
                                         args.fresh)
        process = NginxProcess(server, env=env)
    else:
        server, programs = prepare(build, root, run_user, args.site_port, args.admin_port,
                                   args.fresh)
        process = ApacheProcess(server, env=env)
    web_server = SERVER_NAMES[args.server]
    try:
        process.start()
        print_welcome(root, programs, args.site_port, args.admin_port, args.fresh, args.server)
        code = process.wait_exit(None)
        print(f"{web_server} stopped (exit {code}):\n{process.log_tail(10)}", file=sys.stderr)
        return 1
    except StartError as error:
        print(f"scripts/demo: {web_server} did not start: {error}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("\nStopping ...", flush=True)
        return 0
    finally:
        process.stop()


if __name__ == "__main__":
    sys.exit(main())
