"""Starting and stopping an Apache httpd that runs one configuration of apache_config.

Apache runs in the foreground as a child of the calling process, which stops it by its pid;
if the caller dies first, the kernel sends Apache SIGTERM (PR_SET_PDEATHSIG), so no server
outlives the test or the demo that started it. Apache gets a process group of its own: when it
shuts down, the prefork MPM signals its whole group.
"""

import ctypes
import os
import signal
import socket
import subprocess
import time

APACHE = "/usr/sbin/apache2"
_PR_SET_PDEATHSIG = 1


def free_port():
    """A TCP port on the loopback address that nothing listens on right now."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _own_group_dying_with_parent():
    os.setpgid(0, 0)
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


def _accepts(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


class StartError(RuntimeError):
    pass


def tail_of(paths, lines):
    """The last lines of each file of paths that can be read, one after the other: what a
    server said before it failed."""
    texts = []
    for path in paths:
        try:
            with open(path, encoding="utf-8", errors="replace") as f:
                texts += f.read().splitlines()[-lines:]
        except OSError:
            pass
    return "\n".join(texts)


class ApacheProcess:
    """One Apache instance. Use as a context manager, or call start() and stop()."""

    def __init__(self, server, env=None, preload=None):
        self.server = server
        self.env = dict(os.environ if env is None else env)
        if preload:
            self.env["LD_PRELOAD"] = preload
        self.process = None

    def start(self, timeout=20, wait_ready=True):
        """Starts Apache and waits until every site accepts connections. Raises StartError
        (with the end of the error log) when Apache exits or does not come up in time."""
        ports = [site.port for site in self.server.sites]
        console = open(os.path.join(self.server.root, "console.log"), "ab")
        self.process = subprocess.Popen(
            [APACHE, "-f", self.server.config_path, "-DFOREGROUND"],
            stdin=subprocess.DEVNULL, stdout=console, stderr=subprocess.STDOUT, env=self.env,
            preexec_fn=_own_group_dying_with_parent)
        console.close()
        if not wait_ready:
            return
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise StartError(f"apache2 exited with {self.process.returncode}:\n{self.log_tail()}")
            if all(_accepts(port) for port in ports):
                return
            time.sleep(0.1)
        self.stop()
        raise StartError(f"apache2 did not listen within {timeout} s:\n{self.log_tail()}")

    def wait_exit(self, timeout):
        """Waits for Apache to exit by itself; returns its exit code, or None when it still runs."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self, timeout=15):
        """Stops Apache as `apache2 -k graceful-stop` does (SIGWINCH to its pid): each child
        finishes the requests it serves and closes its own connections. An immediate stop
        (SIGTERM) has the event MPM's main thread close the connections of its worker threads
        while they may be closing them too, and a child can crash on the way out. SIGTERM
        follows when the graceful stop takes longer than timeout, SIGKILL after as long again;
        waits for Apache to exit."""
        if self.process is None or self.process.poll() is not None:
            return
        for stop_signal in (signal.SIGWINCH, signal.SIGTERM):
            self.process.send_signal(stop_signal)
            try:
                self.process.wait(timeout)
                return
            except subprocess.TimeoutExpired:
                pass
        self.process.kill()
        self.process.wait()

    def log_tail(self, lines=40):
        return tail_of([self.server.error_log, os.path.join(self.server.root, "console.log")],
                       lines)

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()
        return False
