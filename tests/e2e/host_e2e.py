#!/usr/bin/env python3
"""End-to-end tests of mod_isapi_filter: a real Apache httpd on loopback hosting the test
filter (test_filter.c), driven with curl.

Usage: host_e2e.py --module mod_isapi_filter.so --filter test_filter.so --mpm event|prefork
                   --high-priority-filter test_filter_high.so --work DIR [--preload LIBASAN]
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import concurrent.futures
import os
import socket
import subprocess
import time

import e2e_support as e2e
from e2e_support import basic, expect, expect_equal

import apache_config as conf
from apache_process import APACHE, ApacheProcess, free_port

ACCOUNTS = {"webuser": "webpass", "alice": "alicepw", "bob": "bobpw"}
REALM = "Kestrel test"
# Seconds a client may take over a request's headers here: short, to see it cut off.
HEADER_TIMEOUT = 2
# A CGI program printing the site Apache names to CGI programs.
SITE_INFO = """#!/bin/sh
printf 'Content-Type: text/plain\\r\\n\\r\\n'
echo "SERVER_NAME=$SERVER_NAME"
echo "SERVER_PORT=$SERVER_PORT"
"""


def write_site(root):
    """Document root and CGI directories shared by both sites."""
    docs = os.path.join(root, "htdocs")
    for area in ("public", "private", "supply", "echoing"):
        e2e.write_file(os.path.join(docs, area, "index.html"), f"<p>{area} page</p>\n")
    for area in ("index-cgi", "index-leaky"):  # directories whose index is a CGI program
        e2e.write_file(os.path.join(docs, area, "readme.txt"), "no index page here\n")
    for directory in ("cgi-bin", "cgi-leaky"):
        e2e.write_file(os.path.join(root, directory, "whoami"), e2e.WHOAMI, 0o755)
    e2e.write_file(os.path.join(root, "cgi-bin", "siteinfo"), SITE_INFO, 0o755)
    return docs


def build_server(args, root):
    run_user = conf.unprivileged_user()
    root = conf.state_directory(root, run_user)  # inside the work directory: reachable
    docs = write_site(root)
    cgi = os.path.join(root, "cgi-bin")
    leaky = os.path.join(root, "cgi-leaky")
    common = [conf.Location("/private", require_user=True),
              conf.Location("/supply", require_user=True),
              conf.Location("/cgi-bin/", require_user=True, script_dir=cgi,
                            error_documents={404: "/cgi-bin/whoami"}),
              conf.Location("/open-cgi/", script_dir=cgi)]
    filtered = conf.Site(free_port(), docs, REALM, [os.path.abspath(args.filter)], common + [
        conf.Location("/leaky-cgi/", require_user=True, script_dir=leaky,
                      pass_auth_to_scripts=True),
        # Locations whose error documents, directory index or response headers are where the
        # credentials of one request could reach another request or the response.
        conf.Location("/open-leaky-cgi/", script_dir=leaky, pass_auth_to_scripts=True,
                      directives=['SetEnvIf Authorization "(.+)" SEEN_AUTHORIZATION=$1',
                                  'Header always set X-Seen-Authorization '
                                  '"%{SEEN_AUTHORIZATION}e" env=SEEN_AUTHORIZATION']),
        conf.Location("/refused-cgi/", require_user=True, script_dir=leaky,
                      pass_auth_to_scripts=True,
                      error_documents={500: "/open-leaky-cgi/whoami"}),
        conf.Location("/lost/", require_user=True, error_documents={404: "/leaky-cgi/whoami"}),
        conf.Location("/lost-open/", require_user=True,
                      error_documents={401: "/open-leaky-cgi/whoami",
                                       404: "/open-leaky-cgi/whoami"}),
        conf.Location("/lost-cgi/", require_user=True, error_documents={404: "/cgi-bin/whoami"}),
        conf.Location("/index-cgi/", directory_index="/cgi-bin/whoami"),
        conf.Location("/index-leaky/", directory_index="/leaky-cgi/whoami"),
        conf.Location("/echoing/", require_user=True,
                      directives=["Header always echo ^Authorization$"]),
        conf.Location("/client-named/", directives=["UseCanonicalName Off"]),
        conf.Location("/client-named-cgi/", script_dir=cgi, directives=["UseCanonicalName Off"])])
    plain = conf.Site(free_port(), docs, REALM, [], list(common))
    # A filtered site whose ServerName names no port: Apache tells CGI programs port 80.
    renamed = conf.Site(free_port(), docs, REALM, [os.path.abspath(args.filter)],
                        [conf.Location("/open-cgi/", script_dir=cgi)],
                        directives=["ServerName www.example.test"])
    passwords = os.path.join(root, "passwords")
    conf.write_password_file(passwords, ACCOUNTS)
    server = conf.Server(root, os.path.abspath(args.module), passwords, [filtered, plain, renamed],
                         mpm=args.mpm, run_user=run_user, header_timeout=HEADER_TIMEOUT)
    conf.write(server)
    return server


class HostTests:
    def __init__(self, server):
        self.filtered = f"http://127.0.0.1:{server.sites[0].port}"
        self.named = f"http://localhost:{server.sites[0].port}"
        self.plain = f"http://127.0.0.1:{server.sites[1].port}"
        self.renamed = f"http://127.0.0.1:{server.sites[2].port}"

    def get(self, path, user=None, password=None, base=None, **kw):
        authorization = basic(user, password) if user is not None else None
        return e2e.fetch((base or self.filtered) + path, authorization, **kw)

    # --- every request is notified once -------------------------------------------------

    def every_request_notified_once(self):
        r = self.get("/public/")  # DirectoryIndex: a subrequest and an internal redirect
        expect_equal(200, r.status, "anonymous public page")
        expect_equal(["(anonymous)"], r.all("X-Test-Filter-Saw"), "notifications")
        r = self.get("/private/")
        expect_equal(401, r.status, "anonymous private page")
        expect_equal(["(anonymous)"], r.all("X-Test-Filter-Saw"), "notifications")
        expect_equal(f'Basic realm="{REALM}"', r.header("WWW-Authenticate"), "Apache's challenge")
        r = self.get("/private/", "alice", "alicepw")
        expect_equal(["alice"], r.all("X-Test-Filter-Saw"), "notifications")
        r = self.get("/public/", base=self.plain)
        expect_equal(200, r.status, "site without filter")
        expect_equal([], r.all("X-Test-Filter-Saw"), "site without filter is not notified")

    # --- credentials left alone, replaced, supplied ---------------------------------------

    def untouched_credentials_go_to_apache(self):
        expect_equal(200, self.get("/private/", "alice", "alicepw").status, "own account")
        expect_equal(401, self.get("/private/", "alice", "wrong").status, "wrong password")
        cgi = self.get("/cgi-bin/whoami", "alice", "alicepw").cgi()
        expect_equal("alice", cgi["AUTH_USER"], "AUTH_USER")
        expect_equal("alice", cgi["LOGON_USER"], "LOGON_USER")
        expect_equal("(unset)", cgi["LOGON_REPLACED_BY_FILTER"], "a logon as sent")
        cgi = self.get("/cgi-bin/whoami", "bob", "bobpw", base=self.plain).cgi()
        expect_equal(("bob", "bob"), (cgi["AUTH_USER"], cgi["LOGON_USER"]), "site without filter")
        cgi = self.get("/open-cgi/whoami").cgi()
        expect_equal(("(unset)", "(unset)"), (cgi["AUTH_USER"], cgi["LOGON_USER"]), "anonymous")

    def replaced_credentials_are_checked_by_apache(self):
        for user in ("map", "map-next"):
            r = self.get("/cgi-bin/whoami", user, "webuser=webpass")
            expect_equal(200, r.status, user)
            cgi = r.cgi()
            expect_equal(user, cgi["AUTH_USER"], "AUTH_USER is the name sent")
            expect_equal("webuser", cgi["LOGON_USER"], "LOGON_USER is the mapped account")
            expect_equal("webuser", cgi["REMOTE_USER"], "REMOTE_USER")
            expect_equal("1", cgi["LOGON_REPLACED_BY_FILTER"], "the host says it was replaced")
            expect_equal("Basic", cgi["AUTH_TYPE"], "AUTH_TYPE")
            expect_equal("(unset)", cgi["HTTP_AUTHORIZATION"], "credentials hidden from scripts")
            expect("webpass" not in r.text, "mapped password reached the script")
        expect_equal(200, self.get("/private/", "map", "alice=alicepw").status, "mapped static")
        expect_equal(401, self.get("/private/", "map", "webuser=wrong").status,
                     "Apache refuses a mapped account with a wrong password")
        expect_equal(200, self.get("/supply/").status, "credentials supplied to an anonymous request")
        r = self.get("/private/", "map", "=")  # the filter empties the credentials
        expect_equal(401, r.status, "emptied credentials make the request anonymous")

    def passing_credentials_to_scripts_is_refused(self):
        r = self.get("/leaky-cgi/whoami", "map", "webuser=webpass")
        expect_equal(500, r.status, "replaced credentials with CGIPassAuth on")
        expect("webpass" not in r.text, "mapped password in the response")
        r = self.get("/leaky-cgi/whoami", "alice", "alicepw")
        expect_equal(200, r.status, "the client's own credentials are the administrator's choice")

    def replaced_credentials_stay_with_authentication(self):
        """The server account's credentials reach no error document, directory index or
        response; requests that must authenticate again still run as the mapped account."""
        mapped = basic("webuser", "webpass").split()[1]
        sent = basic("map", "webuser=webpass")

        def hidden(r, what, own="(unset)"):
            """Nothing of the server account's credentials; where CGIPassAuth is on, the
            client's own header (own), as without the filter."""
            expect("webpass" not in r.text and mapped not in r.text, f"{what}: {r.text!r}")
            expect_equal(own, r.cgi().get("HTTP_AUTHORIZATION", "(unset)"), what)

        r = self.get("/lost/nothing", "map", "webuser=webpass")
        hidden(r, "404 document where CGIPassAuth is on")
        r = self.get("/lost-open/nothing", "map", "webuser=webpass")
        expect_equal("404", r.cgi().get("REDIRECT_STATUS"), "404 document ran")
        hidden(r, "404 document without authentication where CGIPassAuth is on", sent)
        r = self.get("/refused-cgi/whoami", "map", "webuser=webpass")
        expect_equal("500", r.cgi().get("REDIRECT_STATUS"), "500 document ran")
        hidden(r, "500 document after the refusal where CGIPassAuth is on", sent)
        r = self.get("/leaky-cgi/whoami", "map", "webuser=webpass")
        hidden(r, "refused where CGIPassAuth is on")

        # After a failed authentication, the error document's request sees the client's own
        # header from its first phase on (SetEnvIf reads the headers before any fixups).
        r = self.get("/open-leaky-cgi/whoami", "alice", "alicepw")
        expect_equal(basic("alice", "alicepw"), r.header("X-Seen-Authorization"), "own header")
        failed = basic("map", "webuser=not-the-password")
        r = self.get("/lost-open/nothing", "map", "webuser=not-the-password")
        expect_equal("401", r.cgi().get("REDIRECT_STATUS"), "401 document ran")
        expect(basic("webuser", "not-the-password").split()[1] not in r.text, "failed credentials")
        expect_equal(failed, r.cgi().get("HTTP_AUTHORIZATION"), "401 document")
        expect_equal(failed, r.header("X-Seen-Authorization"), "401 document's early phases")

        for path, what in (("/cgi-bin/nothing", "404 document in the same location"),
                           ("/lost-cgi/nothing", "404 document that authenticates again"),
                           ("/index-cgi/", "directory index that authenticates")):
            r = self.get(path, "map", "webuser=webpass")
            cgi = r.cgi()
            expect_equal(("map", "webuser"), (cgi.get("AUTH_USER"), cgi.get("LOGON_USER")), what)
            hidden(r, what)
        r = self.get("/lost-cgi/nothing", "map", "webuser=wrong")
        expect_equal(401, r.status, "the 404 document authenticates with the mapped account")
        r = self.get("/index-leaky/", "map", "webuser=webpass")
        expect(r.status != 200, f"directory index where CGIPassAuth is on: {r.status}")
        hidden(r, "directory index where CGIPassAuth is on")

        r = self.get("/echoing/", "alice", "alicepw")
        expect_equal(basic("alice", "alicepw"), r.header("Authorization"), "own credentials echoed")
        for password in ("webpass", "wrong"):
            r = self.get("/echoing/", "map", f"webuser={password}")
            expect_equal((200 if password == "webpass" else 401, basic("map", f"webuser={password}")),
                         (r.status, r.header("Authorization")), f"echo of mapped {password}")

    def later_modules_see_the_clients_credentials(self):
        """After the filter the request carries the header the client sent, never the server
        account's, also where nothing authenticates it."""
        sent = basic("map", "webuser=webpass")
        r = self.get("/open-leaky-cgi/whoami", "map", "webuser=webpass")
        expect_equal((200, sent, sent), (r.status, r.cgi().get("HTTP_AUTHORIZATION"),
                                         r.header("X-Seen-Authorization")), "handler and headers")

    # --- refusals ------------------------------------------------------------------------

    def deny_response(self):
        r = self.get("/private/", "deny", "x")
        expect_equal(401, r.status, "deny")
        expect_equal("Access Denied", r.reason, "reason phrase")
        expect_equal(f'Basic realm="{REALM}"', r.header("WWW-Authenticate"), "challenge")
        r = self.get("/public/", "deny", "x", base=self.named)
        expect_equal(401, r.status, "deny on a page without AuthName")
        expect_equal('Basic realm="localhost"', r.header("WWW-Authenticate"), "realm is the host")

    def requested_responses(self):
        r = self.get("/private/", "respond", "403 Not here|X-Reason: test")
        expect_equal((403, "Not here", "test"), (r.status, r.reason, r.header("X-Reason")), "403")
        expect_equal(None, r.header("WWW-Authenticate"), "no challenge on 403")
        r = self.get("/private/", "respond", '401 Nope|WWW-Authenticate: Basic realm="own"')
        expect_equal(['Basic realm="own"'], r.all("WWW-Authenticate"), "filter's own challenge")
        r = self.get("/private/", "respond-next", "404 Gone")
        expect_equal(404, r.status, "a requested response ends the request whatever the status")

    def untrusted_response_texts(self):
        r = self.get("/private/", "respond", "200 OK")
        expect_equal(500, r.status, "a success status is not taken from a failing filter")
        r = self.get("/private/", "respond", "302 Found|Location: http://example.invalid/")
        expect_equal((500, None), (r.status, r.header("Location")), "no redirect")
        r = self.get("/private/", "respond", "401 Denied|X-A: 1\rX-Injected: 2")
        expect_equal(401, r.status, "status kept")
        expect_equal((None, None), (r.header("X-A"), r.header("X-Injected")), "headers dropped")
        r = self.get("/private/", "respond", "401 Denied\r\nX-Injected: 1")
        expect_equal((401, None), (r.status, r.header("X-Injected")), "status line injection")
        expect("Injected" not in r.status_line, "status line injection")
        r = self.get("/private/", "respond", "401 Denied|Content-Length: 0")
        expect_equal(401, r.status, "status kept")
        expect_equal(str(len(r.body)), r.header("Content-Length"), "framing stays the server's")

    def statuses_by_last_error(self):
        expect_equal(404, self.get("/private/", "error", "2").status, "ERROR_FILE_NOT_FOUND")
        r = self.get("/private/", "error", "5")
        expect_equal(401, r.status, "ERROR_ACCESS_DENIED")
        expect_equal(f'Basic realm="{REALM}"', r.header("WWW-Authenticate"), "challenge")
        expect_equal(500, self.get("/private/", "error", "1610").status, "other error")
        expect_equal(500, self.get("/private/", "error", "0").status, "no error set")
        expect_equal(500, self.get("/private/", "finish", "x").status, "finished without response")
        expect_equal(500, self.get("/private/", "bogus", "x").status, "undefined status")

    # --- unsafe input --------------------------------------------------------------------

    def malformed_and_overlong_credentials(self):
        for header in ("Basic !!!!", "Basic am9obg==", "Basic am8AaG46cHc="):
            r = e2e.fetch(self.filtered + "/private/", header)
            expect_equal(400, r.status, header)
            expect_equal([], r.all("X-Test-Filter-Saw"), "filter not called")
        for user, password in (("u" * 257, "pw"), ("alice", "p" * 257), ("u" * 2000, "p" * 2000)):
            r = self.get("/private/", user, password)
            expect_equal(401, r.status, f"overlong {len(user)}/{len(password)}")
            expect(r.header("WWW-Authenticate") is not None, "challenge")
        r = self.get("/private/", "u" * 256, "p" * 256)
        expect_equal(["u" * 256], r.all("X-Test-Filter-Saw"), "the longest name reaches the filter")

    def faulty_filter_buffers(self):
        expect_equal(500, self.get("/private/", "unterminated", "x").status, "unterminated buffer")
        expect_equal(500, self.get("/private/", "colon", "x").status, "name with a colon")
        expect_equal(401, self.get("/private/", "longest", "x").status, "longest name")
        expect_equal(200, self.get("/public/").status, "server still answers")

    # --- server variables and the context ---------------------------------------------

    def server_variables(self):
        port = self.named.rsplit(":", 1)[1]
        r = self.get("/public/index.html?q=1", "vars", "x", base=self.named,
                     headers=["X-Longer-Name: some value", "X-Empty;"])
        expect_equal(200, r.status, "vars")
        expected = {"SERVER_NAME": "localhost", "SERVER_PORT": port, "server_port": port,
                    "SCRIPT_NAME": "/public/index.html", "AUTH_TYPE": "Basic",
                    "REMOTE_ADDR": "127.0.0.1", "QUERY_STRING": "q=1",
                    "HTTP_HOST": f"localhost:{port}", "REQUEST_METHOD": "GET"}
        for name, value in expected.items():
            expect_equal(value, r.header("X-Var-" + name), name)
        all_http = r.header("X-Var-ALL_HTTP").split("|")
        expect_equal("", all_http.pop(), "ALL_HTTP ends with a line end")
        for line in (f"HTTP_HOST:localhost:{port}", "HTTP_AUTHORIZATION:" + basic("vars", "x"),
                     "HTTP_X_LONGER_NAME:some value", "HTTP_X_EMPTY:"):
            expect(line in all_http, f"{line!r} in ALL_HTTP {all_http}")
        expect(all(line.startswith("HTTP_") and ":" in line for line in all_http), "ALL_HTTP lines")
        needed = str(len("localhost") + 1)
        expect_equal(f"FALSE 122 {needed} untouched", r.header("X-Probe-Size-Query"), "size query")
        expect_equal(f"FALSE 122 {needed} untouched", r.header("X-Probe-One-Short"), "one short")
        expect_equal(f"TRUE 0 {needed} written", r.header("X-Probe-Exact"), "exact size")
        expect_equal("FALSE 1413 512 untouched", r.header("X-Probe-Unknown"), "unknown name")
        expect_equal("FALSE 1413 512 untouched", r.header("X-Probe-Missing-Header"), "no header")
        expect_equal("ok", r.header("X-Probe-AllocMem"), "AllocMem")
        expect_equal("FALSE", r.header("X-Probe-WriteClient"), "WriteClient")
        expect_equal("FALSE", r.header("X-Probe-Unsupported"), "unsupported request")
        expect_equal("FALSE", r.header("X-Probe-Bad-Headers"), "AddResponseHeaders with CR")
        expect_equal((None, None), (r.header("X-Split"), r.header("X-Injected")), "bad headers")

    def server_name_is_the_sites_own(self):
        """SERVER_NAME is the name Apache gives CGI programs: the site's own under
        UseCanonicalName On, whatever the client named; the Host header where a location says
        Off. SERVER_PORT is the port of the site's ServerName. Host names that no site carries
        reach no site."""
        port = self.filtered.rsplit(":", 1)[1]
        for base, host in ((self.filtered, None), (self.named, "LOCALHOST"),
                           (self.filtered, f"127.0.0.1:{int(port) + 1}")):
            r = self.get("/public/", "vars", "x", base=base,
                         headers=[f"Host: {host}"] if host else [])
            expect_equal(("localhost", port),
                         (r.header("X-Var-SERVER_NAME"), r.header("X-Var-SERVER_PORT")),
                         f"Host {host or base}")
        r = self.get("/client-named/", "vars", "x")
        expect_equal("127.0.0.1", r.header("X-Var-SERVER_NAME"), "UseCanonicalName Off")
        for options in ({"headers": ["Host: evil.example"]}, {"headers": ["Host:"], "http10": True}):
            r = self.get("/public/", "webuser", "webpass", **options)
            expect_equal((403, []), (r.status, r.all("X-Test-Filter-Saw")), f"unknown host {options}")

    def filter_and_cgi_programs_see_the_same_site(self):
        """SERVER_NAME and SERVER_PORT are what Apache tells CGI programs for the same request,
        so the filter and the programs that manage a site find the same binding: the site's
        ServerName and its port (80 when it names none, whatever port the request came in on),
        or the client's Host header under UseCanonicalName Off."""
        port = self.filtered.rsplit(":", 1)[1]
        renamed_port = self.renamed.rsplit(":", 1)[1]
        cases = [(self.filtered, "/open-cgi/siteinfo", None, ("localhost", port)),
                 (self.filtered, "/open-cgi/siteinfo", f"127.0.0.1:{int(port) + 1}",
                  ("localhost", port)),
                 (self.renamed, "/open-cgi/siteinfo", "www.example.test", ("www.example.test", "80")),
                 (self.renamed, "/open-cgi/siteinfo", f"www.example.test:{renamed_port}",
                  ("www.example.test", "80")),
                 (self.filtered, "/client-named-cgi/siteinfo", "127.0.0.1:8123",
                  ("127.0.0.1", "8123"))]
        for base, path, host, expected in cases:
            what = f"{path} on {base} as {host}"
            r = self.get(path, "vars", "x", base=base, headers=[f"Host: {host}"] if host else [])
            expect_equal(200, r.status, what)
            expect_equal(expected, (r.cgi().get("SERVER_NAME"), r.cgi().get("SERVER_PORT")),
                         f"CGI program, {what}")
            # A CGI response merges the filter's headers into its own: "v, v".
            seen = tuple({part.strip() for part in (r.header(f"X-Var-{name}") or "").split(",")}
                         for name in ("SERVER_NAME", "SERVER_PORT"))
            expect_equal(tuple({value} for value in expected), seen, f"filter, {what}")

    def slow_headers_are_cut_off(self):
        """A client that never finishes its headers loses the connection long before Apache's
        own Timeout (30 s) would free the thread it holds."""
        port = int(self.filtered.rsplit(":", 1)[1])
        with socket.create_connection(("127.0.0.1", port), timeout=20) as connection:
            connection.sendall(b"GET /public/ HTTP/1.1\r\nHost: localhost\r\nX-Slow: ")
            answer = b""
            try:
                while chunk := connection.recv(4096):
                    answer += chunk
            except socket.timeout:
                raise AssertionError("the connection was still open after 20 s") from None
        expect(answer == b"" or answer.startswith(b"HTTP/1.1 408"), f"answer {answer[:80]!r}")

    def concurrent_requests_keep_their_own_credentials(self):
        targets = ["webuser", "alice", "bob"]

        def one(i):
            account = targets[i % 3]
            if i % 4 == 3:
                return ("deny", self.get("/cgi-bin/whoami", "deny", "x").status)
            r = self.get("/cgi-bin/whoami", "map", f"{account}={ACCOUNTS[account]}")
            cgi = r.cgi()
            return (account, (r.status, cgi.get("AUTH_USER"), cgi.get("LOGON_USER")))

        with concurrent.futures.ThreadPoolExecutor(8) as pool:
            results = list(pool.map(one, range(48)))
        for who, outcome in results:
            expected = 401 if who == "deny" else (200, "map", who)
            expect_equal(expected, outcome, f"concurrent request for {who}")


