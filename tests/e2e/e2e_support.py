"""Shared pieces of the end-to-end tests: the command line and work directory, a build laid out
for the demo, requests through curl, the forms and links of a page, named checks with a summary,
a CGI program that shows its identity, and the scan of Apache's error log for crashes and
sanitizer reports."""

import argparse
import base64
import html.parser
import os
import re
import subprocess
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts", "lib"))

import apache_config as conf  # noqa: E402  (found through the path above)
import demo  # noqa: E402
from apache_process import StartError  # noqa: E402

# A CGI program printing what it was told about the client's identity, one NAME=value a line.
WHOAMI = """#!/bin/sh
printf 'Content-Type: text/plain\\r\\n\\r\\n'
echo "AUTH_USER=${AUTH_USER-(unset)}"
echo "LOGON_USER=${LOGON_USER-(unset)}"
echo "LOGON_REPLACED_BY_FILTER=${LOGON_REPLACED_BY_FILTER-(unset)}"
echo "REMOTE_USER=${REMOTE_USER-(unset)}"
echo "AUTH_TYPE=${AUTH_TYPE-(unset)}"
echo "HTTP_AUTHORIZATION=${HTTP_AUTHORIZATION-(unset)}"
echo "REDIRECT_STATUS=${REDIRECT_STATUS-(unset)}"
"""


def main(run, with_mpm=True, extra_arguments=(), optional_arguments=()):
    """Parses the harness's command line (--module, --filter, --work, --preload, with_mpm
    --mpm, the options named in extra_arguments and those of optional_arguments, option ->
    default) and returns run(args, work), work being a directory the web server's user can
    reach."""
    parser = argparse.ArgumentParser()
    for option in extra_arguments:
        parser.add_argument(option, required=True)
    for option, default in dict(optional_arguments).items():
        parser.add_argument(option, default=default)
    parser.add_argument("--module", required=True, help="mod_isapi_filter.so")
    parser.add_argument("--filter", required=True, help="the filter library")
    parser.add_argument("--work", required=True, help="directory for this run's files")
    parser.add_argument("--preload", default="", help="sanitizer runtime to preload in Apache")
    if with_mpm:
        parser.add_argument("--mpm", choices=["event", "prefork"], default="event")
    args = parser.parse_args()
    with conf.work_directory(args.work, conf.unprivileged_user()) as work:
        return run(args, work)


def write_file(path, text, mode=0o644):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    os.chmod(path, mode)


def demo_build(work, module, filter_library, programs=None):
    """A build directory as scripts/lib/demo.py reads it: links to the host module, to
    filter_library in the filter's place, and to programs (path in the build -> file)."""
    build = os.path.join(work, "build")
    files = {demo.HOST_MODULE: module, demo.FILTER: filter_library, **(programs or {})}
    for relative, target in files.items():
        link = os.path.join(build, relative)
        os.makedirs(os.path.dirname(link), exist_ok=True)
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.path.abspath(target), link)
    return build


def basic(user, password):
    """The value of an Authorization header carrying user and password as bytes or text."""
    raw = (user.encode("latin-1") if isinstance(user, str) else user) + b":" + \
          (password.encode("latin-1") if isinstance(password, str) else password)
    return "Basic " + base64.b64encode(raw).decode("ascii")


class Response:
    def __init__(self, raw):
        head, _, self.body = raw.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        self.status_line = lines[0]
        parts = self.status_line.split(" ", 2)
        self.status = int(parts[1])
        self.reason = parts[2] if len(parts) > 2 else ""
        self.headers = []
        for line in lines[1:]:
            name, _, value = line.partition(":")
            self.headers.append((name.strip().lower(), value.strip()))
        self.text = self.body.decode("latin-1")

    def header(self, name):
        """The value of the first header called name, or None."""
        values = self.all(name)
        return values[0] if values else None

    def all(self, name):
        return [value for key, value in self.headers if key == name.lower()]

    def cgi(self):
        """NAME=value lines of a CGI program's body as a dict."""
        return dict(line.split("=", 1) for line in self.text.splitlines() if "=" in line)

    def __repr__(self):
        return f"<{self.status_line} {self.headers} {self.text[:200]!r}>"


