"""A temporary hall with its controller serving the web panel, for the panel's tests."""
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

ALL_OFF = ("".join(f"la{n}=1&" for n in range(1, 109)) + "\r\n").encode()
SCENE_3 = {1, 108}  # the lamps scene 3 lights


def state_line(lit):
    return ("".join(f"la{n}={3 if n in lit else 1}&" for n in range(1, 109)) + "\r\n").encode()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def controller_binary():
    for i, arg in enumerate(sys.argv):
        if arg == "--sterownik" and i + 1 < len(sys.argv):
            path = sys.argv.pop(i + 1)
            sys.argv.pop(i)
            return path
    return os.environ["STEROWNIK"]


class Hall:
    """The hall's files, an account jan with the password abc, scene 3 lighting lamps 1 and 108."""

    def __init__(self, binary, conf=""):
        self.binary = os.path.abspath(binary)
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        self.work = os.path.join(self.root, "konfigurator")
        os.mkdir(self.work)
        self.port = free_port()
        self.origin = f"http://127.0.0.1:{self.port}"
        self.write_state(ALL_OFF)
        self.put("sterownik.conf", f"nazwa test\nbroker brak\npanel 127.0.0.1:{self.port}\n{conf}".encode())
        for k in range(1, 9):
            lit = SCENE_3 if k == 3 else set()
            self.put(f"vuzo{k}.txt", ("a" + "".join("1" if n in lit else "0" for n in range(1, 109)) + "\r\n").encode())
        self.put("jan", b"beh\r\n")
        self.process = None
        self.log_path = os.path.join(self.root, "sterownik.log")

    def put(self, name, data):
        with open(os.path.join(self.work, name), "wb") as f:
            f.write(data)

    def state_file(self):
        return os.path.join(self.root, "actual.txt")

    def write_state(self, data):
        """As another program does it: whole, by a rename."""
        temporary = self.state_file() + ".tmp"
        with open(temporary, "wb") as f:
            f.write(data)
        os.replace(temporary, self.state_file())

    def read_state(self):
        with open(self.state_file(), "rb") as f:
            return f.read()

    def log(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def start(self):
        with open(self.log_path, "ab") as log:
            self.process = subprocess.Popen([self.binary], cwd=self.work, stdout=log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return
            except OSError:
                if self.process.poll() is not None:
                    raise RuntimeError("sterownik ended: " + self.log())
                time.sleep(0.05)
        raise RuntimeError("the panel does not listen: " + self.log())

    def stop(self, sig=signal.SIGTERM):
        if self.process and self.process.poll() is None:
            self.process.send_signal(sig)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None

    def wait_for(self, condition, seconds=5, what="condition"):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if condition():
                return
            time.sleep(0.02)
        raise AssertionError(f"no {what} within {seconds} s; log:\n{self.log()}")

    def close(self):
        self.stop()
        self.dir.cleanup()