def server_and_site_filters_in_priority_order(args, work):
    """A filter named for the whole server runs on every site, once even when the site names it
    again, after a filter of higher priority; a filter that handles the notification ends the
    chain."""
    run_user = conf.unprivileged_user()
    root = conf.state_directory(os.path.join(work, "chain"), run_user)
    passwords = os.path.join(root, "passwords")
    conf.write_password_file(passwords, ACCOUNTS)
    medium = os.path.abspath(args.filter)
    site = conf.Site(free_port(), write_site(root), REALM,
                     [os.path.abspath(args.high_priority_filter), medium],
                     [conf.Location("/private", require_user=True)])
    bare = conf.Site(free_port(), os.path.join(root, "htdocs"), REALM, [],
                     [conf.Location("/private", require_user=True)])
    server = conf.Server(root, os.path.abspath(args.module), passwords, [site, bare],
                         mpm=args.mpm, run_user=run_user, isapi_filters=[medium])
    conf.write(server)

    def get(port, user, password):
        return e2e.fetch(f"http://127.0.0.1:{port}/private/", basic(user, password))

    with ApacheProcess(server, preload=args.preload):
        r = get(site.port, "alice", "alicepw")
        expect_equal((200, ["high", "medium"]), (r.status, r.all("X-Test-Filter-Order")), "both")
        r = get(site.port, "map", "bob=bobpw")  # handled by the first filter
        expect_equal((200, ["high"]), (r.status, r.all("X-Test-Filter-Order")), "chain ends")
        r = get(bare.port, "alice", "alicepw")
        expect_equal((200, ["medium"]), (r.status, r.all("X-Test-Filter-Order")), "server level")
    expect_equal([], e2e.faults_in_log(server.error_log), "faults")