def fetch(url, authorization=None, headers=(), http10=False, data=None, request_target=None,
          options=()):
    """GETs url with curl, or POSTs data (a form body, bytes or text) to it; authorization is
    the Authorization header's value or None; request_target replaces the path in the request
    line (e.g. an absolute URI); options are further curl options."""
    command = ["curl", "-sS", "-i", "--max-time", "15", "--noproxy", "*", *options]
    if http10:
        command.append("--http1.0")
    if request_target is not None:
        command += ["--request-target", request_target]
    if authorization is not None:
        command += ["-H", f"Authorization: {authorization}"]
    for header in headers:
        command += ["-H", header]
    if data is not None:
        # The body comes from standard input; no "100 Continue" round trip.
        command += ["--data-binary", "@-", "-H", "Expect:"]
        if isinstance(data, str):
            data = data.encode("latin-1")
    command.append(url)
    out = subprocess.run(command, input=data, capture_output=True, check=True, timeout=30).stdout
    return Response(out)


class Page(html.parser.HTMLParser):
    """The forms and links of an HTML page, attribute values and link texts unescaped as a
    browser reads them. forms: [{"action", "method", "inputs": {name: value}}]; links: [(href,
    text)]."""

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.forms = []
        self.links = []
        self._link = None
        self.feed(text)
        self.close()

    def handle_starttag(self, tag, attrs):
        attrs = {name: value or "" for name, value in attrs}
        if tag == "form":
            self.forms.append({"action": attrs.get("action", ""),
                               "method": attrs.get("method", "").upper(), "inputs": {}})
        elif tag == "input" and self.forms and "name" in attrs:
            self.forms[-1]["inputs"][attrs["name"]] = attrs.get("value", "")
        elif tag == "a" and "href" in attrs:
            self._link = [attrs["href"], ""]

    def handle_data(self, data):
        if self._link is not None:
            self._link[1] += data

    def handle_endtag(self, tag):
        if tag == "a" and self._link is not None:
            self.links.append((self._link[0], self._link[1].strip()))
            self._link = None

    def link(self, text):
        """The target of the first link showing text."""
        for href, shown in self.links:
            if shown == text:
                return href
        raise AssertionError(f"no link {text!r} among {self.links}")


class Checks:
    """Runs named groups of assertions, reports each, and keeps the count."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def run(self, name, function, *args):
        try:
            function(*args)
        except Exception:  # a failed assertion or an unexpected error: both fail the group
            self.failed += 1
            print(f"FAIL {name}\n{traceback.format_exc()}", flush=True)
        else:
            self.passed += 1
            print(f"ok   {name}", flush=True)

    def summary(self):
        print(f"{self.passed} passed, {self.failed} failed", flush=True)
        return 0 if self.failed == 0 else 1


def lines_of(path, encoding="utf-8"):
    """The lines of a file a server writes (its error log, the event log); none while the file
    does not exist yet."""
    try:
        with open(path, encoding=encoding, errors="replace") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def expect_equal(expected, actual, what=""):
    if expected != actual:
        raise AssertionError(f"{what}: expected {expected!r}, got {actual!r}")


def eventually(produce, timeout=20):
    """What produce() gives once it is true, waiting up to timeout seconds for it (for work
    that the server finishes after its response, such as a backup written in the background);
    its last value otherwise."""
    deadline = time.monotonic() + timeout
    while True:
        value = produce()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(0.05)


def run_suite(apache, tests, names, checks):
    """Starts apache, runs the named methods of tests as checks, stops it, then checks its
    error log for crashes and sanitizer reports."""
    try:
        apache.start()
    except StartError as error:
        checks.failed += 1
        print(f"FAIL start\n{error}", flush=True)
        return
    try:
        for name in names:
            checks.run(name, getattr(tests, name))
    finally:
        apache.stop()
    checks.run("no_crash_or_sanitizer_report", lambda: expect_equal(
        [], faults_in_log(apache.server.error_log), "faults in " + apache.server.error_log))
    if checks.failed:
        print("--- error log ---\n" + apache.log_tail(80), flush=True)


# Lines of an error log (Apache's or nginx's) that mean a crash or a sanitizer finding.
_FAULTS = re.compile(r"AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|runtime error:|"
                     r"exit signal|Segmentation fault|AH00052|exited on signal")


def faults_in_log(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return [line.rstrip() for line in f if _FAULTS.search(line)]
    except OSError:
        return []
