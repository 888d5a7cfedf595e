#!/usr/bin/env python3
"""Runs the ORVA VPN bundle under Wine with a scripted UI session and checks it.

The stand-in engine plays the session file and writes one transcript line per
reply; a debug-output listener collects the plugin's log lines. Expectations
are comment lines of the session file, which the engine skips:
  #> JSON          partial match of the reply to the call above ("<any>",
                   "<int>", "<pos-int>", "<str>", "<nonempty-str>" and
                   {"<map-of>": PATTERN} match by kind)
  #poll> JSON      partial match of every reply to an @poll call of its "method"
  #log> LINE       a debug-output line that must appear; #nolog> one that must not
  #file> PATH JSON-STRING   a file's bytes at the end; #nofile> PATH  no file there
  #plant-link> PATH TARGET  before the start, a link at PATH to a folder TARGET
                   holding one file of a user's; at the end TARGET holds just that
  #closed-folder> PATH      at the end a real folder that others cannot enter
  #max-seconds> N  the call above answers within N s of when it could start
  #no-reply>       the window closes during the call above; the program must end
Every session also checks that the calls, @poll's included, were answered
once each in the order sent (the transcript's "n").
With --real-tunnel the stand-in tools hand each run to WireGuard's own tools
in a network namespace with a real peer (standins/wireguard/real), the
session file is a template whose {{CONFIG}}, {{CONFIG_REBUILT}} and
{{CONFIG_BAD_KEY}} become configurations for that peer, and the summary holds
the checks against the real tunnel. Exit status 0 only when the program ended
by itself with exit code 0 and every expectation held; 77 when the machine
cannot make the real tunnel (the reason is printed).
"""

import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "standins" / "wireguard" / "real"))
import real_tunnel  # noqa: E402

WINEPATH_DRIVE = "Z:"
SKIPPED = 77  # ctest's SKIP_RETURN_CODE


def windows_path(path):
    """Wine maps Z: to the Unix root."""
    return WINEPATH_DRIVE + str(Path(path).resolve()).replace("/", "\\")


def prefix_path(prefix, windows):
    """Unix path of a C:\\ path inside a Wine prefix."""
    assert windows[1:3] == ":\\", windows
    drive = windows[0].lower()
    rest = windows[3:].replace("\\", "/")
    return Path(prefix) / "drive_c" / rest if drive == "c" else Path("/") / rest


# --------------------------------------------------------------------------
# The session file and its expectations.

class Step:
    def __init__(self, number, line):
        self.number = number
        self.line = line
        self.method = line.split(" ", 1)[0]
        self.expect = []   # partial matches of the reply
        self.reply = None  # transcript object
        self.arrived = None  # seconds since start
        self.started = None
        self.sleep_before = 0.0  # seconds of @sleep between the previous call and this one
        self.max_seconds = None  # bound on the call's duration, when given
        # The window closes while this call runs: no reply, and the program
        # must end within max_seconds of the call's start.
        self.no_reply = False


def parse_session(path):
    steps, logs, nologs, files, nofiles, polls = [], [], [], [], [], []
    folders = {"#plant-link": [], "#closed-folder": []}
    pending_sleep = 0.0

    def last(tag):
        if not steps:
            raise SystemExit(f"{path}: '{tag}' before any call")
        return steps[-1]

    for raw in Path(path).read_text(encoding="utf-8").splitlines():
        line = raw.rstrip("\r")
        tag, _, rest = line.partition(">")
        if tag == "#max-seconds":
            last(tag).max_seconds = float(rest)
        elif tag == "#no-reply":
            last(tag).no_reply = True
        elif tag == "#":
            last(tag).expect.append(json.loads(rest))
        elif tag == "#poll":
            polls.append(json.loads(rest))
        elif tag == "#log":
            logs.append(rest.lstrip(" "))
        elif tag == "#nolog":
            nologs.append(rest.lstrip(" "))
        elif tag == "#file":
            target, content = rest.strip().split(" ", 1)
            files.append((target, json.loads(content)))
        elif tag == "#nofile":
            nofiles.append(rest.strip())
        elif tag in folders:
            folders[tag].append(rest.strip())
        elif line.startswith("@sleep "):
            pending_sleep += float(line.split()[1]) / 1000.0
        elif line.strip() and not line.startswith(("#", "@")) and line != "quit":
            steps.append(Step(len(steps) + 1, line))
            steps[-1].sleep_before, pending_sleep = pending_sleep, 0.0
    return steps, logs, nologs, files, nofiles, folders, polls


