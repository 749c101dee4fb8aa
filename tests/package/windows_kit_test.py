#!/usr/bin/env python3
"""The Windows kit made by scripts/package from this mingw-w64 tree: exactly the files an IIS
installation needs, sentry.dll exporting exactly the two ISAPI entry points, 64-bit programs,
and a .reg file that writes the settings key.

Usage: windows_kit_test.py --source DIR --build-dir DIR --work DIR
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import zipfile

OBJDUMP = "x86_64-w64-mingw32-objdump"
# CGI programs and where a build puts them: the kit carries those the build has.
BUILT_PROGRAMS = {"overseer": "admin/overseer.exe", "steward": "site/steward.exe",
                  "rekey": "password/rekey.exe"}


def exported_names(dll):
    """The names in the export table of a PE file."""
    dump = subprocess.run([OBJDUMP, "-p", dll], check=True, capture_output=True, text=True).stdout
    table = dump.split("[Ordinal/Name Pointer] Table", 1)[1]
    names = []
    for line in table.splitlines()[1:]:
        match = re.match(r"\s*\[\s*\d+\]\s+(\S+)\s*$", line)
        if not match:
            break
        names.append(match.group(1))
    return names


def file_format(path):
    dump = subprocess.run([OBJDUMP, "-f", path], check=True, capture_output=True, text=True).stdout
    return re.search(r"file format (\S+)", dump).group(1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    out = subprocess.run([os.path.join(args.source, "scripts", "package"), "--only", "zip",
                          "--windows-build-dir", args.build_dir, "--output", args.work],
                         cwd=args.source, check=True, capture_output=True, text=True).stdout
    kit = out.strip().splitlines()[-1]
    name = os.path.basename(kit)[:-len(".zip")]
    failures = []

    def check(condition, message):
        if not condition:
            failures.append(message)

    check(re.fullmatch(r"kestrel-gatekeeper-\d+(\.\d+)+-win64", name) is not None, f"kit name {name}")
    programs = [f"cgi-bin/{program}.exe" for program, built in BUILT_PROGRAMS.items()
                if os.path.isfile(os.path.join(args.build_dir, built))]
    check("cgi-bin/overseer.exe" in programs, "overseer.exe not built")
    # The command-line program sits at the kit's root.
    if os.path.isfile(os.path.join(args.build_dir, "cli", "gatekeeper.exe")):
        programs.append("gatekeeper.exe")
    expected = sorted(["sentry.dll", "kestrel-gatekeeper.reg", "INSTALL.txt"] + programs)
    with zipfile.ZipFile(kit) as archive:
        files = sorted(os.path.relpath(entry, name) for entry in archive.namelist()
                       if not entry.endswith("/"))
        archive.extractall(args.work)
    check(expected == files, f"files: expected {expected}, got {files}")
    root = os.path.join(args.work, name)

    check(sorted(exported_names(os.path.join(root, "sentry.dll"))) == ["GetFilterVersion", "HttpFilterProc"],
          f"exports of sentry.dll: {exported_names(os.path.join(root, 'sentry.dll'))}")
    for path in ["sentry.dll"] + programs:
        check(file_format(os.path.join(root, path)) == "pei-x86-64", f"{path} is not 64-bit Windows")

    with open(os.path.join(root, "kestrel-gatekeeper.reg"), "rb") as f:
        reg = f.read()
    check(b"\n" not in reg.replace(b"\r\n", b""), ".reg file without Windows line ends")
    lines = reg.decode("ascii").splitlines()
    check(lines[0] == "REGEDIT4", f".reg header {lines[0]!r}")
    check("[HKEY_LOCAL_MACHINE\\Software\\Kestrel\\Gatekeeper (Text)]" in lines, "settings key")
    values = dict(re.fullmatch(r'"([^"]+)"="(.*)"', line).groups() for line in lines
                  if line.startswith('"'))
    check(sorted(values) == ["Backup directory", "Configuration File"], f"values {values}")
    check(all(re.fullmatch(r"[A-Z]:(\\\\[^\\\"]+)+", path) for path in values.values()),
          f"paths in .reg syntax: {values}")
    with open(os.path.join(root, "INSTALL.txt"), encoding="ascii") as f:
        note = f.read()
    for topic in ("isapiFilters", "isapiCgiRestriction", "icacls", "kestrel-gatekeeper.reg"):
        check(topic in note, f"the install note says nothing about {topic}")

    for failure in failures:
        print("FAIL", failure)
    print("ok" if not failures else f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
