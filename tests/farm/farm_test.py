#!/usr/bin/env python3
"""A farm of three web servers sharing one account database over a real network file system,
once over SFTP (sshd, mounted with sshfs) and once over SMB (smbd, mounted with smbnetfs).
Each host is the demo's deployment with its own Apache, filter and programs, and its own
client mount (its own FUSE process, cache and locks); its settings key names the database on
that mount. Checked on each file system:

- propagation: a user added, then changed, through overseer on host 1 is in force in the
  filter of hosts 2 and 3 (the new password let in, the old one refused) within the bound;
  every save changes the file's version as another host sees it, also two saves within one
  second that leave the file the same size;
- no lost update: concurrent storing runs spread over the hosts (overseer's AddUserDo,
  steward's AddUserDo, rekey's password change, the command-line program) each answer success
  and each change is in the database afterwards;
- the lock across hosts: the holder of another host's run (written on the share as that run
  makes it) is respected while fresh and broken once stale;
- a share that hangs (a host's client process stopped): the request that looks at the file
  waits for it, the others of that Apache decide on the content in force meanwhile;
- a crash mid-save: a command-line run killed (SIGKILL) while it saves a large database leaves
  the database whole on the share, and the next storing run on another host succeeds at once
  (the holder of a process that has ended on this machine is broken); the same when the host
  is lost with it (its client process killed too, as a crash or a cut network takes both);
  that host then decides on the content in force, says once that it cannot examine the
  database, and once its share is mounted again says so and follows the changes.

The short form (CI) runs one round of each; --long runs more rounds and runs, and waits out
the lock's whole wait once. Figures are printed per file system: propagation times (median,
max), stores per second across the hosts, lost updates, the crash's outcome.

Usage: farm_test.py --module mod_isapi_filter.so --filter sentry.so --overseer overseer
                    --steward steward --rekey rekey --gatekeeper gatekeeper --work DIR
                    [--preload LIBASAN] [--long] [--file-systems sshfs,smbnetfs]
                    [--sshfs-options OPTS] [--smbnetfs-options OPTS] [--bound S]
                    [--crash-users N] [--only CHECK,...]
Exits 77 (skipped) where the machine cannot run it, unless CI is set.
"""

import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

import argparse
import os
import signal
import statistics
import subprocess
import threading
import time
import traceback

import file_servers
import farm_hosts
from farm_hosts import Host, added, changed, password_changed, parse_database, users_of

import e2e_support as e2e
from e2e_support import expect, expect_equal

import apache_config as conf
import demo

SKIPPED = 77
# The target for a change to be in force on every other host, with the mount options used.
TARGET_S = 2.0
# The bound the test holds it to: far above the target, so that a loaded machine passes, far
# below "never".
DEFAULT_BOUND_S = 20.0
# The lock's rules (websupport/share_lock.h): how long a run waits, when a holder is stale.
LOCK_WAIT_S = 20
STALE_AFTER_S = 120
TEMPORARY_INFIX = ".~tmp-"


def until(condition, bound, pause=0.02):
    """Seconds until condition() held, or None when it did not within bound."""
    start = time.monotonic()
    while True:
        if condition():
            return time.monotonic() - start
        if time.monotonic() - start >= bound:
            return None
        time.sleep(pause)