def one_site_server(args, work, name, library):
    """A server of its own below work/name: one site on a free port whose filter is library,
    and webuser's password for Apache's own check. The configuration is written."""
    run_user = conf.unprivileged_user()
    root = conf.state_directory(os.path.join(work, name), run_user)
    passwords = os.path.join(root, "passwords")
    conf.write_password_file(passwords, {"webuser": "webpass"})
    site = conf.Site(free_port(), write_site(root), REALM, [library])
    server = conf.Server(root, os.path.abspath(args.module), passwords, [site], mpm=args.mpm,
                         run_user=run_user)
    conf.write(server)
    return root, site, server


def startup_failures(args, work):
    """A filter that cannot be loaded, or refuses to start, stops Apache's start."""
    cases = [("missing-library", os.path.join(work, "no-such-filter.so"), {}, "cannot load"),
             ("refused-start", os.path.abspath(args.filter), {"TEST_FILTER_REFUSE_START": "1"},
              "GetFilterVersion returned FALSE")]
    for name, library, env, message in cases:
        _, _, server = one_site_server(args, work, name, library)
        apache = ApacheProcess(server, env={**os.environ, **env}, preload=args.preload)
        apache.start(wait_ready=False)
        code = apache.wait_exit(20)
        apache.stop()
        expect(code not in (None, 0), f"{name}: Apache started anyway (exit {code})")
        expect(message in apache.log_tail(), f"{name}: no '{message}' in\n{apache.log_tail()}")