def matches(pattern, value):
    if pattern == "<any>":
        return True
    if pattern == "<int>":
        return isinstance(value, int) and not isinstance(value, bool)
    if pattern == "<pos-int>":
        return isinstance(value, int) and not isinstance(value, bool) and value > 0
    if pattern == "<str>":
        return isinstance(value, str)
    if pattern == "<nonempty-str>":
        return isinstance(value, str) and value != ""
    if isinstance(pattern, dict):
        if set(pattern) == {"<map-of>"}:
            return isinstance(value, dict) and all(matches(pattern["<map-of>"], v) for v in value.values())
        return isinstance(value, dict) and all(k in value and matches(v, value[k]) for k, v in pattern.items())
    if isinstance(pattern, list):
        return isinstance(value, list) and len(pattern) == len(value) and all(
            matches(p, v) for p, v in zip(pattern, value))
    return type(pattern) is type(value) and pattern == value


# --------------------------------------------------------------------------
# Wine.

def compiled_locale(name, folder):
    """Wine's environment for the Unix locale NAME (ru_RU.UTF-8: code page 1251),
    compiled into FOLDER, as the host may lack it."""
    if not (Path(folder) / name).exists():
        Path(folder).mkdir(parents=True, exist_ok=True)
        subprocess.run(["localedef", "-i", name.split(".")[0], "-f", "UTF-8", str(Path(folder) / name)],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return {"LANG": name, "LC_ALL": name, "LOCPATH": str(Path(folder).resolve())}


class Wine:
    def __init__(self, prefix, fresh, extra_env=None):
        self.prefix = Path(prefix)
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", **(extra_env or {}))
        if fresh and self.prefix.exists():
            self.quiet(["wineserver", "-k"])
            shutil.rmtree(self.prefix)
        if not (self.prefix / "system.reg").exists():
            self.quiet(["wineboot", "-i"])
            self.quiet(["wineserver", "-w"])
        # One server for the whole session, detached from our pipes.
        self.quiet(["wineserver", "-p"])
        self.quiet(["wine", "wineboot"])
        # Xvfb runs no window manager. Wine's X11 driver still treats a
        # top-level window as managed and, when hiding it on destruction,
        # waits up to 2 s for the manager that never answers, unable to
        # answer messages meanwhile. Unmanaged windows are hidden at once, as
        # on Windows.
        self.quiet(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                    "/d", "N", "/f"])

    def set_documents(self, windows):
        prefix_path(self.prefix, windows).mkdir(parents=True, exist_ok=True)
        self.quiet(["wine", "reg", "add", r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer"
                    r"\User Shell Folders", "/v", "Personal", "/d", windows, "/f"])

    def quiet(self, argv, **kw):
        return subprocess.run(argv, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, **kw)

    def popen(self, argv, env=None, **kw):
        return subprocess.Popen(["wine"] + argv, env=dict(self.env, **(env or {})),
                                stdin=subprocess.DEVNULL, start_new_session=True, **kw)

    def processes(self):
        """Executable names of the prefix's running processes, lower-cased."""
        result = subprocess.run(["wine", "winedbg", "--command", "info process"], env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, timeout=60)
        text = result.stdout.decode("utf-8", "replace")
        return [name.lower() for name in re.findall(r"'([^']+)'", text)]

    def stop(self):
        self.quiet(["wineserver", "-k"])
        self.quiet(["wineserver", "-w"], timeout=60)


