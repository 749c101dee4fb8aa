"""Starting, reloading and stopping an nginx that runs one configuration of nginx_config, with
the fcgiwrap that runs its CGI programs.

nginx runs in the foreground (daemon off, with its master process) as a child of the calling
process, which stops it by its pid; if the caller dies first, the kernel sends it SIGTERM
(PR_SET_PDEATHSIG), so no server outlives the test or the demo that started it. fcgiwrap runs
the same way, as the workers' user, in a process group of its own that is stopped whole.
"""

import ctypes
import os
import pwd
import signal
import socket
import subprocess
import time

from apache_process import StartError, tail_of  # noqa: F401  (one error for either server)

NGINX = "/usr/sbin/nginx"
FCGIWRAP = "/usr/sbin/fcgiwrap"
_PR_SET_PDEATHSIG = 1


class ReloadError(RuntimeError):
    pass


def command(server):
    """nginx on server's configuration and prefix, its early messages in its own error log."""
    return [NGINX, "-p", server.root.rstrip("/") + "/", "-c", server.config_path,
            "-e", server.error_log]


def test_config(server, env=None):
    """nginx -t on server's configuration: (exit code, nginx's words)."""
    result = subprocess.run(command(server) + ["-t"], capture_output=True, text=True, env=env,
                            timeout=60)
    return result.returncode, result.stdout + result.stderr


def _dying_with_parent():
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


def _own_group_dying_with_parent():
    os.setpgid(0, 0)
    _dying_with_parent()


def _accepts(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


def _accepts_unix(path):
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
        try:
            s.connect(path)
            return True
        except OSError:
            return False


def children(pid):
    """The pids of the processes whose parent is pid."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", encoding="latin-1") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[1]) == pid and fields[0] != "Z":
            found.append(int(entry))
    return sorted(found)


class Fcgiwrap:
    """fcgiwrap on a Unix socket, running the programs as run_user (or as the caller) with its
    own environment env and the variables nginx sends. One process, which runs one program at a
    time (the others wait in the socket's queue): the processes that fcgiwrap -c forks would
    outlive it when it dies with its parent."""

    def __init__(self, socket_path, run_user=None, log_path=None, env=None):
        self.socket_path = socket_path
        self.run_user = run_user
        self.log_path = log_path or socket_path + ".log"
        self.env = dict(env or {"PATH": "/usr/bin:/bin"})
        self.process = None

    def _become_run_user(self):
        _own_group_dying_with_parent()
        if self.run_user is not None:
            account = pwd.getpwnam(self.run_user)
            os.setgroups([])
            os.setgid(account.pw_gid)
            os.setuid(account.pw_uid)
            _dying_with_parent()  # reset by the change of user

    def start(self, timeout=20):
        if os.path.lexists(self.socket_path):
            os.remove(self.socket_path)
        log = open(self.log_path, "ab")
        self.process = subprocess.Popen(
            [FCGIWRAP, "-f", "-s", "unix:" + self.socket_path],
            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
            env=self.env, preexec_fn=self._become_run_user)
        log.close()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise StartError(f"fcgiwrap exited with {self.process.returncode}:\n"
                                 + tail_of([self.log_path], 20))
            if _accepts_unix(self.socket_path):
                return
            time.sleep(0.05)
        self.stop()
        raise StartError(f"fcgiwrap did not listen on {self.socket_path} within {timeout} s")

    def stop(self, timeout=15):
        if self.process is None or self.process.poll() is not None:
            return
        try:
            os.killpg(self.process.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()


class NginxProcess:
    """One nginx instance and its fcgiwrap. Use as a context manager, or call start() and
    stop()."""

    def __init__(self, server, env=None, preload=None):
        self.server = server
        self.env = dict(os.environ if env is None else env)
        if preload:
            self.env["LD_PRELOAD"] = preload
        self.process = None
        self.fcgiwrap = Fcgiwrap(server.fcgiwrap_socket, server.run_user,
                                 os.path.join(server.root, "fcgiwrap.log"),
                                 server.fcgiwrap_environment())

    def start(self, timeout=20):
        """Starts fcgiwrap and nginx and waits until every site accepts connections and every
        worker runs. Raises StartError (with the end of the error log) when nginx exits or does
        not come up in time."""
        self.fcgiwrap.start(timeout)
        console = open(os.path.join(self.server.root, "console.log"), "ab")
        self.process = subprocess.Popen(
            command(self.server), stdin=subprocess.DEVNULL, stdout=console,
            stderr=subprocess.STDOUT, env=self.env, preexec_fn=_own_group_dying_with_parent)
        console.close()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                self.fcgiwrap.stop()
                raise StartError(f"nginx exited with {self.process.returncode}:\n{self.log_tail()}")
            if len(self.workers()) == self.server.workers and \
                    all(_accepts(site.port) for site in self.server.sites):
                return
            time.sleep(0.05)
        self.stop()
        raise StartError(f"nginx did not serve within {timeout} s:\n{self.log_tail()}")

    def workers(self):
        """The pids of nginx's worker processes."""
        if self.process is None or self.process.poll() is not None:
            return []
        return children(self.process.pid)

    def reload(self, timeout=30):
        """Has nginx read its configuration again (nginx -s reload) and waits until only
        workers started with it serve. Raises ReloadError with nginx's words when the
        configuration is refused: the running workers then go on serving."""
        before = set(self.workers())
        result = subprocess.run(command(self.server) + ["-s", "reload"], capture_output=True,
                                text=True, env=self.env, timeout=60)
        if result.returncode != 0:
            raise ReloadError(result.stdout + result.stderr)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise ReloadError(f"nginx exited with {self.process.returncode}:\n"
                                  f"{self.log_tail()}")
            now = set(self.workers())
            if len(now) == self.server.workers and not now & before and \
                    all(_accepts(site.port) for site in self.server.sites):
                return
            time.sleep(0.05)
        raise ReloadError(f"the old workers still serve after {timeout} s:\n{self.log_tail()}")

    def wait_exit(self, timeout):
        """Waits for nginx to exit by itself; returns its exit code, or None when it still runs."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self, timeout=15):
        """Stops nginx (SIGTERM to its master, SIGKILL to its group after timeout) and
        fcgiwrap."""
        try:
            if self.process is not None and self.process.poll() is None:
                self.process.send_signal(signal.SIGTERM)
                try:
                    self.process.wait(timeout)
                except subprocess.TimeoutExpired:
                    os.killpg(self.process.pid, signal.SIGKILL)
                    self.process.wait()
        finally:
            self.fcgiwrap.stop()

    def log_tail(self, lines=40):
        return tail_of([self.server.error_log, os.path.join(self.server.root, "console.log"),
                        self.fcgiwrap.log_path], lines)

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()
        return False