def wrong_library_path_is_a_configuration_error(args, work):
    """IsapiFilter naming a library that cannot be loaded fails the configuration test with the
    path and the system's reason; a graceful restart asked for with it leaves the running server
    serving, and a later one with the path put right goes ahead."""
    root, site, server = one_site_server(args, work, "wrong-path", os.path.abspath(args.filter))
    env = dict(os.environ, **({"LD_PRELOAD": args.preload} if args.preload else {}))
    missing = os.path.join(root, "no-such-filter.so")

    def apache2(*options):
        return subprocess.run([APACHE, "-f", server.config_path, *options], env=env,
                              capture_output=True, text=True, timeout=60)

    def log_count(text):
        with open(server.error_log, encoding="utf-8", errors="replace") as f:
            return f.read().count(text)

    def answers():
        r = e2e.fetch(f"http://127.0.0.1:{site.port}/public/")
        return (r.status, r.all("X-Test-Filter-Saw"))

    expect_equal(0, apache2("-t").returncode, "configuration test of the right path")
    with ApacheProcess(server, env=env) as apache:
        site.isapi_filters = [missing]
        conf.write(server)
        test = apache2("-t")
        expect(test.returncode != 0, f"configtest passed: {test.stderr}")
        expect(missing in test.stderr and "No such file or directory" in test.stderr, test.stderr)
        graceful = apache2("-k", "graceful")
        expect(graceful.returncode != 0, f"graceful with a wrong path: {graceful.stderr}")
        expect(missing in graceful.stderr, graceful.stderr)
        expect_equal((200, ["(anonymous)"]), answers(), "the running server")

        site.isapi_filters = [os.path.abspath(args.filter)]
        conf.write(server)
        expect_equal(0, apache2("-k", "graceful").returncode, "graceful with the right path")
        deadline = time.monotonic() + 60
        while log_count("resuming normal operations") < 2 and time.monotonic() < deadline:
            time.sleep(0.05)
        expect_equal(2, log_count("resuming normal operations"), "start and one restart")
        # "SIGUSR1 received.  Doing graceful restart" (event), "Graceful restart requested"
        # (prefork): the one asked for with the right path.
        expect_equal(1, log_count("raceful restart"), "graceful restarts signalled")
        expect(apache.process.poll() is None, "Apache exited")
        expect_equal((200, ["(anonymous)"]), answers(), "after the restart")
    expect_equal([], e2e.faults_in_log(server.error_log), "faults")


