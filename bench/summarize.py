#!/usr/bin/env python3
"""Prints the benchmark ratios from Google Benchmark JSON files.

    summarize.py NATIVE_JSON [COMMAND_RUNNER_JSON|-] [SESSION_DIR|-] [CONNECT_DIR]

Rows are named OPERATION/SHAPE/IMPLEMENTATION. Every ratio is peer time
divided by our time: above 1 means ours is faster. Where a benchmark was
repeated (--benchmark_repetitions), the median aggregate is used.

The native figures compare CPU time: the machine is shared, and CPU time is
what other processes' load disturbs least for a single-threaded benchmark.
The command runner compares wall time, because most of its cost is spent in
the child processes.
"""
import json
import re
import sys

UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}

CODEC_SHAPES = ["call", "stats", "tree", "bytes", "doubles"]
BULK_SHAPES = {"bytes", "doubles"}
PEERS = ["msgpack", "nlohmann_cbor", "memcpy"]
PEER_TARGET = 1.0      # at least as fast as msgpack and nlohmann's CBOR
# Decoding the tree allocates every node, which msgpack's zone does not: its
# target is the deep copy below instead, and the ratio is shown without one.
NO_PEER_TARGET = {("decode", "tree", "msgpack")}
FLOOR_SHAPES = [("stats", "counters reply"), ("connect", "connect arguments"), ("tree", "tree")]
FLOOR_LIMIT = 1.3      # decoding at most 1.3 times a deep copy of the decoded value
MEMCPY_TARGET = 0.8    # bulk shapes: at least 0.8 of memcpy's speed
ROUNDTRIP_LIMIT = 1.5  # roundtrip within 1.5 times the codec alone
RUNNER_LIMIT = 1.1     # ExecuteCommand within 1.1 times the bare run
CALL_LIMIT = 1.15      # a getStatus call within 1.15 times a bare start-and-wait of wg.exe
CONNECT_LIMIT = 1.5    # "connect" after a 20 s installation within 1.5 times the same after a short one
PROBE_LIMIT_MS = 50    # longest WM_NULL answer while a slow tool runs


