"""The relay between the stand-in tools under Wine and WireGuard's own tools.

Listens on 127.0.0.1 at a port of the system's choosing and answers only
requests that carry the run's token (the stand-in tools read both from their
state folder). A request is a sequence of netstrings: token, verb, arguments
(relay_wire.h); the reply is exit code, standard output, standard error.

    wg ARGS...          `wg ARGS...` in the client namespace
    up NAME CONFIG      `wg-quick up` of CONFIG saved as NAME.conf
    down NAME           `wg-quick down` of that file

Each request is recorded (records, and relay.jsonl in the run folder), with
what a check needs: for `wg show NAME` the exact counters of `wg show NAME
dump` just before and after it, and after up/down whether the interface
exists and its addresses.
"""

import hmac
import json
import os
import re
import secrets
import socketserver
import subprocess
import threading
import time

MAX_REQUEST = 1 << 20
NAME_RULE = re.compile(r"^[a-zA-Z0-9_=+.-]{1,32}$")
RESOLVCONF = """#!/bin/sh
# Records what wg-quick asks of resolvconf; the host's DNS is never touched.
{ echo "resolvconf $*"; [ "$1" = "-a" ] && cat; } >> "%s/dns.log"
exit 0
"""


def netstrings(fields):
    return b"".join(b"%d:%s," % (len(f), f) for f in fields)


def parse_netstrings(data, max_fields=64):
    fields, at = [], 0
    while at < len(data):
        colon = data.find(b":", at, at + 11)
        if colon <= at or not data[at:colon].isdigit() or len(fields) == max_fields:
            return None
        length = int(data[at:colon])
        end = colon + 1 + length
        if end >= len(data) or data[end:end + 1] != b",":
            return None
        fields.append(data[colon + 1:end])
        at = end + 1
    return fields


class Relay:
    def __init__(self, run_dir, namespace, say=print):
        self.run_dir = run_dir
        self.namespace = namespace
        self.say = say
        self.token = secrets.token_hex(24)
        self.records = []
        self.lock = threading.Lock()
        (run_dir / "conf").mkdir(mode=0o700)
        (run_dir / "bin").mkdir()
        stub = run_dir / "bin" / "resolvconf"
        stub.write_text(RESOLVCONF % run_dir)
        stub.chmod(0o755)
        self.env = dict(os.environ, PATH=f"{run_dir}/bin:/usr/local/sbin:/usr/local/bin:/usr/sbin:"
                                         "/usr/bin:/sbin:/bin")
        relay = self

        class Handler(socketserver.BaseRequestHandler):
            def handle(self):
                relay._serve(self.request)

        class Server(socketserver.ThreadingTCPServer):
            daemon_threads = True

        # Loopback only, a port of the system's choosing.
        self.server = Server(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def start(self):
        self.thread.start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()

    # -- one request -------------------------------------------------------

    def _serve(self, conn):
        conn.settimeout(10)
        data = b""
        try:
            while len(data) <= MAX_REQUEST:
                chunk = conn.recv(65536)
                if not chunk:
                    break
                data += chunk
        except OSError:
            return
        fields = parse_netstrings(data)
        if not fields or len(fields) < 2 or not hmac.compare_digest(fields[0], self.token.encode()):
            self.say("relay: refused a request without the run's token")
            return  # closed without an answer
        try:
            verb, args = fields[1].decode(), [f.decode() for f in fields[2:]]
        except UnicodeDecodeError:
            code, out, err = 1, b"", b"stand-in relay: arguments are not UTF-8\n"
        else:
            code, out, err = self._answer(verb, args)
        try:
            conn.sendall(netstrings([str(code).encode(), out, err]))
        except OSError:
            pass

    def _answer(self, verb, args):
        record = {"time": time.time(), "verb": verb, "args": args if verb != "up" else args[:1]}
        if verb == "wg":
            shown = args[1] if len(args) == 2 and args[0] == "show" and args[1] not in (
                "all", "interfaces") else None
            if shown:
                record["dump_before"] = self._counters(shown)
            code, out, err = self._run(["wg"] + args)
            if shown:
                record["dump_after"] = self._counters(shown)
        elif verb in ("up", "down") and len(args) == (2 if verb == "up" else 1) and \
                NAME_RULE.match(args[0]) and args[0] not in (".", ".."):
            path = self.run_dir / "conf" / (args[0] + ".conf")
            if verb == "up":
                # WireGuard for Windows reads CR LF files; wg-quick wants LF.
                fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
                with os.fdopen(fd, "w") as f:
                    f.write(args[1].replace("\r\n", "\n"))
            code, out, err = self._run(["wg-quick", verb, str(path)])
            if verb == "down" or code != 0:
                path.unlink(missing_ok=True)
            record["interface_after"] = self._interface(args[0])
        else:
            code, out, err = 1, b"", b"stand-in relay: unknown request\n"
        record.update(code=code, out=out.decode("utf-8", "replace"), err=err.decode("utf-8", "replace"))
        with self.lock:
            self.records.append(record)
            with open(self.run_dir / "relay.jsonl", "a", encoding="utf-8") as f:
                f.write(json.dumps(record) + "\n")
        self.say(f"relay: {verb} {' '.join(record['args'])} -> exit {code}")
        return code, out, err

    def _run(self, argv, timeout=60):
        try:
            done = subprocess.run(["ip", "netns", "exec", self.namespace] + argv, env=self.env,
                                  stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
            return done.returncode, done.stdout, done.stderr
        except subprocess.TimeoutExpired:
            return 1, b"", b"stand-in relay: %s did not finish within %d s\n" % (argv[0].encode(), timeout)

    def _counters(self, name):
        """Exact received and sent bytes of the interface's peers, or None."""
        code, out, _ = self._run(["wg", "show", name, "dump"])
        if code != 0:
            return None
        peers = [line.split("\t") for line in out.decode().splitlines()[1:]]
        return [sum(int(p[5]) for p in peers), sum(int(p[6]) for p in peers)]

    def _interface(self, name):
        """The interface's IPv4 addresses, or None when there is none."""
        code, out, _ = self._run(["ip", "-o", "-4", "addr", "show", "dev", name])
        if code != 0:
            return None
        return [line.split()[3] for line in out.decode().splitlines()]

    def dns_log(self):
        path = self.run_dir / "dns.log"
        return path.read_text() if path.exists() else ""