# --------------------------------------------------------------------------
# Live output.

class Console:
    def __init__(self, quiet):
        self.quiet = quiet
        self.lock = threading.Lock()
        self.start = time.monotonic()

    def now(self):
        return time.monotonic() - self.start

    def say(self, text):
        if self.quiet:
            return
        with self.lock:
            print(f"[{self.now():7.2f}s] {text}", flush=True)


def shorten(text, limit=160):
    text = text.replace("\r", "\\r").replace("\n", "\\n")
    return text if len(text) <= limit else text[:limit - 3] + "..."


def follow_log(proc, lines, console):
    for raw in proc.stdout:
        line = raw.decode("utf-8", "replace").rstrip("\r\n")
        lines.append(line)
        console.say("      log  " + shorten(line))


# Programs the product starts; none may outlive it.
PRODUCT_CHILDREN = {"wg.exe", "wireguard.exe", "cmd.exe", "msiexec.exe", "wireguard-installer.exe",
                    "wireguard_installer.exe"}


def leftover_children(wine, console, grace_seconds=5.0):
    """Product tools still running after the program ended (waits a moment for
    terminated ones to go)."""
    deadline = time.monotonic() + grace_seconds
    while True:
        names = wine.processes()
        left = sorted(n for n in names if Path(n.replace("\\", "/")).name in PRODUCT_CHILDREN)
        if not left or time.monotonic() > deadline:
            console.say(f"processes in the prefix: {', '.join(names) or 'none listed'}")
            return left, bool(names)
        time.sleep(0.5)


def diagnostics_report(points, flat_after, handle_slack, memory_slack):
    """Prints the @diagnostics table; returns the number of failed checks."""
    if not points:
        return 0
    print("  diagnostics (checkpoint, calls answered before it, handles, private bytes):")
    for i, (calls, handles, private) in enumerate(points):
        print(f"    {i:3d}  {calls:5d}  {handles:6d}  {private:12d}")
    if flat_after is None:
        return 0
    if len(points) <= flat_after:
        print(f"  FAILED  flat after warm-up: only {len(points)} checkpoints, need more than {flat_after}")
        return 1
    _, base_handles, base_private = points[flat_after]
    worst_handles = max(h for _, h, _ in points[flat_after:]) - base_handles
    worst_private = max(p for _, _, p in points[flat_after:]) - base_private
    ok_h = worst_handles <= handle_slack
    ok_m = worst_private <= memory_slack
    print(f"  {'passed' if ok_h else 'FAILED'}  handles after warm-up: at most +{worst_handles} over "
          f"checkpoint {flat_after} ({base_handles}); allowed +{handle_slack}")
    print(f"  {'passed' if ok_m else 'FAILED'}  private bytes after warm-up: at most +{worst_private} over "
          f"checkpoint {flat_after} ({base_private}); allowed +{memory_slack}")
    return (not ok_h) + (not ok_m)


