"""The file servers of the farm test and the hosts' client mounts of their share.

Two kinds, each a real server and a real client:
- SSH: a private sshd on a free loopback port, its SFTP subsystem exporting a directory; each
  host mounts it with sshfs.
- SMB: a private smbd exporting a directory as [share]; each host mounts the network with
  smbnetfs, the share then at <mount>/<server>/share. Port 445 is the only one the client
  reaches, so the server runs in a network namespace of its own (its loopback only) and the
  smbnetfs processes join it; the mounts stay in this machine's mount namespace, where Apache
  and the programs see them.

Every process here is a child of the test: started in the foreground, dying with it
(PR_SET_PDEATHSIG) and stopped by its pid; every mount is unmounted by stop(), also on failure.
"""

import ctypes
import os
import shutil
import signal
import socket
import subprocess
import time

_PR_SET_PDEATHSIG = 1
SSHD = "/usr/sbin/sshd"
SMBD = "/usr/sbin/smbd"
LOOPBACK = "127.0.0.1"
# Prefix of the network namespaces made here (the test's pid follows).
NAMESPACE_PREFIX = "kgfarm-"


class Unavailable(RuntimeError):
    """What this machine lacks to run a file server or its client."""


def _dying_with_parent():
    ctypes.CDLL(None, use_errno=True).prctl(_PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


def _free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind((LOOPBACK, 0))
        return s.getsockname()[1]


def _accepts(port, timeout=0.5):
    try:
        with socket.create_connection((LOOPBACK, port), timeout=timeout):
            return True
    except OSError:
        return False


def _wait(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() >= deadline:
            raise RuntimeError(f"{what} within {timeout} s")
        time.sleep(0.05)


def _stop(process, timeout=10):
    if process is None or process.poll() is not None:
        return
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def mounted(path):
    """Whether something is mounted at path (as /proc/mounts lists it)."""
    path = os.path.abspath(path)
    with open("/proc/mounts", encoding="utf-8") as f:
        return any(line.split()[1] == path for line in f)


def mounts_below(directory):
    """The mount points at or below directory, deepest first."""
    directory = os.path.abspath(directory)
    found = []
    with open("/proc/mounts", encoding="utf-8") as f:
        for line in f:
            point = line.split()[1].replace("\\040", " ")
            if point == directory or point.startswith(directory + "/"):
                found.append(point)
    return sorted(found, key=len, reverse=True)


def unmount(point):
    """Unmounts a FUSE mount; lazily when it is busy or its daemon is gone."""
    for command in (["fusermount3", "-u", point], ["fusermount3", "-uz", point],
                    ["umount", "-l", point]):
        if not mounted(point):
            return
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def clean_leftovers(work):
    """What an earlier run killed before its cleanup left: mounts below work, and this test's
    network namespaces whose process is gone."""
    for point in mounts_below(work):
        unmount(point)
    try:
        names = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
    except OSError:
        return
    for line in names.splitlines():
        name = line.split()[0] if line.split() else ""
        if not name.startswith(NAMESPACE_PREFIX):
            continue
        owner = name[len(NAMESPACE_PREFIX):]
        if owner.isdigit() and os.path.exists(f"/proc/{owner}"):
            continue
        subprocess.run(["ip", "netns", "del", name], stderr=subprocess.DEVNULL)


class Mount:
    """One host's client mount of the share: its own FUSE process, cache and locks."""

    def __init__(self, point, share, process, options):
        self.point = point          # the mount point
        self.share = share          # the exported directory as this host sees it
        self.process = process
        self.options = options

    def stop(self):
        unmount(self.point)
        _stop(self.process)


class FileServer:
    """The common part: an exported directory, the server process, the hosts' mounts."""

    kind = ""

    def __init__(self, work):
        self.work = work
        self.export = os.path.join(work, "export")
        self.server = None
        self.mounts = []
        os.makedirs(self.export, exist_ok=True)
        os.chmod(self.export, 0o755)

    def stop(self):
        for mount in reversed(self.mounts):
            mount.stop()
        self.mounts = []
        _stop(self.server)
        self.server = None

    def _mount(self, point, command, share, options, env=None):
        os.makedirs(point, exist_ok=True)
        log = open(os.path.join(self.work, os.path.basename(point) + ".log"), "ab")
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                   env=env, preexec_fn=_dying_with_parent)
        log.close()
        mount = Mount(point, share, process, options)
        self.mounts.append(mount)
        try:
            _wait(lambda: process.poll() is not None or os.path.isdir(share) and mounted(point),
                  30, f"{self.kind} mount of {point}")
        except RuntimeError:
            mount.stop()
            raise
        if process.poll() is not None:
            raise RuntimeError(f"{command[0]} exited with {process.returncode}: "
                               f"{self.log_tail(os.path.basename(point) + '.log')}")
        return mount

    def log_tail(self, name, lines=20):
        try:
            with open(os.path.join(self.work, name), encoding="utf-8", errors="replace") as f:
                return "".join(f.readlines()[-lines:])
        except OSError:
            return ""


class SshServer(FileServer):
    """sshd with its internal SFTP server, mounted with sshfs."""

    kind = "sshfs"
    # The last-write times the client shows: SFTP (version 3) carries whole seconds.
    TIME_RESOLUTION_NS = 10**9
    # The client cache options: names and attributes cached 1 s by the kernel only. sshfs's own
    # cache (dir_cache) keeps them 20 s more by default, 1 s more with cache_timeout=1: a change
    # is then seen within 21 s or 2 s instead of 1 s, and a look costs the same (the kernel
    # answers it, 3 us).
    CACHE_OPTIONS = "dir_cache=no,attr_timeout=1,entry_timeout=1"

    @staticmethod
    def check():
        for program in (SSHD, "sshfs", "ssh-keygen", "fusermount3"):
            if shutil.which(program) is None:
                raise Unavailable(f"{program} is not installed (scripts/deps test)")
        if not os.path.exists("/dev/fuse"):
            raise Unavailable("no /dev/fuse")

    def start(self):
        self.check()
        self.port = _free_port()
        self.host_key = os.path.join(self.work, "host_key")
        self.client_key = os.path.join(self.work, "client_key")
        for key in (self.host_key, self.client_key):
            if not os.path.exists(key):
                subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", key],
                               check=True)
        config = os.path.join(self.work, "sshd_config")
        with open(config, "w", encoding="utf-8") as f:
            f.write(f"""Port {self.port}
ListenAddress {LOOPBACK}
HostKey {self.host_key}
AuthorizedKeysFile {self.client_key}.pub
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
StrictModes no
UsePAM no
Subsystem sftp internal-sftp
PidFile {os.path.join(self.work, 'sshd.pid')}
""")
        os.makedirs("/run/sshd", exist_ok=True)  # sshd's privilege separation directory
        log = os.path.join(self.work, "sshd.log")
        # -D: in the foreground, a child of this process.
        self.server = subprocess.Popen([SSHD, "-D", "-f", config, "-E", log],
                                       stdin=subprocess.DEVNULL, preexec_fn=_dying_with_parent)
        _wait(lambda: self.server.poll() is not None or _accepts(self.port), 20, "sshd listening")
        if self.server.poll() is not None:
            raise RuntimeError(f"sshd exited with {self.server.returncode}: {self.log_tail('sshd.log')}")

    def mount(self, point, options=None):
        options = self.CACHE_OPTIONS if options is None else options
        # allow_other: Apache's children and CGI programs run as Apache's user. Every file on
        # the share is root's on the server; with no default_permissions the kernel leaves the
        # checks to the server, which lets that user read and write.
        all_options = ",".join(filter(None, [
            f"IdentityFile={self.client_key}", "StrictHostKeyChecking=no",
            "UserKnownHostsFile=/dev/null", "LogLevel=ERROR", "allow_other", options]))
        command = ["sshfs", "-f", "-p", str(self.port), "-o", all_options,
                   f"root@{LOOPBACK}:{self.export}", point]
        return self._mount(point, command, point, options)


