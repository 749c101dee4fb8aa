#!/usr/bin/env python3
"""Serves the demo's set-up (scripts/lib/demo.py) as a new installation, for the browser tests:
no settings key and no account database, on free loopback ports, with the real filter and the
three programs. The protected site also serves one page without authentication, /public/
attack.html, which sends a form to overseer's AuthAddDo as soon as it is opened.

Prints one JSON line once Apache listens (ports and paths), then serves until its standard
input is closed. Exits 0 when Apache's error log shows no crash or sanitizer report.

Usage: demo_server.py --module mod_isapi_filter.so --filter sentry.so --overseer overseer
                      --steward steward --rekey rekey --work DIR [--preload LIBASAN]
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import json
import os

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

import e2e_support as e2e  # noqa: E402

import apache_config as conf  # noqa: E402
import demo  # noqa: E402
from apache_process import ApacheProcess, StartError, free_port  # noqa: E402

# The authority that the page from another site tries to create.
ATTACK_AUTHORITY = "Intruders"


def attack_page(admin_port):
    """A page that posts a new authority to overseer on the administration port at once."""
    target = f"http://127.0.0.1:{admin_port}/cgi-bin/overseer?Action=AuthAddDo"
    return f"""<!DOCTYPE html>
<html><head><title>Free prizes</title></head>
<body onload="document.forms[0].submit()">
<form method="POST" action="{target}">
<input type="hidden" name="Authority" value="{ATTACK_AUTHORITY}">
<input type="hidden" name="ExpirationRequired" value="1">
<input type="hidden" name="B1" value="Submit">
</form>
</body></html>
"""


def run(args, work):
    run_user = conf.unprivileged_user()
    root = conf.state_directory(os.path.join(work, "state"), run_user)
    build = e2e.demo_build(os.path.join(work, "build"), args.module, args.filter, {
        demo.ADMIN_PROGRAMS["overseer"]: args.overseer,
        demo.SITE_PROGRAMS["steward"]: args.steward,
        demo.SITE_PROGRAMS["rekey"]: args.rekey})
    site_port, admin_port = free_port(), free_port()
    server, programs = demo.prepare(build, root, run_user, site_port, admin_port, fresh=True)
    e2e.expect_equal(["steward", "rekey", "overseer"], programs, "programs installed")
    site = server.sites[0]
    site.locations.append(conf.Location("/public/"))
    conf.write(server)
    e2e.write_file(os.path.join(site.document_root, "public", "attack.html"), attack_page(admin_port))
    conf.give_to_run_user(root, run_user)

    registry = os.path.join(root, "registry")
    apache = ApacheProcess(server, env=dict(os.environ, GATEKEEPER_REGISTRY=registry),
                           preload=args.preload)
    try:
        apache.start()
    except StartError as error:
        print(f"Apache did not start: {error}", file=sys.stderr, flush=True)
        return 1
    try:
        print(json.dumps({
            "sitePort": site_port, "adminPort": admin_port, "root": root,
            "database": demo.database_path(root), "backups": demo.backup_directory(root),
            "eventLog": os.path.join(root, "events.log"),
            "attackAuthority": ATTACK_AUTHORITY}), flush=True)
        sys.stdin.read()
    finally:
        apache.stop()
    faults = e2e.faults_in_log(server.error_log)
    if faults:
        print("Apache's error log reports faults:\n" + "\n".join(faults) + "\n--- error log ---\n"
              + apache.log_tail(80), file=sys.stderr, flush=True)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(e2e.main(run, with_mpm=False, extra_arguments=["--overseer", "--steward", "--rekey"]))