def take_screenshot(path, console):
    path = Path(path)
    for target in (["-window", "ORVA VPN"], ["-window", "root"]):
        result = subprocess.run(["import"] + target + [str(path)], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        if result.returncode == 0 and path.exists():
            console.say(f"screenshot saved: {path}")
            return True
    console.say("screenshot failed")
    return False


# --------------------------------------------------------------------------

SUPPORT_LOG = r"C:\ProgramData\ORVA VPN\logs\plugin.log"
STAMP = re.compile(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z ")
# A key's first 43 characters: padded or not, cut short by wg or not, none
# of it may show.
KEY_VALUE = re.compile(r"(?i)(?:private|preshared)\s*key\s*=\s*([A-Za-z0-9+/]{43})")
THEIRS = b"[Interface]\r\nPrivateKey = a user's own\r\n"


def support_log_checks(data, debugger_lines, session_text, check):
    """The plugin's log file (with the one before it, after a turnover) holds every debugger line behind a time stamp, as
    UTF-8 with CR LF line ends, begins each run with its start line, and
    neither log holds a key of the session's configurations."""
    if data is None:
        check(False, f"support log: {SUPPORT_LOG} exists")
        return
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        check(False, "support log: UTF-8", str(e))
        return
    check(text.count("\n") == text.count("\r\n") > 0, "support log: lines end in CR LF")
    lines = text.split("\r\n")
    stamped = {line[STAMP.match(line).end():] for line in lines if STAMP.match(line)}
    check(any(line.startswith("Program start: ORVA VPN ") for line in stamped),
          "support log: the run's start line")
    # The listener hands over the ANSI bytes as they came; a line that did not
    # read as UTF-8 (a Cyrillic path under code page 1251) is in the file
    # converted, so only the lines that read alike are compared.
    # The debugger's copy of a line ends at a NUL byte, where the file shows
    # \x00 and goes on: each debugger line begins a line of the file.
    missing = [line for line in debugger_lines
               if line.startswith("[WireGuardPlugin] ") and "\ufffd" not in line and line not in stamped
               and not any(s.startswith(line) for s in stamped)]
    check(not missing, f"support log: every debugger line, time-stamped ({len(stamped)} lines)",
          f"missing {shorten(missing[0]) if missing else ''}")
    keys = set(KEY_VALUE.findall(session_text))
    leaked = [k for k in keys if k in text or any(k in line for line in debugger_lines)]
    check(not leaked, f"no private or preshared key in either log ({len(keys)} keys)",
          f"leaked {leaked[:1]}")


def real_tunnel_seen(tunnel):
    """What the real tunnel shows once the program has ended."""
    links, daemons = tunnel.client_state()
    return {"records": list(tunnel.relay.records), "peer_show": tunnel.peer_show(),
            "peer_dump": tunnel.peer_dump(), "links": links, "daemons": daemons,
            "dns": tunnel.relay.dns_log()}


def wg_rounding(value):
    """How far `wg show`'s two-decimal text can be from the exact count."""
    unit = 1
    while value >= unit * 1024 and unit < 1024 ** 4:
        unit *= 1024
    return 0 if unit == 1 else unit * 0.005 + 1


def real_tunnel_checks(seen, steps, check):
    records = seen["records"]
    shows = [r for r in records if r["verb"] == "wg" and r.get("dump_before") and r.get("dump_after")]
    stats = [s.reply["value"] for s in steps if s.method == "getStats" and s.reply
             and isinstance(s.reply.get("value"), dict) and s.reply["value"].get("rx")]

    def matches_real(value, record):
        return all(record["dump_before"][i] - wg_rounding(record["dump_before"][i]) <= value[key]
                   <= record["dump_after"][i] + wg_rounding(record["dump_after"][i])
                   for i, key in enumerate(("rx", "tx")))

    unmatched = [v for v in stats if not any(matches_real(v, r) for r in shows)]
    check(stats and not unmatched, f"counters equal the real wg's within its rounding ({len(stats)} polls)",
          f"no `wg show` run gave {unmatched}")
    check(len({(v["rx"], v["tx"]) for v in stats}) > 1, "counters moved between polls")
    ups = [r for r in records if r["verb"] == "up"]
    addresses = [r["interface_after"] for r in ups if r["code"] == 0]
    check(addresses[:2] == [[real_tunnel.CLIENT_ADDRESSES[0]], [real_tunnel.CLIENT_ADDRESSES[1]]],
          "the tunnel came up with its address, and the rebuild with the new one", f"got {addresses}")
    failed = [r for r in ups if r["code"] != 0]
    if failed:
        check(all(r["interface_after"] is None for r in failed),
              f"a refused configuration left no interface ({failed[0]['err'].strip().splitlines()[-2:]})")
    downs = [r for r in records if r["verb"] == "down"]
    check(downs and all(r["code"] == 0 and r["interface_after"] is None for r in downs),
          f"every disconnect took the interface down ({len(downs)})")
    check("orva_divuv" not in seen["links"] and not seen["daemons"],
          "at the end no tunnel interface and no wireguard-go in the client namespace",
          f"links {seen['links']}, daemons {seen['daemons']}")
    peer = seen["peer_dump"]
    check(peer and peer[0] > 0 and peer[1] > 0, "the peer saw a handshake and received data",
          f"peer's dump entry: {peer}")
    check(f"nameserver {real_tunnel.DNS}" in seen["dns"], "DNS recorded in the namespace only")
    print("  the peer's own `wg show`:")
    print("".join("    " + line + "\n" for line in seen["peer_show"].splitlines()), end="")
    if stats:
        last = next((r for r in reversed(shows) if matches_real(stats[-1], r)), None)
        print(f"  the UI's last counters: rx {stats[-1]['rx']} B, tx {stats[-1]['tx']} B; "
              f"the real wg's then: {last and last['dump_after']}")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    for name in ("--bundle", "--session", "--prefix", "--out"):
        ap.add_argument(name, required=True)  # orva_vpn.exe's folder, expectations, Wine prefix, results
    ap.add_argument("--fresh", action="store_true", help="start from a new, empty Wine prefix")
    ap.add_argument("--listener", help="debug_output_listener.exe (the plugin log is checked when given)")
    ap.add_argument("--screenshot-after", default="", help="METHOD[:N]: after the Nth reply to METHOD")
    ap.add_argument("--timeout", type=float, default=600, help="seconds the whole session may take")
    ap.add_argument("--env", action="append", default=[], help="NAME=VALUE for the program")
    ap.add_argument("--flat-after", type=int, help="K: @diagnostics checkpoints after the first K stay flat")
    ap.add_argument("--handle-slack", type=int, default=0)
    ap.add_argument("--memory-slack", type=int, default=0)
    ap.add_argument("--swap-installer", help="run a bundle copy whose wireguard\\ holds only this installer")
    ap.add_argument("--plant", action="append", default=[], help="NAME=FILE: run a bundle copy with FILE as NAME")
    ap.add_argument("--no-leftovers", action="store_true", help="fail when a tool outlives the program")
    ap.add_argument("--probe", help="window_probe.exe: checks that the window keeps answering")
    ap.add_argument("--probe-max-ms", type=float, default=1000)
    ap.add_argument("--real-tunnel", action="store_true", help="WireGuard's own tools and a real peer")
    ap.add_argument("--quiet", action="store_true")
    ap.add_argument("--locale", help="Unix locale for Wine, e.g. ru_RU.UTF-8 (code page 1251)")
    ap.add_argument("--documents", help="C:\\ path to make the user's Documents folder")
    args = ap.parse_args()
    # A test's time-out or a hang-up ends the run through its clean-up paths.
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, lambda *_: sys.exit(128 + 15))
    if args.real_tunnel:
        reason = real_tunnel.unavailable_reason()
        if reason:
            print(f"real tunnel unavailable: {reason}", flush=True)
            return SKIPPED

    console = Console(args.quiet)
    real_seen = None
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    transcript = out / "transcript.jsonl"
    log_file = out / "plugin.log"
    for f in (transcript, log_file):
        f.unlink(missing_ok=True)

    (steps, log_expect, nolog_expect, file_expect, nofile_expect, folders,
     poll_expect) = parse_session(args.session)
    shot_method, _, shot_n = args.screenshot_after.partition(":")
    shot_n = int(shot_n or 1)
    shot_taken = False

    if args.swap_installer or args.plant:
        variant = out / "bundle"
        shutil.rmtree(variant, ignore_errors=True)
        shutil.copytree(args.bundle, variant)
        if args.swap_installer:
            shutil.rmtree(variant / "wireguard")
            (variant / "wireguard").mkdir()
            shutil.copy2(args.swap_installer, variant / "wireguard" / Path(args.swap_installer).name)
            console.say(f"bundle variant with {Path(args.swap_installer).name}: {variant}")
        for pair in args.plant:
            name, _, source = pair.partition("=")
            shutil.copy2(source, variant / name)
            console.say(f"planted {name} in the bundle variant: {variant}")
        args.bundle = str(variant)

    console.say(f"preparing Wine prefix {args.prefix}{' (fresh)' if args.fresh else ''}")
    locale_env = compiled_locale(args.locale, out / "locale") if args.locale else None
    wine = Wine(args.prefix, args.fresh, locale_env)
    if args.documents:
        wine.set_documents(args.documents)
    for link, target in (pair.split(" ", 1) for pair in folders["#plant-link"]):
        prefix_path(args.prefix, target).mkdir(parents=True, exist_ok=True)
        (prefix_path(args.prefix, target) / "theirs.conf").write_bytes(THEIRS)
        prefix_path(args.prefix, link).parent.mkdir(parents=True, exist_ok=True)
        prefix_path(args.prefix, link).symlink_to(prefix_path(args.prefix, target))
    tunnel = None
    if args.real_tunnel:
        tunnel = real_tunnel.RealTunnel(
            prefix_path(args.prefix, r"C:\ProgramData\OrvaStandinWireGuard\relay.txt"), console.say)
        try:
            tunnel.__enter__()
        except BaseException:
            wine.stop()
            raise
        console.say("real tunnel ready: namespaces, wireguard-go peer, relay")
        text = Path(args.session).read_text(encoding="utf-8")
        for name, value in tunnel.session_values().items():
            text = text.replace("{{" + name + "}}", value)
        args.session = out / "session.filled"
        args.session.write_text(text, encoding="utf-8")
    log_lines, listener, log_thread = [], None, None
    diagnostics = []  # (calls answered before it, handles, private bytes)
    numbers, polls, polls_sent = [], [], 0  # every call's "n" in reply order; @poll replies
    leftovers, listed = [], False
    exe = None
    exit_code = None
    ended_at = None
    probe_report = None
    try:
        if args.listener:
            listener = wine.popen([args.listener], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            log_thread = threading.Thread(target=follow_log, args=(listener, log_lines, console), daemon=True)
            log_thread.start()
            time.sleep(1.0)  # let it create the shared buffer before the first line is written

        env = {"ORVA_UI_SESSION": windows_path(args.session), "ORVA_UI_TRANSCRIPT": windows_path(transcript)}
        for pair in args.env:
            name, _, value = pair.partition("=")
            env[name] = value
        console.say(f"starting {Path(args.bundle) / 'orva_vpn.exe'}")
        exe = wine.popen([str(Path(args.bundle) / "orva_vpn.exe")], env=env, cwd=args.bundle,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        launched = console.now()
        probe = None
        if args.probe:
            probe = wine.popen([args.probe, "ORVA VPN", str(int(args.timeout))],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        if steps:
            steps[0].started = launched + steps[0].sleep_before

        if steps:
            console.say(f"-> {1:2d} {shorten(steps[0].line)}")
        seen = 0
        pending = 0
        deadline = time.monotonic() + args.timeout
        last_size = -1
        while True:
            if transcript.exists() and transcript.stat().st_size != last_size:
                last_size = transcript.stat().st_size
                with transcript.open("r", encoding="utf-8", errors="replace") as fh:
                    lines = fh.read().split("\n")
                complete = lines[:-1]  # the last piece is an unfinished line or empty
                for text in complete[seen:]:
                    seen += 1
                    try:
                        obj = json.loads(text)
                    except ValueError:
                        console.say("!! unreadable transcript line: " + shorten(text))
                        continue
                    if "n" in obj:
                        numbers.append(obj["n"])
                    if obj.get("poll"):
                        polls.append(obj)
                        continue
                    if str(obj.get("method", "")).startswith("@"):
                        polls_sent += obj.get("sent", 0) if obj.get("method") == "@poll" else 0
                        if obj.get("method") == "@diagnostics":
                            diagnostics.append((pending, int(obj.get("handles", -1)),
                                                int(obj.get("private_bytes", -1))))
                        else:
                            console.say("   " + shorten(text))
                        continue
                    if pending < len(steps):
                        step = steps[pending]
                        step.reply = obj
                        step.arrived = console.now()
                        pending += 1
                        console.say(f"<- {step.number:2d} {shorten(json.dumps(obj, ensure_ascii=False))}"
                                    f"  ({step.arrived - step.started:.1f} s)")
                        if pending < len(steps):
                            steps[pending].started = step.arrived + steps[pending].sleep_before
                            console.say(f"-> {pending + 1:2d} {shorten(steps[pending].line)}")
                        if (not shot_taken and shot_method and obj.get("method") == shot_method
                                and sum(1 for s in steps[:pending] if s.method == shot_method) == shot_n):
                            time.sleep(0.5)  # let the view repaint with the new state
                            shot_taken = take_screenshot(out / "screenshot.png", console)
            code = exe.poll()
            if code is not None:
                exit_code = code
                ended_at = console.now()
                break
            if time.monotonic() > deadline:
                console.say(f"!! session did not end within {args.timeout:.0f} s")
                break
            time.sleep(0.02)
        if exit_code is None:
            os.killpg(exe.pid, signal.SIGKILL)
        if probe:
            try:
                probe_report = probe.communicate(timeout=40)[0].decode(errors="replace").strip()
                (out / "probe.txt").write_text(probe_report + "\n", encoding="utf-8")
            except subprocess.TimeoutExpired:
                os.killpg(probe.pid, signal.SIGKILL)
        time.sleep(1.0)  # the last log lines
        if args.no_leftovers:
            leftovers, listed = leftover_children(wine, console)
        if tunnel:
            real_seen = real_tunnel_seen(tunnel)
    finally:
        if tunnel:
            tunnel.__exit__(None, None, None)
        if listener:
            os.killpg(listener.pid, signal.SIGKILL)
        files_seen = {}
        for target in [t for t, _ in file_expect] + nofile_expect + [SUPPORT_LOG + ".1", SUPPORT_LOG]:
            p = prefix_path(args.prefix, target)
            files_seen[target] = p.read_bytes() if p.exists() else None
        wine.stop()
        log_file.write_text("\n".join(log_lines) + "\n", encoding="utf-8")

    # ----------------------------------------------------------------------
    # Summary.
    results = []  # one boolean per check

    def check(ok, text, detail=None):
        results.append(bool(ok))
        print(f"  {'passed' if ok else 'FAILED'}  {text}")
        if not ok and detail:
            print("           " + detail)

    print("\n== Summary", flush=True)
    for step in steps:
        if step.no_reply:
            ok = step.reply is None
            took = None if ended_at is None or step.started is None else ended_at - step.started
            want = "no reply (the window closes)"
        else:
            ok = step.reply is not None and all(matches(e, step.reply) for e in step.expect)
            took = None if step.reply is None else step.arrived - step.started
            want = json.dumps(step.expect, ensure_ascii=False)
        got = "no reply" if step.reply is None else json.dumps(step.reply, ensure_ascii=False)
        in_time = step.max_seconds is None or (took is not None and took <= step.max_seconds)
        timing = "" if took is None else f" [{took:.1f} s]"
        detail = (f"expected {want}\n           got      {got}" if not ok
                  else None if in_time else f"expected the reply within {step.max_seconds:g} s")
        check(ok and in_time, f"{step.number:2d}. {shorten(step.line, 70)}{timing}", detail)
    wrong = next((i for i, n in enumerate(numbers) if n != i + 1), None)
    check(wrong is None, f"every call answered once, in the order sent ({len(numbers)} calls)",
          None if wrong is None else f"reply {wrong + 1} answers call {numbers[wrong]}")
    if polls_sent or polls:
        check(len(polls) == polls_sent, f"@poll: {len(polls)} replies to {polls_sent} calls sent")
    for pattern in poll_expect:
        same = [p for p in polls if p.get("method") == pattern.get("method")]
        bad = [p for p in same if not matches(pattern, p)]
        check(same and not bad, f"@poll replies {json.dumps(pattern, ensure_ascii=False)} ({len(same)})",
              f"got {json.dumps(bad[:1] or same, ensure_ascii=False)}")
    if args.listener:
        for want in log_expect:
            check(want in log_lines, f"log line: {shorten(want, 100)}")
        for unwanted in nolog_expect:
            check(unwanted not in log_lines, f"no log line: {shorten(unwanted, 100)}")
        # A session with a flood of tool output turns the file over: the
        # previous file holds its beginning.
        older = files_seen[SUPPORT_LOG + ".1"]
        support_log_checks(None if files_seen[SUPPORT_LOG] is None else (older or b"") + files_seen[SUPPORT_LOG],
                           log_lines,
                           Path(args.session).read_text(encoding="utf-8"), check)
    for target, content in file_expect:
        got = files_seen.get(target)
        check(got == content.encode("utf-8"), f"file bytes: {target}",
              f"expected {content.encode('utf-8')!r}\n           got      {got!r}")
    for target in nofile_expect:
        got = files_seen.get(target)
        check(got is None, f"no file: {target}", f"found    {(got or b'')[:400]!r}")
    for link, target in (pair.split(" ", 1) for pair in folders["#plant-link"]):
        inside = {p.name: p.read_bytes() for p in prefix_path(args.prefix, target).iterdir()}
        check(inside == {"theirs.conf": THEIRS}, f"the link's target is as planted: {target}", f"holds {inside}")
    for folder in folders["#closed-folder"]:
        p = prefix_path(args.prefix, folder)
        mode = None if p.is_symlink() or not p.is_dir() else p.stat().st_mode & 0o777
        check(mode is not None and mode & 0o007 == 0, f"a real folder others cannot enter: {folder}",
              f"mode {mode and oct(mode)}, link {p.is_symlink()}")
    failed = diagnostics_report(diagnostics, args.flat_after, args.handle_slack, args.memory_slack)
    if args.flat_after is not None:  # two checks: handles and private bytes
        results += [False] * failed + [True] * max(0, 2 - failed)
    if args.no_leftovers:
        detail = "could not list the prefix's processes" if not listed else ", ".join(leftovers) or "none"
        check(listed and not leftovers, f"no tool of the product left running (left: {detail})")
    if args.probe:
        found = re.match(r"window probe: (\d+) answers, longest wait (\d+) ms", probe_report or "")
        check(found and int(found.group(1)) > 0 and int(found.group(2)) <= args.probe_max_ms,
              f"the window kept answering within {args.probe_max_ms:g} ms "
              f"({probe_report or 'no probe report'})")
    if tunnel:
        real_tunnel_checks(real_seen, steps, check)
    else:
        print("  tunnel: simulated (the stand-in tools make up the counters)")
    check(exit_code == 0, f"program ended by itself with exit code 0 (got {exit_code})")
    if shot_method:
        print(f"  screenshot: {(out / 'screenshot.png') if shot_taken else 'not taken'}")
    print(f"  transcript: {transcript}\n  plugin log: {log_file}")
    failures = results.count(False)
    print(f"\n{len(results) - failures} passed, {failures} failed", flush=True)
    return 0 if failures == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
