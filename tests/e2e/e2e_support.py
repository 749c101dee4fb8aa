"""Shared pieces of the end-to-end tests: requests through curl, named checks with a summary,
and the scan of Apache's error log for crashes and sanitizer reports."""

import base64
import os
import re
import subprocess
import sys
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts", "lib"))


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


def fetch(url, authorization=None, headers=(), http10=False):
    """GETs url with curl; authorization is the Authorization header's value or None."""
    command = ["curl", "-sS", "-i", "--max-time", "15", "--noproxy", "*"]
    if http10:
        command.append("--http1.0")
    if authorization is not None:
        command += ["-H", f"Authorization: {authorization}"]
    for header in headers:
        command += ["-H", header]
    command.append(url)
    out = subprocess.run(command, capture_output=True, check=True, timeout=30).stdout
    return Response(out)


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


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def expect_equal(expected, actual, what=""):
    if expected != actual:
        raise AssertionError(f"{what}: expected {expected!r}, got {actual!r}")


# Lines of an error log that mean a crash or a sanitizer finding.
_FAULTS = re.compile(r"AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|runtime error:|"
                     r"exit signal|Segmentation fault|AH00052")


def faults_in_log(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return [line.rstrip() for line in f if _FAULTS.search(line)]
    except OSError:
        return []