def load_times(path, field):
    """Name -> time in nanoseconds, from |field| ("cpu_time" or "real_time")."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    iterations, medians = {}, {}
    for row in data.get("benchmarks", []):
        if row.get("error_occurred"):
            continue
        name = row.get("run_name", row["name"])
        ns = row.get(field, row["real_time"]) * UNIT_NS.get(row.get("time_unit", "ns"), 1.0)
        if row.get("run_type") == "aggregate":
            if row.get("aggregate_name") == "median":
                medians[name] = ns
        else:
            iterations.setdefault(name, []).append(ns)
    times = {name: sum(v) / len(v) for name, v in iterations.items()}
    times.update(medians)
    return data, times


def human(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.2f} {unit}"
    return f"{ns:.0f} ns"


def ratio_cell(peer, ours):
    if peer is None or not ours:
        return "-"
    return f"{peer / ours:.2f}"


def codec_table(times):
    print("Codec: CPU time per operation of ours; ratio = peer time / our time (above 1: ours faster)")
    header = f"{'operation':<10}{'shape':<9}{'ours':>11}" + "".join(f"{p:>15}" for p in PEERS)
    print(header + "   targets")
    missed = []
    for operation in ("encode", "decode"):
        for shape in CODEC_SHAPES:
            ours = times.get(f"{operation}/{shape}/ours")
            if ours is None:
                continue
            cells, verdicts = [], []
            for peer in PEERS:
                peer_time = times.get(f"{operation}/{shape}/{peer}")
                cells.append(ratio_cell(peer_time, ours))
                if peer_time is None:
                    continue
                target = MEMCPY_TARGET if peer == "memcpy" else PEER_TARGET
                if (operation, shape, peer) in NO_PEER_TARGET:
                    cells[-1] += "*"
                elif peer == "memcpy" or shape not in BULK_SHAPES:
                    if peer_time / ours < target:
                        verdicts.append(f"{peer} < {target}")
            verdict = "met" if not verdicts else "missed: " + ", ".join(verdicts)
            if verdicts:
                missed.append(f"{operation}/{shape}")
            print(f"{operation:<10}{shape:<9}{human(ours):>11}"
                  + "".join(f"{c:>15}" for c in cells) + "   " + verdict)
    print("(targets: call, stats, tree >= 1.0 against msgpack and nlohmann_cbor, * none;"
          " bytes, doubles >= 0.8 against memcpy)")
    return missed


def floor_lines(path):
    """Decoding against a deep copy, from the floor/SHAPE rows' counters (the
    median ratio of rounds that alternate the two; the median of repetitions)."""
    with open(path, encoding="utf-8") as f:
        rows = json.load(f).get("benchmarks", [])
    found = {}
    for row in rows:
        name = row.get("run_name", row["name"])
        if not name.startswith("floor/") or "ratio" not in row:
            continue
        if row.get("run_type") == "aggregate" and row.get("aggregate_name") != "median":
            continue
        shape = name.split("/")[1]
        if shape not in found or row.get("aggregate_name") == "median":
            found[shape] = row
    print("\nDecoding against a deep copy of the decoded value (interleaved rounds, median)")
    missed = []
    for shape, label in FLOOR_SHAPES:
        row = found.get(shape)
        if row is None:
            continue
        ratio = row["ratio"]
        verdict = "met" if ratio <= FLOOR_LIMIT else "missed"
        if verdict != "met":
            missed.append(f"floor/{shape}")
        print(f"  {label:<18} {row['wire_bytes']:>7.0f} bytes  decode {human(row['decode_ns']):>10}"
              f"  copy {human(row['copy_ns']):>10}  decode = {ratio:.2f} x copy"
              f" (target <= {FLOOR_LIMIT}: {verdict})")
    return missed


def roundtrip_line(times):
    ours = times.get("roundtrip/call/ours")
    codec = times.get("roundtrip/call/codec_only")
    if ours is None or codec is None:
        print("\nRoundtrip: not measured")
        return []
    factor = ours / codec
    verdict = "met" if factor <= ROUNDTRIP_LIMIT else "missed"
    print(f"\nRoundtrip of one call: ours {human(ours)}, codec_only {human(codec)}; "
          f"ratio codec_only/ours = {codec / ours:.2f} "
          f"(ours = {factor:.2f} x codec_only, target <= {ROUNDTRIP_LIMIT}: {verdict})")
    return [] if verdict == "met" else ["roundtrip/call"]


def runner_lines(path):
    data, times = load_times(path, "real_time")
    missed = []
    print("\nCommand runner under Wine (medians); ratio = bare time / ExecuteCommand time")
    print("  bare runs start the same command line with output to NUL, 'detached' (no console)"
          " or with\n  'console' (CREATE_NO_WINDOW alone: a hidden console); the target is judged"
          " against the bare run\n  with the runner's own flags for that command")
    for label in ("status", "direct"):
        ours = times.get(f"command_runner/{label}/execute_command")
        bare = times.get(f"command_runner/{label}/bare_create_process")
        console = times.get(f"command_runner/{label}/bare_create_process_console")
        hidden = data.get("hidden_console", {}).get(label, True)
        same_flags = console if hidden else bare
        if ours is None or same_flags is None:
            continue
        factor = ours / same_flags
        verdict = "met" if factor <= RUNNER_LIMIT else "missed"
        if verdict != "met":
            missed.append(f"command_runner/{label}")
        line = data.get("commands", {}).get(label, "")
        flags = "console" if hidden else "detached"
        print(f"  {label:<7} ExecuteCommand {human(ours):>10}  bare {flags:<8} {human(same_flags):>10}"
              f"  ratio {same_flags / ours:.3f}  (ExecuteCommand = {factor:.3f} x bare, target <= "
              f"{RUNNER_LIMIT}: {verdict})")
        other, other_flags = (bare, "detached") if hidden else (console, "console")
        if other is not None:
            print(f"          bare {other_flags:<8} {human(other):>10}  ratio {other / ours:.3f}")
        pipe = times.get(f"command_runner/{label}/bare_create_process_pipe")
        if pipe is not None:
            print(f"          bare {flags}, reading a pipe inline {human(pipe):>10}"
                  f"  ratio {pipe / ours:.3f}")
        print(f"          command line: {line}")
    query = data.get("status_query")
    if query:
        print(f"  one GetVPNStatus (\"{query.get('status')}\"): "
              f"{query.get('runs_real')} command run on the real system "
              f"({query.get('runs_scripted')} on a scripted machine, "
              f"{query.get('runs_scripted_tool_cannot_start')} when the tool cannot start)")
        processes = query.get("processes")
        if processes is None:
            print("  processes started: not counted")
        else:
            print(f"  processes started: {len(processes)} ({', '.join(processes)})")
    return missed


def median(values):
    values = sorted(values)
    middle = len(values) // 2
    return values[middle] if len(values) % 2 else (values[middle - 1] + values[middle]) / 2


def transcript(folder):
    with open(f"{folder}/transcript.jsonl", encoding="utf-8") as f:
        return [json.loads(line) for line in f if line.strip()]


def session_lines(folder, runner_path):
    """getStatus through orva_vpn.exe against a bare start-and-wait of wg.exe
    from the same process, in interleaved rounds, and the window probe's
    longest wait, from a bench/status_poll.session run."""
    missed = []
    replies = transcript(folder)
    # The first round after connecting warms the caches up; the rest are timed.
    polls = [r["ms"] for r in replies if r.get("method") == "getStatus" and "ms" in r][1:]
    bare = [r["ms"] for r in replies if r.get("method") == "@run" and r.get("exit_code") == 0][1:]
    print("\nThe real executable under Wine (bench/status_poll.session)")
    in_process = None
    if runner_path:
        _, times = load_times(runner_path, "real_time")
        in_process = times.get("command_runner/status/get_vpn_status")
    if polls:
        ours = median(polls) * 1e6
        line = f"  getStatus, send to reply (median of {len(polls)}): {human(ours)}"
        if len(bare) == len(polls):
            # Each round against its own bare run: load that drifts over the
            # session hits both alike.
            factor = median([p / b for p, b in zip(polls, bare)])
            verdict = "met" if factor <= CALL_LIMIT else "missed"
            if verdict != "met":
                missed.append("session/getStatus")
            line += (f"\n  bare start-and-wait of wg.exe from the same process, in rounds alternating"
                     f" with it: {human(median(bare) * 1e6)}\n  getStatus = {factor:.2f} x bare"
                     f" (median of the rounds' ratios; target <= {CALL_LIMIT}: {verdict})")
        print(line)
        if in_process:
            print(f"    of which GetVPNStatus itself, in-process: {human(in_process)}"
                  f" ({in_process / ours:.0%}); the rest is the way through the channel,"
                  " the worker and the engine")
    try:
        with open(f"{folder}/probe.txt", encoding="utf-8") as f:
            report = f.read().strip()
    except OSError:
        report = ""
    found = re.match(r"window probe: (\d+) answers, longest wait (\d+) ms", report)
    if found:
        longest = int(found.group(2))
        verdict = "met" if longest <= PROBE_LIMIT_MS else "missed"
        if verdict != "met":
            missed.append("session/window_probe")
        print(f"  window answering WM_NULL during the session, a 3 s tool included: {report}"
              f" (target <= {PROBE_LIMIT_MS} ms: {verdict})")
    else:
        print("  window probe: no report")
    return missed


def connect_lines(folder):
    """"connect" sent the moment an installation answers, with polls every
    250 ms, from a bench/connect_after_install.session run: a warm-up round,
    then short and 20 s installations alternating, twice."""
    replies = transcript(folder)
    connects = [r["ms"] for r in replies if r.get("method") == "connect" and "ms" in r]
    polls = [r.get("sent") for r in replies if r.get("method") == "@poll"]
    print("\n\"connect\" sent as an installation answers, getStatus and getStats polled every 250 ms")
    if len(connects) != 5 or len(polls) != 5:
        print("  not measured (the session did not run to its end)")
        return ["connect_after_install"]
    short, long = median(connects[1::2]), median(connects[2::2])
    factor = long / short
    verdict = "met" if factor <= CONNECT_LIMIT else "missed"
    print(f"  send to reply after a short installation (mean of 2; {polls[1]} and {polls[3]} polls"
          f" sent during it): {human(short * 1e6)}\n  after a 20 s installation ({polls[2]} and"
          f" {polls[4]} polls): {human(long * 1e6)}; after the long one = {factor:.2f} x after the"
          f" short one (target <= {CONNECT_LIMIT}: {verdict})")
    return [] if verdict == "met" else ["connect_after_install"]


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    _, times = load_times(argv[1], "cpu_time")
    missed = codec_table(times)
    missed += floor_lines(argv[1])
    missed += roundtrip_line(times)
    runner_path = argv[2] if len(argv) > 2 and argv[2] != "-" else None
    if runner_path:
        missed += runner_lines(runner_path)
    if len(argv) > 3 and argv[3] != "-":
        missed += session_lines(argv[3], runner_path)
    if len(argv) > 4:
        missed += connect_lines(argv[4])
    print("\nTargets missed: " + (", ".join(missed) if missed else "none"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