def filters_start_once(args, work):
    """Apache reads its configuration twice at start-up; a filter is started (GetFilterVersion,
    which builds a filter's state) only in the pass that serves."""
    root, _, server = one_site_server(args, work, "start-once", os.path.abspath(args.filter))
    start_log = os.path.join(root, "filter-starts")
    with ApacheProcess(server, env={**os.environ, "TEST_FILTER_START_LOG": start_log},
                       preload=args.preload):
        pass
    with open(start_log) as f:
        expect_equal(1, len(f.readlines()), "GetFilterVersion calls at one start")


def run(args, work):
    checks = e2e.Checks()
    server = build_server(args, os.path.join(work, "server"))
    e2e.run_suite(ApacheProcess(server, preload=args.preload), HostTests(server), (
        "every_request_notified_once", "untouched_credentials_go_to_apache",
        "replaced_credentials_are_checked_by_apache", "passing_credentials_to_scripts_is_refused",
        "replaced_credentials_stay_with_authentication",
        "deny_response", "requested_responses", "untrusted_response_texts",
        "statuses_by_last_error", "malformed_and_overlong_credentials", "faulty_filter_buffers",
        "later_modules_see_the_clients_credentials", "server_variables",
        "server_name_is_the_sites_own", "filter_and_cgi_programs_see_the_same_site",
        "slow_headers_are_cut_off",
        "concurrent_requests_keep_their_own_credentials"), checks)
    checks.run("server_and_site_filters_in_priority_order",
               server_and_site_filters_in_priority_order, args, work)
    checks.run("startup_failures", startup_failures, args, work)
    checks.run("wrong_library_path_is_a_configuration_error",
               wrong_library_path_is_a_configuration_error, args, work)
    checks.run("filters_start_once", filters_start_once, args, work)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(e2e.main(run, extra_arguments=["--high-priority-filter"]))
