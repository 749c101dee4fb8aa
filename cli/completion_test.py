#!/usr/bin/env python3
"""The bash completion of gatekeeper against the usage lines that the program prints.

Every group, command and option of `gatekeeper --help` must be what the completion offers at
its place, and nothing else: a command or option added to the program fails this test until
cli/gatekeeper.bash-completion offers it too.

usage: completion_test.py GATEKEEPER COMPLETION
"""
import os
import re
import subprocess
import sys
import tempfile

PROGRAM, COMPLETION = sys.argv[1], sys.argv[2]


def usage():
    """{group: {command or "": set of options}} from the usage lines."""
    text = subprocess.run([PROGRAM, "--help"], capture_output=True, text=True, check=True).stdout
    table = {}
    for line in text.splitlines()[1:]:
        words = line.split()
        assert words[:3] == ["gatekeeper", "[--database", "FILE]"], line
        group = words[3]
        command = words[4] if len(words) > 4 and re.fullmatch(r"[a-z]+", words[4]) else ""
        options = set(re.findall(r"--[a-z][a-z-]*", " ".join(words[4:])))
        table.setdefault(group, {})[command] = options
    return table


def complete(*words):
    """What the completion offers for the words, the last being the one under the cursor."""
    array = " ".join("'" + w.replace("'", "'\\''") + "'" for w in ("gatekeeper",) + words)
    script = (f"source '{COMPLETION}'; COMP_WORDS=({array}); COMP_CWORD={len(words)}; "
              "_gatekeeper; printf '%s\\n' \"${COMPREPLY[@]}\"")
    out = subprocess.run(["bash", "--norc", "--noprofile", "-c", script], capture_output=True,
                         text=True, check=True).stdout
    return set(out.split())


def main():
    table = usage()
    failures = []

    def expect(got, want, what):
        if got != want:
            failures.append(f"{what}: completion offers {sorted(got)}, usage has {sorted(want)}")

    expect(complete(""), set(table), "groups")
    expect(complete("us"), {g for g in table if g.startswith("us")}, "groups from 'us'")
    expect(complete("-"), {"--database", "--help"}, "global options")
    expect(complete("--database", "accounts.cfg", ""), set(table), "groups after --database")
    for group, commands in table.items():
        named = {c for c in commands if c}
        if named:
            expect(complete(group, ""), named, f"commands of {group}")
        for command, options in commands.items():
            words = (group, command) if command else (group,)
            expect(complete(*words, "OPERAND", "--"), options, f"options of {' '.join(words)}")
    expect(complete("log", "--type", "1"), {"10", "11", "12", "13", "14", "15", "16"},
           "event ids")
    expect(complete("import", "htpasswd", "--authority", ""), set(), "authority names")
    with tempfile.TemporaryDirectory() as directory:
        password_file = os.path.join(directory, "site.htpasswd")
        open(password_file, "w").close()
        expect(complete("import", "htpasswd", "--authority", "Staff", password_file[:-4]),
               {password_file}, "the password file")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