class SambaServer(FileServer):
    """smbd exporting [share] in a network namespace of its own, mounted with smbnetfs."""

    kind = "smbnetfs"
    # SMB carries times in 100 ns.
    TIME_RESOLUTION_NS = 100
    # FUSE's name and attribute caches of each mount (smbnetfs keeps no attribute cache of its
    # own): a change is seen within 1 s, and a look costs 3 us (with none: 1.2 ms).
    CACHE_OPTIONS = "attr_timeout=1,entry_timeout=1"
    PASSWORD = "farm-share-pw"

    @staticmethod
    def check():
        for program in (SMBD, "smbpasswd", "smbnetfs", "ip", "nsenter", "fusermount3"):
            if shutil.which(program) is None:
                raise Unavailable(f"{program} is not installed (scripts/deps test)")
        if not os.path.exists("/dev/fuse"):
            raise Unavailable("no /dev/fuse")
        if os.geteuid() != 0:
            raise Unavailable("a network namespace for smbd needs root")

    def start(self):
        self.check()
        self.namespace = f"{NAMESPACE_PREFIX}{os.getpid()}"
        made = subprocess.run(["ip", "netns", "add", self.namespace], capture_output=True,
                              text=True)
        if made.returncode != 0:
            raise Unavailable(f"cannot make a network namespace: {made.stderr.strip()}")
        self.namespace_made = True
        subprocess.run(["ip", "-n", self.namespace, "link", "set", "lo", "up"], check=True)
        state = os.path.join(self.work, "samba")
        for name in ("private", "lock", "state", "cache", "pid", "log"):
            os.makedirs(os.path.join(state, name), exist_ok=True)
        self.config = os.path.join(state, "smb.conf")
        with open(self.config, "w", encoding="utf-8") as f:
            f.write(f"""[global]
interfaces = {LOOPBACK}
bind interfaces only = yes
smb ports = 445
private dir = {state}/private
lock directory = {state}/lock
state directory = {state}/state
cache directory = {state}/cache
pid directory = {state}/pid
ncalrpc dir = {state}/ncalrpc
log file = {state}/log/smbd.log
disable netbios = yes
load printers = no
printing = bsd
printcap name = /dev/null
disable spoolss = yes
server role = standalone server
[share]
path = {self.export}
read only = no
force user = root
""")
        subprocess.run(["smbpasswd", "-c", self.config, "-s", "-a", "root"],
                       input=f"{self.PASSWORD}\n{self.PASSWORD}\n", text=True, check=True,
                       stdout=subprocess.DEVNULL)
        log = open(os.path.join(state, "log", "console.log"), "ab")
        # -F: in the foreground, a child of this process, in the namespace (its own port 445).
        # smbd makes a session of its own, which it signals as a whole when it stops.
        self.server = subprocess.Popen(
            ["nsenter", f"--net=/run/netns/{self.namespace}", SMBD, "-F", "-s", self.config],
            stdin=subprocess.DEVNULL, stdout=log, stderr=log,
            preexec_fn=_dying_with_parent)
        log.close()
        _wait(lambda: self.server.poll() is not None or self._listening(), 30, "smbd listening")
        if self.server.poll() is not None:
            raise RuntimeError(f"smbd exited with {self.server.returncode}: "
                               f"{self.log_tail('samba/log/console.log')}")

    def _listening(self):
        out = subprocess.run(["ip", "netns", "exec", self.namespace, "ss", "-Hltn",
                              "sport = :445"], capture_output=True, text=True).stdout
        return "LISTEN" in out

    def mount(self, point, options=None):
        options = self.CACHE_OPTIONS if options is None else options
        home = point + ".home"
        os.makedirs(os.path.join(home, ".smb"), exist_ok=True)
        conf = os.path.join(home, ".smb", "smbnetfs.conf")
        with open(os.open(conf, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "w") as f:
            f.write(f'auth "root" "{self.PASSWORD}"\nsmb_query_browsers false\n')
        os.chmod(conf, 0o600)
        with open(os.path.join(home, ".smb", "smb.conf"), "w", encoding="utf-8") as f:
            f.write("[global]\nclient min protocol = SMB2\n")
        all_options = ",".join(filter(None, [f"config={conf}", "allow_other", options]))
        command = ["nsenter", f"--net=/run/netns/{self.namespace}", "smbnetfs", point, "-f",
                   "-o", all_options]
        env = dict(os.environ, HOME=home)
        return self._mount(point, command, os.path.join(point, LOOPBACK, "share"), options,
                           env=env)

    def stop(self):
        super().stop()
        if getattr(self, "namespace_made", False):
            subprocess.run(["ip", "netns", "del", self.namespace], stderr=subprocess.DEVNULL)
            self.namespace_made = False


SERVERS = {SshServer.kind: SshServer, SambaServer.kind: SambaServer}