class Farm:
    """Three hosts on one file server of the given kind."""

    def __init__(self, kind, args, work, build, run_user):
        self.kind = kind
        self.args = args
        self.work = os.path.join(work, kind)
        os.makedirs(self.work, exist_ok=True)
        os.chmod(self.work, 0o755)
        self.build = build
        self.run_user = run_user
        self.server = file_servers.SERVERS[kind](self.work)
        self.options = getattr(args, kind.replace("-", "_") + "_options")
        if self.options is None:
            self.options = self.server.CACHE_OPTIONS
        self.hosts = []
        self.mounts = []
        # The event log that every host's filter appends to: a local path, the same on each.
        self.events = os.path.join(self.work, "events", "events.log")
        os.makedirs(os.path.dirname(self.events), exist_ok=True)
        conf.give_to_run_user(os.path.dirname(self.events), run_user)
        self.database = os.path.join(self.server.export, farm_hosts.DATABASE_NAME)
        self.figures = {"propagation": [], "stores_per_s": [], "lost": 0, "runs": 0,
                        "options": self.options or "(none)"}

    def start(self, users):
        self.server.start()
        self.mounts = [self.server.mount(os.path.join(self.work, f"mnt{i}"), self.options)
                       for i in (1, 2, 3)]
        for i, mount in enumerate(self.mounts, 1):
            self.hosts.append(Host(i, self.build, self.work, mount.share, self.run_user,
                                   self.args.preload, self.args.gatekeeper))
        self.write_database(users)
        for host in self.hosts:
            host.apache.start(wait_ready=False)
        for host in self.hosts:
            expect(until(lambda: self.accepts(host, "john", "secret"), 60, 0.1) is not None,
                   f"{host.name} never let john in:\n{host.apache.log_tail()}")

    def stop(self):
        for host in self.hosts:
            host.apache.stop()
        self.server.stop()

    @staticmethod
    def accepts(host, user, password):
        try:
            return host.site_status(user, password) == 200
        except OSError:
            return False

    # --- the database on the file server's disk

    def write_database(self, users):
        """Puts a database with these users (name -> password) on the share, the way a save
        does (a new file renamed over the old one)."""
        text = farm_hosts.database_text([h.site_port for h in self.hosts], self.events, users)
        staging = self.database + ".staging"
        with open(staging, "w", encoding="latin-1") as f:
            f.write(text)
        os.replace(staging, self.database)

    def database_text(self):
        with open(self.database, encoding="latin-1") as f:
            return f.read()

    def sections(self):
        parsed = parse_database(self.database_text())
        expect(parsed is not None, f"the database on the share is cut short:\n{self.listing()}")
        return parsed

    def users(self):
        return users_of(self.sections())

    def listing(self):
        """The share's directory as the server has it: name, size."""
        rows = []
        for name in sorted(os.listdir(self.server.export)):
            try:
                rows.append(f"  {name} {os.stat(os.path.join(self.server.export, name)).st_size}")
            except OSError:
                rows.append(f"  {name} (gone)")
        return "\n".join(rows)

    def stat_cost_us(self, seconds=0.5):
        """Microseconds of one look at the database's version through host 2's mount (what the
        filter does for every request), the mean over half a second of looks."""
        count = 0
        start = time.monotonic()
        while time.monotonic() - start < seconds:
            os.stat(self.hosts[1].database)
            count += 1
        return (time.monotonic() - start) * 1e6 / count

    def diagnosis(self, user=None):
        """What each host sees of the database through its mount, for a failure's message."""
        lines = [f"share:\n{self.listing()}"]
        for host in self.hosts:
            try:
                st = os.stat(host.database)
                with open(host.database, encoding="latin-1") as f:
                    text = f.read()
                seen = (f"mtime_ns={st.st_mtime_ns} size={st.st_size} ino={st.st_ino}, read "
                        f"{len(text)} bytes" + (f", {user} {'in' if f'{{ {user}:' in text else 'NOT in'} it"
                                                 if user else ""))
            except OSError as error:
                seen = str(error)
            log = [line for line in host.apache.log_tail(400).splitlines()
                   if "no binding covers" not in line][-6:]
            lines.append(f"{host.name}: {seen}\n  " + "\n  ".join(log))
        return "\n".join(lines)

    def holder(self):
        return self.database + ".holder"

    def write_holder(self, line):
        """The holder of another host's run, as that run makes it on the share: a directory
        holding one named by its line."""
        os.mkdir(self.holder())
        os.mkdir(os.path.join(self.holder(), line.rstrip("\n")))

    def holder_line(self):
        return "".join(name + "\n" for name in os.listdir(self.holder()))

    def remove_holder(self):
        for name in os.listdir(self.holder()):
            os.rmdir(os.path.join(self.holder(), name))
        os.rmdir(self.holder())

    def temporary_sizes(self):
        """name -> size of the temporary files of saves on the share (None: gone meanwhile)."""
        sizes = {}
        for name in self.temporaries():
            try:
                sizes[name] = os.stat(os.path.join(self.server.export, name)).st_size
            except OSError:
                sizes[name] = None
        return sizes

    def temporaries(self):
        prefix = farm_hosts.DATABASE_NAME + TEMPORARY_INFIX
        return sorted(n for n in os.listdir(self.server.export) if n.startswith(prefix))

    # --- what a change takes to be in force elsewhere

    def in_force_on_others(self, user, new, old=None, bound=None):
        """Seconds until every host but the first lets user in with new (and refuses old), or
        None when one does not within the bound."""
        bound = self.args.bound if bound is None else bound
        start = time.monotonic()
        for host in self.hosts[1:]:
            def ready():
                if not self.accepts(host, user, new):
                    return False
                return old is None or host.site_status(user, old) == 401
            if until(ready, max(0.0, bound - (time.monotonic() - start))) is None:
                return None
        return time.monotonic() - start


