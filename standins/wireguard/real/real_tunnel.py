#!/usr/bin/env python3
"""A real WireGuard tunnel for one run of the product under Wine.

Two network namespaces joined by a veth pair: the client side, where the
stand-in tools' relay runs WireGuard's own `wg` and `wg-quick` for wg.exe and
wireguard.exe, and the peer side, with a `wireguard-go` peer (fresh keys) and
a small HTTP server that the client downloads from through the tunnel, so the
counters move. Only documentation addresses are used, and only inside the
namespaces; nothing outside them changes.

Runs on one machine are serialised by a lock file: wireguard-go keeps its
control socket in /var/run/wireguard, which every namespace shares. A guard
process holding the same lock removes everything when its owner ends in any
way, a kill included; the next run also clears what a lost guard left.

    python3 real_tunnel.py check        prints why a real tunnel cannot be made, or nothing
    python3 real_tunnel.py cleanup      removes what a run left behind (none may be running)
"""

import json
import os
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from relay import Relay  # noqa: E402

CLIENT_NS, PEER_NS = "orva-rt-client", "orva-rt-peer"
CLIENT_VETH, PEER_VETH = "orva-rt-c", "orva-rt-p"
PEER_IF = "orva_peer"
RUN_DIR = Path("/run/orva-real-tunnel")
LOCK_FILE = Path("/run/lock/orva-real-tunnel.lock")
SOCKET_DIR = Path("/var/run/wireguard")
# Documentation ranges (RFC 5737): the veth link and the tunnel's inside.
PEER_UNDERLAY, CLIENT_UNDERLAY = "198.51.100.1", "198.51.100.2"
PEER_INSIDE = "192.0.2.1"
CLIENT_ADDRESSES = ("192.0.2.2/32", "192.0.2.7/32")  # the first connect, the rebuild
DNS = "192.0.2.53"
PORT, HTTP_PORT = 51820, 8080
BLOB_BYTES = 48 * 1024
TOOLS = ("ip", "wg", "wg-quick", "wireguard-go", "nft", "nsenter", "python3")


def run(argv, check=True, timeout=30, input=None):
    return subprocess.run(argv, input=input, stdin=None if input is not None else subprocess.DEVNULL,
                          capture_output=True, text=True, check=check, timeout=timeout)


def unavailable_reason():
    """Why this machine cannot make the tunnel, or None when it can."""
    if os.geteuid() != 0:
        return "not running as root (network namespaces need CAP_SYS_ADMIN and CAP_NET_ADMIN)"
    missing = [t for t in TOOLS if shutil.which(t) is None]
    if missing:
        return "missing " + ", ".join(missing) + " (scripts/setup.sh installs them)"
    try:
        os.close(os.open("/dev/net/tun", os.O_RDWR))
    except OSError as e:
        return f"/dev/net/tun cannot be opened ({e.strerror})"
    probe = "orva-rt-probe"
    made = run(["ip", "netns", "add", probe], check=False)
    if made.returncode != 0:
        return "cannot make a network namespace (" + (made.stderr.strip() or "ip netns add failed") + ")"
    run(["ip", "netns", "del", probe], check=False)
    return None


def _netns_list():
    return run(["ip", "netns", "list"], check=False).stdout.split()


def cleanup():
    """Removes every namespace, process, socket and file a run makes. Safe to
    call again and with nothing to remove."""
    for ns in (CLIENT_NS, PEER_NS):
        if ns not in _netns_list():
            continue
        pids = [int(p) for p in run(["ip", "netns", "pids", ns], check=False).stdout.split()]
        for sig in (signal.SIGTERM, signal.SIGKILL):
            for pid in pids:
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    pass
            deadline = time.monotonic() + 3
            while pids and time.monotonic() < deadline:
                pids = [p for p in pids if Path(f"/proc/{p}").exists() and _not_zombie(p)]
                time.sleep(0.05)
        # Deleting the namespace deletes its links: the veth pair and the tun devices.
        run(["ip", "netns", "del", ns], check=False)
    (SOCKET_DIR / "orva_divuv.sock").unlink(missing_ok=True)
    if (RUN_DIR / "made-socket-dir").exists():
        try:
            SOCKET_DIR.rmdir()
        except OSError:
            pass
    shutil.rmtree(RUN_DIR, ignore_errors=True)


def _not_zombie(pid):
    try:
        return Path(f"/proc/{pid}/stat").read_text().split(") ", 1)[1][0] != "Z"
    except (OSError, IndexError):
        return False