class FarmTests:
    def __init__(self, farm, rounds, runs):
        self.farm = farm
        self.rounds = rounds
        self.runs = runs
        self.next_user = 0
        # Users that rekey changes: name -> current password.
        self.rekey_users = {f"rk{i}": f"before-{i:03d}" for i in range(runs)}

    def fresh_name(self, prefix):
        self.next_user += 1
        return f"{prefix}{self.next_user}"

    def propagation(self):
        """A user added through overseer on host 1, then given a new password: each in force on
        hosts 2 and 3 within the bound."""
        farm = self.farm
        host = farm.hosts[0]
        for round_ in range(self.rounds):
            user = self.fresh_name("prop")
            first, second = f"first-{round_:04d}", f"other-{round_:04d}"
            r = host.overseer_add(user, first)
            expect(added(r, user), r.text[-500:])
            took = farm.in_force_on_others(user, first)
            expect(took is not None, f"{user} added on host 1 not in force on the others within "
                   f"{farm.args.bound} s")
            farm.figures["propagation"].append(took)
            r = host.overseer_change(user, second)
            expect(changed(r, user), r.text[-500:])
            took = farm.in_force_on_others(user, second, old=first)
            expect(took is not None, f"{user}'s new password not in force on the others (or the "
                   f"old one still let in) within {farm.args.bound} s")
            farm.figures["propagation"].append(took)
        farm.figures["stat_us"] = farm.stat_cost_us()

    def quick_saves_change_the_version(self):
        """Saves in quick succession (the command-line program on host 1) that leave the file
        the same size (a password changed for another of its length), early in a second so
        that they land in one: each is a new version as the hosts' clients show the file (sshfs
        keeps whole seconds), and the filters of hosts 2 and 3 take the last one."""
        farm = self.farm
        user = self.fresh_name("quick")
        r = farm.hosts[0].overseer_add(user, "quick-000")
        expect(added(r, user), r.text[-500:])
        expect(farm.in_force_on_others(user, "quick-000") is not None, "added user not in force")
        resolution = farm.server.TIME_RESOLUTION_NS

        def version():
            st = os.stat(farm.database)
            return (st.st_mtime_ns // resolution, st.st_size)

        # The sites of hosts 2 and 3 under traffic meanwhile: their filters look at the file
        # as soon as their client shows a new version, also between two saves.
        traffic = threading.Event()

        def visit(host):
            while not traffic.is_set():
                self.farm.accepts(host, "john", "secret")
                time.sleep(0.01)

        visitors = [threading.Thread(target=visit, args=(host,)) for host in farm.hosts[1:]]
        for visitor in visitors:
            visitor.start()
        try:
            old = "quick-000"
            for attempt in range(self.rounds):
                until(lambda: time.time() % 1 < 0.2, 2, 0.005)
                seen = [version()]
                for k in (1, 2, 3):
                    password = f"quick-{attempt}{k}0"
                    r = farm.hosts[0].cli("user", "set", farm_hosts.AUTHORITY, user,
                                          "--password-stdin", stdin=password + "\n")
                    expect_equal(0, r.returncode, r.stderr)
                    seen.append(version())
                expect_equal(len(seen), len(set(seen)), f"distinct versions of the file {seen}")
                expect(farm.in_force_on_others(user, password, old=old) is not None,
                       f"{password} of {user} not in force on the others within "
                       f"{farm.args.bound} s\n{farm.diagnosis(user)}")
                old = password
        finally:
            traffic.set()
            for visitor in visitors:
                visitor.join()

    def concurrent_storing_runs(self):
        """runs storing runs at once over the three hosts, four kinds taking turns; every run
        answers success and every change is in the database afterwards."""
        farm = self.farm
        for round_ in range(self.rounds):
            jobs = []
            for i in range(self.runs):
                host = farm.hosts[i % 3]
                kind = ("overseer", "steward", "rekey", "gatekeeper")[i % 4]
                if kind == "rekey":
                    user = f"rk{i}"
                    jobs.append((kind, host, user, self.rekey_users[user], f"r{round_}-{i:03d}-new"))
                else:
                    jobs.append((kind, host, self.fresh_name(f"c{kind[0]}"), None, f"pw-{i}"))
            answers = [None] * len(jobs)

            def run(index):
                kind, host, user, old, password = jobs[index]
                try:
                    if kind == "overseer":
                        r = host.overseer_add(user, password)
                        answers[index] = (added(r, user), r.text[-400:])
                    elif kind == "steward":
                        r = host.steward_add(user, password)
                        answers[index] = (added(r, user), r.text[-400:])
                    elif kind == "rekey":
                        r = host.rekey_change(user, old, password)
                        answers[index] = (password_changed(r), r.text[-400:])
                    else:
                        r = host.cli("user", "add", farm_hosts.AUTHORITY, user,
                                     "--password-stdin", "--map-to", farm_hosts.NT_ACCOUNT,
                                     stdin=password + "\n")
                        answers[index] = (r.returncode == 0,
                                          (r.stdout + r.stderr).decode("latin-1"))
                except Exception:  # a request that failed outright: an answer of its own
                    answers[index] = (False, traceback.format_exc())

            threads = [threading.Thread(target=run, args=(i,)) for i in range(len(jobs))]
            start = time.monotonic()
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
            seconds = time.monotonic() - start
            stored = farm.users()
            lost, failed = [], []
            for (kind, host, user, old, password), (success, text) in zip(jobs, answers):
                present = stored.get(user) == password
                if kind == "rekey" and success:
                    self.rekey_users[user] = password
                if not success:
                    failed.append(f"{kind} on {host.name} for {user}: {text}")
                elif not present:
                    lost.append(f"{kind} on {host.name} for {user}: answered success, stored "
                                f"{stored.get(user)!r}")
            farm.figures["runs"] += len(jobs)
            farm.figures["lost"] += len(lost)
            farm.figures["stores_per_s"].append(len(jobs) / seconds)
            expect(not lost, "runs that answered success but were not stored:\n" +
                   "\n".join(lost) + f"\n{farm.diagnosis()}")
            expect_equal([], failed, "runs that did not answer success")
            expect(not os.path.exists(farm.holder()), "the holder stayed after the runs")
        # What one host's run stored is in force on the others.
        user = jobs[-1][2]
        expect(farm.in_force_on_others(user, jobs[-1][4]) is not None,
               f"{user} not in force on the others\n{farm.diagnosis(user)}")

    def foreign_holders(self):
        """The holder of another host's run: respected while it is fresh (the run waits for it
        to go), broken once it is older than the stale time."""
        farm = self.farm
        fresh = f"host=farm-elsewhere pid=4242 since={int(time.time())}\n"
        farm.write_holder(fresh)
        user = self.fresh_name("waited")
        answer = {}
        thread = threading.Thread(target=lambda: answer.update(r=farm.hosts[1].overseer_add(
            user, "waited-pw")))
        start = time.monotonic()
        thread.start()
        # However slow the run, it cannot store while the other host holds the database.
        thread.join(1.5)
        expect(thread.is_alive(), f"the run did not wait for a fresh holder: {answer}")
        expect(user not in farm.users(), "stored while another host held the database")
        expect_equal(fresh, farm.holder_line(), "the fresh holder's line")
        farm.remove_holder()  # the other host is done
        thread.join(LOCK_WAIT_S + 30)
        waited = time.monotonic() - start
        expect(added(answer["r"], user), answer["r"].text[-500:])
        expect(waited >= 1.5, f"answered after {waited:.2f} s")

        farm.write_holder(
            f"host=farm-elsewhere pid=4242 since={int(time.time()) - STALE_AFTER_S - 60}\n")
        user = self.fresh_name("broke")
        start = time.monotonic()
        r = farm.hosts[2].cli("user", "add", farm_hosts.AUTHORITY, user, "--password-stdin",
                              "--map-to", farm_hosts.NT_ACCOUNT, stdin="broke-pw\n")
        took = time.monotonic() - start
        expect_equal(0, r.returncode, r.stderr)
        expect(took < LOCK_WAIT_S, f"a stale holder was broken only after {took:.1f} s")
        expect(farm.users().get(user) == "broke-pw", "the run after the stale holder")
        expect(not os.path.exists(farm.holder()), "the holder stayed")

    def hung_share(self):
        """Host 2's client stops answering (its FUSE process stopped, as a file server that no
        longer answers leaves it): the request that looks at the database file then hangs, but
        the other requests of that Apache decide on the content in force; once the client
        answers again, so does the hung request."""
        farm = self.farm
        host, mount = farm.hosts[1], farm.mounts[1]
        expect(farm.accepts(host, "john", "secret"), f"{host.name} refuses john before")
        hung = {}
        os.kill(mount.process.pid, signal.SIGSTOP)
        try:
            # Until the client's caches of the file's name and attributes (1 s with the mount
            # options here) run out, a look is answered without the client's process.
            time.sleep(2.5)
            first = threading.Thread(
                target=lambda: hung.setdefault("status", host.site_status("john", "secret", 60)))
            first.start()
            # The first request holds the look at the file; give it the time to get there.
            first.join(1.0)
            for user, password, status in (("john", "secret", 200), ("john", "wrong", 401),
                                           ("john", "secret", 200)):
                started = time.monotonic()
                got = host.site_status(user, password, 20)
                expect_equal(status, got, f"{user}/{password} while the share hangs")
                expect(time.monotonic() - started < 15,
                       f"a request waited {time.monotonic() - started:.1f} s for the share")
        finally:
            os.kill(mount.process.pid, signal.SIGCONT)
        first.join(60)
        expect_equal(200, hung.get("status"), "the request that hung, once the share answers")

    def busy_database(self):
        """A fresh holder of another host kept for the whole wait: the run answers that the
        database is in use, and stores nothing."""
        farm = self.farm
        farm.write_holder(f"host=farm-elsewhere pid=4242 since={int(time.time())}\n")
        user = self.fresh_name("busy")
        try:
            r = farm.hosts[0].overseer_add(user, "busy-pw")
        finally:
            farm.remove_holder()
        expect("Error: 3<BR>" in r.text, r.text[-500:])
        expect("The account database is in use by another program: host=farm-elsewhere pid=4242"
               in r.text, r.text[-500:])
        expect(user not in farm.users(), "stored while another host held the database")

    def crash_mid_save(self):
        """The command-line program killed while it saves a large database: the share keeps a
        whole database (the one before or the one after), the next storing run on another host
        succeeds at once, and its save removes what the killed one left."""
        self.killed_mid_save(lose_client=False)

    def host_lost_mid_save(self):
        """Host 1 lost while the command-line program saves there: its client process is killed
        with the program, as a host that crashes or drops off the network loses both. The share
        keeps the database whole, and host 2's next run breaks the lost run's holder, stores,
        and removes what it left. Host 1 has no share afterwards: this check comes last."""
        self.killed_mid_save(lose_client=True)

    def killed_mid_save(self, lose_client):
        farm = self.farm
        users = {f"bulk{i:06d}": f"bulk-pw-{i}" for i in range(farm.args.crash_users)}
        users.update(self.rekey_users)
        farm.write_database(users)
        before = len(farm.users())
        host = farm.hosts[0]
        user = self.fresh_name("crash")
        outcome = "not caught"
        for attempt in range(5):
            process = host.cli_start("user", "add", farm_hosts.AUTHORITY, user,
                                     "--password-stdin", "--map-to", farm_hosts.NT_ACCOUNT,
                                     stdin="crash-pw\n")
            caught = None
            while process.poll() is None:
                # Stopped once its new file has begun to fill on the server.
                if any(size for size in farm.temporary_sizes().values()):
                    process.send_signal(signal.SIGSTOP)
                    caught = farm.temporary_sizes()
                    if lose_client:
                        kill_tree(farm.mounts[0].process.pid)
                    break
                time.sleep(0.0005)
            process.kill()  # SIGKILL, also to a stopped process
            process.wait()
            process.stdout.close()
            process.stderr.close()
            if caught is not None:
                break
            # The run ended before its save began to show: it stored; try again.
            expect(user in farm.users(), f"a run that ended stored nothing: {process.returncode}")
            user = self.fresh_name("crash")
            before = len(farm.users())
        after_kill = farm.users()
        expect(len(after_kill) in (before, before + 1),
               f"{len(after_kill)} users after the kill, {before} before:\n{farm.listing()}")
        if caught:
            # Stopped with its new file still beside the database: nothing of it landed, and
            # its holder stays for the next run to break.
            written = ", ".join(f"{size} of {os.path.getsize(farm.database)} bytes"
                                for size in caught.values())
            outcome = (f"{'host lost' if lose_client else 'killed'} while saving (its new file "
                       f"held {written})")
            expect_equal(before, len(after_kill), "users after a kill before the rename")
            expect(os.path.exists(farm.holder()), "the killed run left no holder")
        elif caught is not None:
            outcome = "killed just after its rename" + \
                (", its save landed" if user in after_kill else "")

        survivor = self.fresh_name("after")
        start = time.monotonic()
        r = farm.hosts[1].overseer_add(survivor, "after-pw")
        took = time.monotonic() - start
        expect(added(r, survivor), r.text[-500:])
        expect(took < LOCK_WAIT_S, f"the next run stored only after {took:.1f} s")
        final = farm.users()
        expect_equal(len(after_kill) + 1, len(final), "users after the next run")
        if lose_client:
            # A file server may keep the lost host's new file open (and so refuse to remove it)
            # until it has closed that host's session: a later save removes it then.
            for _ in range(20):
                if not farm.temporaries():
                    break
                time.sleep(0.5)
                later = self.fresh_name("later")
                r = farm.hosts[1].overseer_add(later, "later-pw")
                expect(added(r, later), r.text[-500:])
        expect(not farm.temporaries(), f"temporary files after the next save\n{farm.diagnosis()}")
        expect(not os.path.exists(farm.holder()), "the holder stayed")
        expect(farm.in_force_on_others(survivor, "after-pw") is not None,
               "the run after the crash not in force on the others")
        figure = "host_lost" if lose_client else "crash"
        farm.figures[figure] = f"{outcome}; next run on host 2 stored in {took:.2f} s"
        print(f"     {farm.kind}: {figure}: {farm.figures[figure]}", flush=True)
        if lose_client and caught is not None:
            self.share_comes_back(survivor)

    def share_comes_back(self, survivor):
        """Host 1 without its share (its client is gone) decides on the content in force and
        says once in Apache's error log that it cannot examine the database; mounted again, it
        says that it can, and follows the changes made meanwhile."""
        farm = self.farm
        host = farm.hosts[0]
        expect(farm.accepts(host, "john", "secret"), "host 1 refuses john without its share")
        expect_equal(401, host.site_status("john", "wrong"), "a wrong password without its share")
        expect(not farm.accepts(host, survivor, "after-pw"), "host 1 saw a change without its share")

        def said(text):
            with open(host.server.error_log, encoding="utf-8", errors="replace") as f:
                return sum(text in line for line in f)
        expect_equal(1, said("cannot be examined"), "the lost share in host 1's error log")
        lost = farm.mounts[0]
        file_servers.unmount(lost.point)
        farm.mounts[0] = farm.server.mount(lost.point, farm.options)
        expect(until(lambda: farm.accepts(host, survivor, "after-pw"), farm.args.bound)
               is not None, "host 1 never followed the changes once its share was back")
        expect_equal(1, said("can be examined again"), "the share's return in host 1's error log")


def kill_tree(pid):
    """SIGKILL to a process and all its descendants (a client's worker processes hold its
    connections to the file server, as the host's own would until it is gone)."""
    children = subprocess.run(["pgrep", "-P", str(pid)], capture_output=True,
                              text=True).stdout.split()
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    for child in children:
        kill_tree(int(child))


def run_farm(kind, args, work, build, run_user, checks):
    farm = Farm(kind, args, work, build, run_user)
    tests = FarmTests(farm, 3 if args.long else 1, 40 if args.long else 20)
    names = ["propagation", "quick_saves_change_the_version", "concurrent_storing_runs",
             "foreign_holders", "hung_share"]
    if args.long:
        names.append("busy_database")
    names += ["crash_mid_save", "host_lost_mid_save"]
    if args.only:
        names = [name for name in names if name in args.only.split(",")]
    try:
        start = time.monotonic()
        try:
            farm.start(tests.rekey_users)
        except Exception:
            checks.failed += 1
            print(f"FAIL {kind}: start\n{traceback.format_exc()}", flush=True)
            return farm.figures
        print(f"     {kind}: farm up in {time.monotonic() - start:.1f} s "
              f"(mount options {farm.options})", flush=True)
        for name in names:
            checks.run(f"{kind}: {name}", getattr(tests, name))
    finally:
        farm.stop()
    for host in farm.hosts:
        checks.run(f"{kind}: {host.name} no crash or sanitizer report", lambda: expect_equal(
            [], e2e.faults_in_log(host.server.error_log), host.server.error_log))
    if checks.failed:
        for host in farm.hosts:
            print(f"--- {kind} {host.name} error log ---\n{host.apache.log_tail(30)}", flush=True)
    return farm.figures


def print_figures(figures, args):
    print(f"\nFigures (target: a change in force on every other host within {TARGET_S} s)")
    for kind, f in figures.items():
        times = f["propagation"]
        if times:
            print(f"  {kind:9} propagation ({len(times)} changes): median {statistics.median(times):.2f} s,"
                  f" max {max(times):.2f} s; a look at the file {f.get('stat_us', 0):.0f} us  "
                  f"[mount options {f.get('options')}]")
        if f["stores_per_s"]:
            print(f"  {kind:9} storing runs: {f['runs']} over 3 hosts, "
                  f"{statistics.median(f['stores_per_s']):.1f} stores/s, {f['lost']} lost")
        for figure in ("crash", "host_lost"):
            if figure in f:
                print(f"  {kind:9} {figure}: {f[figure]}")
    print(flush=True)


def skip_or_fail(message):
    if os.environ.get("CI"):
        print(f"FAIL farm: {message}", flush=True)
        return 1
    print(f"SKIP farm: {message}", flush=True)
    return SKIPPED


def stop_on_terminate(signum, frame):
    # A run stopped from outside (a time limit) still stops its servers and unmounts.
    raise SystemExit(f"stopped by signal {signum}")


def main():
    signal.signal(signal.SIGTERM, stop_on_terminate)
    parser = argparse.ArgumentParser()
    for option in ("--module", "--filter", "--overseer", "--steward", "--rekey", "--gatekeeper",
                   "--work"):
        parser.add_argument(option, required=True)
    parser.add_argument("--preload", default="")
    parser.add_argument("--long", action="store_true", help="more rounds and runs")
    parser.add_argument("--file-systems", default="sshfs,smbnetfs")
    parser.add_argument("--sshfs-options", default=None, help="sshfs cache options")
    parser.add_argument("--smbnetfs-options", default=None, help="smbnetfs (FUSE) cache options")
    parser.add_argument("--bound", type=float, default=DEFAULT_BOUND_S,
                        help="seconds a change may take to be in force on the other hosts")
    parser.add_argument("--crash-users", type=int, default=None)
    parser.add_argument("--only", default="", help="run only these checks (comma-separated)")
    args = parser.parse_args()
    args.work = os.path.abspath(args.work)
    if args.crash_users is None:
        args.crash_users = 100000 if args.long else 30000
    if os.geteuid() != 0:
        return skip_or_fail("needs root (FUSE mounts for Apache's user, sshd, smbd)")
    run_user = conf.unprivileged_user()
    kinds = [k for k in args.file_systems.split(",") if k]
    for kind in kinds:
        try:
            file_servers.SERVERS[kind].check()
        except file_servers.Unavailable as error:
            return skip_or_fail(f"{kind}: {error}")
    checks = e2e.Checks()
    figures = {}
    with conf.work_directory(args.work, run_user) as work:
        file_servers.clean_leftovers(work)
        build = e2e.demo_build(os.path.join(work, "build"), args.module, args.filter, {
            demo.ADMIN_PROGRAMS["overseer"]: args.overseer,
            demo.SITE_PROGRAMS["steward"]: args.steward,
            demo.SITE_PROGRAMS["rekey"]: args.rekey})
        try:
            for kind in kinds:
                figures[kind] = run_farm(kind, args, work, build, run_user, checks)
        finally:
            file_servers.clean_leftovers(work)
    print_figures(figures, args)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(main())