class RealTunnel:
    """Context manager: the namespaces, the peer, the traffic and the relay.

    prefix_relay_file: where the stand-in tools look for the relay ("PORT
    TOKEN"), removed again at the end."""

    def __init__(self, prefix_relay_file, say=print, lock_timeout=600):
        self.relay_file = Path(prefix_relay_file)
        self.say = say
        self.lock_timeout = lock_timeout
        self.lock_fd = None
        self.guard = None
        self.relay = None
        self.peer = None
        self.traffic = None
        self.server = None
        self.keys = {}

    # -- set-up ------------------------------------------------------------

    def __enter__(self):
        try:
            self._lock()
            cleanup()  # what a run killed together with its guard left
            RUN_DIR.mkdir(mode=0o700)
            self._start_guard()
            self._make_keys()
            self._make_namespaces()
            self._start_peer()
            self._start_server()
            self.relay = Relay(RUN_DIR, CLIENT_NS, self.say)
            self.relay.start()
            self.relay_file.parent.mkdir(parents=True, exist_ok=True)
            fd = os.open(self.relay_file, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
            with os.fdopen(fd, "w") as f:
                f.write(f"{self.relay.port} {self.relay.token}\n")
            self._start_traffic()
        except BaseException:
            self.__exit__(*sys.exc_info())
            raise
        return self

    def _lock(self):
        import fcntl
        LOCK_FILE.parent.mkdir(parents=True, exist_ok=True)
        self.lock_fd = os.open(LOCK_FILE, os.O_RDWR | os.O_CREAT, 0o600)
        deadline = time.monotonic() + self.lock_timeout
        while True:
            try:
                fcntl.flock(self.lock_fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
                return
            except BlockingIOError:
                if time.monotonic() > deadline:
                    raise RuntimeError(f"another real-tunnel run holds {LOCK_FILE}")
                time.sleep(0.2)

    def _start_guard(self):
        # Its own session, so a signal to our process group leaves it alone; it
        # shares our lock, so no other run starts before it has cleaned up.
        self.guard = subprocess.Popen([sys.executable, __file__, "guard", str(self.relay_file)],
                                      stdin=subprocess.PIPE,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                      pass_fds=(self.lock_fd,), start_new_session=True)

    def _make_keys(self):
        for side in ("client", "peer"):
            private = run(["wg", "genkey"]).stdout.strip()
            public = run(["wg", "pubkey"], input=private + "\n").stdout.strip()
            self.keys[side] = (private, public)

    def _make_namespaces(self):
        for ns in (CLIENT_NS, PEER_NS):
            run(["ip", "netns", "add", ns])
            run(["ip", "-n", ns, "link", "set", "lo", "up"])
        # Both ends are made inside their namespaces: the pair never exists on the host.
        run(["ip", "link", "add", CLIENT_VETH, "netns", CLIENT_NS, "type", "veth",
             "peer", "name", PEER_VETH, "netns", PEER_NS])
        for ns, dev, address in ((CLIENT_NS, CLIENT_VETH, CLIENT_UNDERLAY),
                                 (PEER_NS, PEER_VETH, PEER_UNDERLAY)):
            run(["ip", "-n", ns, "addr", "add", address + "/24", "dev", dev])
            run(["ip", "-n", ns, "link", "set", dev, "up"])

    def _peer_wg(self, *args, check=True):
        return run(["nsenter", "-t", str(self.peer.pid), "-m", "-n", "wg"] + list(args), check=check)

    def _start_peer(self):
        if not SOCKET_DIR.exists():
            SOCKET_DIR.mkdir(parents=True)
            (RUN_DIR / "made-socket-dir").touch()
        # `ip netns exec` gives the peer a mount namespace of its own, where its
        # control socket folder is a private tmpfs: the client's `wg show all`
        # never sees the peer.
        self.peer = subprocess.Popen(
            ["ip", "netns", "exec", PEER_NS, "sh", "-c",
             f"mount -t tmpfs orva-rt {SOCKET_DIR} && exec wireguard-go -f {PEER_IF}"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while self._peer_wg("show", PEER_IF, check=False).returncode != 0:
            if self.peer.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("wireguard-go peer did not start")
            time.sleep(0.05)
        key_file = RUN_DIR / "peer.key"
        fd = os.open(key_file, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
        with os.fdopen(fd, "w") as f:
            f.write(self.keys["peer"][0] + "\n")
        self._peer_wg("set", PEER_IF, "listen-port", str(PORT), "private-key", str(key_file),
                      "peer", self.keys["client"][1], "allowed-ips", "192.0.2.0/24")
        key_file.unlink()
        run(["ip", "-n", PEER_NS, "addr", "add", PEER_INSIDE + "/24", "dev", PEER_IF])
        run(["ip", "-n", PEER_NS, "link", "set", PEER_IF, "up"])

    def _start_server(self):
        www = RUN_DIR / "www"
        www.mkdir()
        (www / "blob").write_bytes(os.urandom(BLOB_BYTES))
        self.server = subprocess.Popen(
            ["ip", "netns", "exec", PEER_NS, sys.executable, "-m", "http.server", str(HTTP_PORT),
             "--bind", PEER_INSIDE, "--directory", str(www)],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _start_traffic(self):
        # Downloads through the tunnel while it is up (refused at once while it
        # is down); bounded in count and time, and ended by closing its input.
        loop = (
            "import sys, threading, time, urllib.request\n"
            "stop = threading.Event()\n"
            "threading.Thread(target=lambda: (sys.stdin.read(), stop.set()), daemon=True).start()\n"
            "end = time.monotonic() + 900\n"
            "for _ in range(3000):\n"
            "    if stop.is_set() or time.monotonic() > end: break\n"
            "    try: urllib.request.urlopen(sys.argv[1], timeout=2).read()\n"
            "    except OSError: pass\n"
            "    stop.wait(0.3)\n")
        self.traffic = subprocess.Popen(
            ["ip", "netns", "exec", CLIENT_NS, sys.executable, "-c", loop,
             f"http://{PEER_INSIDE}:{HTTP_PORT}/blob"],
            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    # -- what a session uses -------------------------------------------------

    def client_config(self, address):
        return (f"[Interface]\nPrivateKey = {self.keys['client'][0]}\nAddress = {address}\n"
                f"DNS = {DNS}\n\n[Peer]\nPublicKey = {self.keys['peer'][1]}\n"
                f"Endpoint = {PEER_UNDERLAY}:{PORT}\nAllowedIPs = 0.0.0.0/0, ::/0\n"
                f"PersistentKeepalive = 25\n")

    def session_values(self):
        """Values for a session template: the configurations, as JSON strings."""
        good = self.client_config(CLIENT_ADDRESSES[0])
        bad_key = "A" * 20 + "!not-base64!"
        return {
            "CONFIG": json.dumps(good),
            "CONFIG_REBUILT": json.dumps(self.client_config(CLIENT_ADDRESSES[1])),
            "CONFIG_BAD_KEY": json.dumps(good.replace(self.keys["client"][0], bad_key)),
        }

    def peer_show(self):
        return self._peer_wg("show", PEER_IF, check=False).stdout

    def peer_dump(self):
        """The peer's view of the client: (latest handshake, rx, tx), or None."""
        for line in self._peer_wg("show", PEER_IF, "dump", check=False).stdout.splitlines():
            fields = line.split("\t")
            if len(fields) == 8 and fields[0] == self.keys["client"][1]:
                return int(fields[4]), int(fields[5]), int(fields[6])
        return None

    def client_state(self):
        """What is left in the client namespace: links and wireguard-go processes."""
        links = run(["ip", "-n", CLIENT_NS, "-o", "link", "show"], check=False).stdout
        names = [line.split(":")[1].strip().split("@")[0] for line in links.splitlines() if ":" in line]
        pids = run(["ip", "netns", "pids", CLIENT_NS], check=False).stdout.split()
        comms = [Path(f"/proc/{p}/comm").read_text().strip() for p in pids
                 if Path(f"/proc/{p}/comm").exists()]
        return names, [c for c in comms if c.startswith("wireguard")]

    # -- tear-down -----------------------------------------------------------

    def __exit__(self, *exc):
        self.relay_file.unlink(missing_ok=True)
        if self.traffic:
            try:
                self.traffic.stdin.close()
                self.traffic.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired):
                self.traffic.kill()
        if self.relay:
            self.relay.stop()
        if self.lock_fd is not None:
            cleanup()
            for child in (self.peer, self.server):
                if child:
                    try:
                        child.wait(timeout=5)
                    except subprocess.TimeoutExpired:
                        child.kill()
        if self.guard:
            self.guard.stdin.close()  # it cleans again (nothing left) and ends
            try:
                self.guard.wait(timeout=30)
            except subprocess.TimeoutExpired:
                pass
        if self.lock_fd is not None:
            os.close(self.lock_fd)
            self.lock_fd = None
        return False


def _guard(relay_file):
    """Waits for its owner's end (our standard input closes), then cleans up."""
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, signal.SIG_IGN)
    sys.stdin.buffer.read()
    Path(relay_file).unlink(missing_ok=True)
    cleanup()


def main(argv):
    if len(argv) == 3 and argv[1] == "guard":
        _guard(argv[2])
        return 0
    if argv[1:] == ["check"]:
        reason = unavailable_reason()
        if reason:
            print(reason)
        return 0
    if argv[1:] == ["cleanup"]:
        import fcntl
        LOCK_FILE.parent.mkdir(parents=True, exist_ok=True)
        with open(LOCK_FILE, "a") as lock:
            try:
                fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            except BlockingIOError:
                print(f"a real-tunnel run is in progress ({LOCK_FILE} is held); nothing removed")
                return 1
            cleanup()
        return 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
