#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Prints the benchmark table from the results folder scripts/bench.sh fills.

    report.py RESULTS_DIR [SECTIONS]

Each row: the figure, what was measured, its target, whether the target was met, and the
plain reference measured in the same run; a second table sets the program beside the peer
tools (peers, accounts, push and idle), the ratio first.
SECTIONS (separated by commas, as KELVO_BENCH_ONLY of scripts/bench.sh) limits the report to
those run. With KELVO_BENCH_MARKDOWN set, the tables come as Markdown, as the README shows
them. Ends with status 1 when a target was missed.
"""
import glob
import json
import os
import re
import sys


def load(folder, name):
    path = os.path.join(folder, name)
    if not os.path.exists(path):
        return None
    with open(path) as f:
        return json.load(f)


class Table:
    def __init__(self, head=("Figure", "Measured", "Target", "Met", "Reference (same run)")):
        self.head = head
        self.rows = []
        self.missed = 0

    def add(self, figure, measured, target="", met=None, reference=""):
        if met is False:
            self.missed += 1
        mark = "" if met is None else ("yes" if met else "NO")
        self.rows.append((figure, measured, target, mark, reference))

    def missing(self, figure):
        self.missed += 1
        self.rows.append((figure, "not measured") + ("",) * (len(self.head) - 3) + ("NO",))

    def print(self):
        head = self.head
        if os.environ.get("KELVO_BENCH_MARKDOWN"):  # for the README
            for r in [head, ("---",) * len(head)] + self.rows:
                print("| " + " | ".join(c.strip().replace("|", "\\|") for c in r) + " |")
            return
        widths = [max(len(r[i]) for r in self.rows + [head]) for i in range(len(head))]
        line = "  ".join("%-*s" % (w, h) for w, h in zip(widths, head))
        print(line)
        print("-" * len(line))
        for r in self.rows:
            print("  ".join("%-*s" % (w, c) for w, c in zip(widths, r)).rstrip())


def passes(t, folder):
    data = load(folder, "pass.json")
    if not data or len(data["pass"]) < 2:
        return t.missing("Pass over 1,000 and 10,000 unread messages")
    small, large = data["pass"][0], data["pass"][-1]
    for p in (small, large):
        t.add("Pass, %d unread: round trips" % p["messages"], "%d" % p["round_trips"],
              "same for both", small["round_trips"] == large["round_trips"],
              "bare client: 5 commands")
    t.add("Pass, %d unread: time" % small["messages"],
          "%.3f s (%.3f ms/message)" % (small["seconds"], small["ms_per_message"]), "(basis)", None,
          "bare client fetch: %.3f ms/message" % small["reference_ms_per_message"])
    limit = 1.5 * small["ms_per_message"]
    t.add("Pass, %d unread: time" % large["messages"],
          "%.3f s (%.3f ms/message)" % (large["seconds"], large["ms_per_message"]),
          "<= %.3f ms/message (1.5 x)" % limit, large["ms_per_message"] <= limit,
          "bare client fetch: %.3f ms/message" % large["reference_ms_per_message"])


def engine(t, folder):
    data = load(folder, "engine.json")
    if not data:
        return t.missing("Composition and settings")
    ms = {}
    for b in data["benchmarks"]:
        if b.get("run_type", "iteration") == "iteration" and not b.get("error_occurred"):
            scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
            ms[b["name"]] = b["real_time"] * scale

    def row(figure, name, limit, reference_text, reference_name):
        if name not in ms:
            return t.missing(figure)
        ref = "%s: %.2f ms" % (reference_text, ms[reference_name]) if reference_name in ms else ""
        t.add(figure, "%.2f ms" % ms[name], "< %g ms" % limit, ms[name] < limit, ref)

    row("1 MB mail: body lines", "BM_Compose_Lines", 100, "QString::split of the text",
        "BM_Reference_SplitText")
    row("1 MB mail: split into 300 parts", "BM_Compose_Split", 100, "CP932 conversion of the text",
        "BM_Reference_Cp932")
    row("1 MB mail: unsplit text", "BM_Compose_Unsplit", 100, "QString::split of the text",
        "BM_Reference_SplitText")
    row("1 MB mail: forward in 300 parts (memory)", "BM_Forward/1", 1000,
        "CP932 conversion of the text", "BM_Reference_Cp932")
    row("1 MB mail: forward as one mail (memory)", "BM_Forward/0", 1000,
        "CP932 conversion of the text", "BM_Reference_Cp932")
    row("Settings: write all 61 keys", "BM_Settings_WriteAll", 100, "QSaveFile of the same bytes",
        "BM_Reference_SaveFile")
    row("Settings: read all 61 keys", "BM_Settings_ReadAll", 100, "QFile read of the same file",
        "BM_Reference_ReadFile")


def monitor(t, folder):
    data = load(folder, "monitor.json")
    ref = (load(folder, "monitor_reference.json") or {}).get("monitor_reference")
    if not data:
        return t.missing("Monitor with 100,000 lines")
    m = data["monitor"]
    limit = max(1.5 * m["us_per_line_first"], 1.0)
    t.add("Monitor: add a line, first 1,000", "%.1f us" % m["us_per_line_first"], "(basis)", None,
          "QStringList append: %.2f us" % ref["us_per_line_first"] if ref else "")
    t.add("Monitor: add a line, at 100,000", "%.1f us" % m["us_per_line_last"],
          "<= %.1f us (1.5 x) and < 1 ms" % limit,
          m["us_per_line_last"] <= limit and m["us_per_line_last"] < 1000,
          "QStringList append: %.2f us" % ref["us_per_line_last"] if ref else "")
    early = m["bytes_per_line_early"]
    limit = max(1.5 * early, 64)
    t.add("Monitor: memory per line, 10,000 to 100,000", "%.0f B" % m["bytes_per_line_late"],
          "<= %.0f B (1.5 x first 10,000: %.0f B)" % (limit, early),
          m["bytes_per_line_late"] <= limit,
          "QStringList: %.0f B" % ref["bytes_per_line"] if ref else "")


def fuzz(t, folder):
    logs = sorted(glob.glob(os.path.join(folder, "fuzz-*.log")))
    if not logs:
        t.add("Fuzz targets", "not run", "", None, "")
        return
    for log in logs:
        name = os.path.basename(log)[5:-4]
        text = open(log, errors="replace").read()
        execs = re.findall(r"stat::number_of_executed_units: (\d+)", text)
        cov = re.findall(r"cov: (\d+) ft: (\d+)", text)
        status = open(log[:-4] + ".status").read().strip() if os.path.exists(log[:-4] + ".status") else "?"
        crashes = len(glob.glob(os.path.join(folder, "fuzz-" + name, "crashes", "*")))
        measured = "%s runs, cov %s, ft %s" % (execs[-1] if execs else "?",
                                              cov[-1][0] if cov else "?", cov[-1][1] if cov else "?")
        t.add("Fuzz %s (%s)" % (name, "crash" if status != "0" else "exit 0"), measured,
              "no crash", status == "0" and crashes == 0, "%d crash inputs" % crashes)


class PeerTable(Table):
    """Kelvo beside a peer tool doing the same work: their ratio first, each figure of both,
    the target and whether it was met."""

    def __init__(self):
        super().__init__(("Figure", "Ratio", "Kelvo", "Peer (same run)", "Target", "Met"))

    def add(self, figure, kelvo, peer="", ratio="", target="", met=None):
        if met is False:
            self.missed += 1
        mark = "" if met is None else ("yes" if met else "NO")
        self.rows.append((figure, ratio, kelvo, peer, target, mark))


def ratio(a, b):
    return "%.2f x" % (a / b) if b else ""


def kb(n):
    return "%.2f KB" % (n / 1e3) if n < 1e6 else "%.2f MB" % (n / 1e6)


def mib(kilobytes):
    return "%.1f MiB" % (kilobytes / 1024.0)


def ms(seconds):
    return "%.1f ms" % (1e3 * seconds) if seconds < 1 else "%.3f s" % seconds


def wire(r):
    return r["bytes_sent"] + r["bytes_received"]


def nothing(t, case):
    k, p, name = case["kelvo"], case["peer"], case["peer_name"]
    t.add("Pass, nothing new, %s read: time" % format(case["mails"], ","), ms(k["seconds"]),
          "%s: %s" % (name, ms(p["seconds"])), ratio(k["seconds"], p["seconds"]), "(recorded)")
    t.add("  client turns, bytes on the wire",
          "%d, %s" % (k["client_turns"], kb(wire(k))),
          "%d, %s" % (p["client_turns"], kb(wire(p))), ratio(wire(k), wire(p)), "(recorded)")


def peers(t, folder):
    """The cases of peers_bench.py, with the targets Kelvo is held to."""
    everything = load(folder, "peers.json") or {}
    data = everything.get("peers", {})
    idle_kb = data.get("idle", {}).get("idle_rss_kb")
    if idle_kb:
        t.add("kelvo --service /S after a pass over an empty Inbox: resident", mib(idle_kb), "",
              "", "(the basis of the large mail's targets)")
    for key in ("nothing", "nothing10k"):
        if data.get(key):
            nothing(t, data[key])
        else:
            t.missing("Pass, nothing new (%s)" % key)
    case = data.get("unread")
    if not case:
        t.missing("Pass over 10,000 unread mails outside the 30 minutes")
    else:
        k, p, f = case["kelvo"], case["peer"], case["peer2"]
        same = case.get("peer3")
        heading = "Pass over %s unread mails received %.0f h ago: time" % (
            format(case["mails"], ","), case["age_seconds"] / 3600.0)
        if same:
            t.add(heading, ms(k["seconds"]),
                  "%s: %s" % (case["peer3_name"], ms(same["seconds"])),
                  ratio(k["seconds"], same["seconds"]), "<= 1.5 x",
                  k["seconds"] <= 1.5 * same["seconds"])
            t.add("  beside %s (no phone commands): time" % case["peer_name"], ms(k["seconds"]),
                  ms(p["seconds"]), ratio(k["seconds"], p["seconds"]), "(recorded)")
        else:
            t.add(heading, ms(k["seconds"]), "%s: %s" % (case["peer_name"], ms(p["seconds"])),
                  ratio(k["seconds"], p["seconds"]), "(recorded)")
        t.add("  downloaded", kb(k["bytes_received"]), kb(p["bytes_received"]),
              ratio(k["bytes_received"], p["bytes_received"]), "< 5 KB",
              k["bytes_received"] < 5000)
        t.add("  connections, client turns", "%d, %d" % (k["connections"], k["client_turns"]),
              "%d, %d" % (p["connections"], p["client_turns"]), "", "(recorded)")
        t.add("  beside %s: time, downloaded" % case["peer2_name"],
              "%s, %s" % (ms(k["seconds"]), kb(k["bytes_received"])),
              "%s, %s" % (ms(f["seconds"]), kb(f["bytes_received"])),
              ratio(k["seconds"], f["seconds"]), "(recorded)")
        prog = case["program"]
        after = prog["rss_after_passes_kb"]
        t.add("  kelvo --service /S: peak resident", mib(prog["peak_rss_kb"]),
              "%s: %s" % (case["peer_name"].split()[0], mib(p["peak_rss_kb"])),
              ratio(prog["peak_rss_kb"], p["peak_rss_kb"]), "(recorded)")
        t.add("  resident after pass 1 and pass %d (push on)" % len(after),
              "%s -> %s" % (mib(after[0]), mib(after[-1])), "", "", "no growth (< 1 MiB)",
              after[-1] - after[0] < 1024)
    case = data.get("twenty")
    if not case:
        t.missing("20 new mails forwarded")
    else:
        k, p, name = case["kelvo"], case["peer"], case["peer_name"]
        t.add("20 new mails forwarded: time without the specified pauses", ms(k["seconds"]),
              "%s: %s" % (name, ms(p["seconds"])), ratio(k["seconds"], p["seconds"]),
              "(recorded)")
        t.add("  SMTP sessions; RSET commands", "%d; %d" % (k["smtp_sessions"], k["smtp_rsets"]),
              "(MDA)", "", "1; 0", k["smtp_sessions"] == 1 and k["smtp_rsets"] == 0)
        t.add("  client turns, IMAP + SMTP", "%d + %d" % (k["client_turns"], k["smtp_turns"]),
              "%d" % p["client_turns"], ratio(k["client_turns"] + k["smtp_turns"],
                                              p["client_turns"]), "(recorded)")
        t.add("  3-s pauses after each sent mail; at the end",
              "%d; %d" % (k["pauses_after_sent"], k["pause_at_end"]), "", "", "(specified)")
        prog = case["program"]
        t.add("  kelvo --service /S: peak resident", mib(prog["peak_rss_kb"]),
              mib(p["peak_rss_kb"]), ratio(prog["peak_rss_kb"], p["peak_rss_kb"]), "(recorded)")
    case = data.get("large")
    if not case:
        t.missing("One 30 MB mail forwarded")
    else:
        p, size = case["peer"], case["mail_bytes"]
        for key, flag in (("kelvo0", "0"), ("kelvo", "1")):
            k, prog = case[key], case["program" + key[5:]]
            t.add("One %s mail, 添付フラグ \"%s\": downloaded" % (kb(size), flag),
                  "%s (%.3f x the mail)" % (kb(k["bytes_received"]), k["bytes_received"] / size),
                  "%s: %s" % (case["peer_name"], kb(p["bytes_received"])),
                  ratio(k["bytes_received"], p["bytes_received"]),
                  "< 100 KB" if flag == "0" else "once",
                  k["bytes_received"] < 1e5 if flag == "0" else k["bytes_received"] < 1.1 * size)
            if idle_kb:
                limit = idle_kb + (5 * 1024 if flag == "0" else 1.3 * size / 1024)
                target = ("<= %s (idle + 5 MiB)" if flag == "0" else
                          "<= %s (idle + 1.3 x the mail)") % mib(limit)
                met = prog["peak_rss_kb"] <= limit
            else:
                target, met = "(no idle figure)", False
            t.add("  kelvo --service /S: peak resident", mib(prog["peak_rss_kb"]),
                  mib(p["peak_rss_kb"]), ratio(prog["peak_rss_kb"], p["peak_rss_kb"]), target, met)
            t.add("  time without the specified pauses", ms(k["seconds"]), ms(p["seconds"]),
                  ratio(k["seconds"], p["seconds"]), "(recorded)")
    if "load_average" in everything:
        t.add("Machine's load average (1 min) after the peers' runs",
              "%.2f" % everything["load_average"][0], "", "", "(recorded)")


def at_once(t, sides, names, figure, most):
    """The pass over the accounts at once beside the slowest account's own, from connecting to
    the end (a sign-on's start is part of it), and a bare client's the same way."""
    k = sides["all"]
    slowest = max(names, key=lambda n: sides[n]["pass_seconds"])
    own = sides[slowest]["pass_seconds"]
    bare_own = max(sides["bare_" + n]["pass_seconds"] for n in names)
    t.add(figure, "%s (own, %s: %s)" % (ms(k["pass_seconds"]), slowest, ms(own)),
          "bare client, 3 at once: %s (slowest alone %s, %s)"
          % (ms(sides["bare"]["pass_seconds"]), ms(bare_own),
             ratio(sides["bare"]["pass_seconds"], bare_own)),
          ratio(k["pass_seconds"], own),
          "<= %.1f x the slowest own" % most if most else "(recorded)",
          k["pass_seconds"] <= most * own if most else None)


def accounts(t, folder):
    """accounts_bench.py: three accounts as one Inbox beside each one's own pass and fetchmail."""
    data = (load(folder, "accounts.json") or {}).get("accounts")
    if not data:
        return t.missing("Pass over three accounts as one Inbox")
    sides, names = data["sides"], sorted(data["mails"])
    k, f = sides["all"], sides["fetchmail"]
    mails = "/".join(format(data["mails"][n], ",") for n in names)
    t.add("Pass over 3 accounts as one Inbox, nothing new, %s read: time" % mails,
          ms(k["seconds"]), "fetchmail --check, 3 polls: %s" % ms(f["seconds"]),
          ratio(k["seconds"], f["seconds"]), "(recorded)")
    at_once(t, sides, names, "  connecting to the end, beside the slowest account's own pass "
            "(servers on the same two cores)", None)
    distant = data.get("distant")
    if distant:
        d = distant["sides"]
        t.add("  the accounts %.0f ms away (round trip): time" % distant["round_trip_ms"],
              ms(d["all"]["seconds"]), "fetchmail --check, 3 polls: %s"
              % ms(d["fetchmail"]["seconds"]), ratio(d["all"]["seconds"],
                                                     d["fetchmail"]["seconds"]), "(recorded)")
        at_once(t, d, names, "    connecting to the end, beside the slowest account's own pass",
                1.3)
    else:
        t.missing("Pass over three distant accounts")
    t.add("  sign-ons; connections", "%d; %d" % (k["sign_ons"], k["connections"]),
          "%d; %d" % (f["sign_ons"], f["connections"]), "", "sign-ons <= 3",
          k["sign_ons"] <= 3)
    t.add("  client turns, bytes on the wire", "%d, %s" % (k["client_turns"], kb(wire(k))),
          "%d, %s" % (f["client_turns"], kb(wire(f))), ratio(wire(k), wire(f)), "(recorded)")
    t.add("  each account's own pass: time; connecting to the end",
          ", ".join("%s %s; %s" % (n, ms(sides[n]["seconds"]), ms(sides[n]["pass_seconds"]))
                    for n in names), "", "", "(the basis)")
    t.add("Machine's load average (1 min) after the accounts' runs",
          "%.2f" % data["load_average"][0], "", "", "(recorded)")


def push(t, folder):
    data = load(folder, "push.json")
    if not data:
        return t.missing("Push: arrival to the phone")
    d = data["push_latency"]
    k, f, i = d["kelvo"], d["fetchmail"], d["imapfilter"]
    t.add("Push: arrival -> sink, median of %d notices" % len(k["samples"]),
          "%.2f s (longest %.2f s)" % (k["median_s"], k["max_s"]),
          "fetchmail --idle: %.2f s (longest %.2f s)" % (f["median_s"], f["max_s"]),
          ratio(k["median_s"], f["median_s"]), "<= fetchmail's", k["median_s"] <= f["median_s"])
    t.add("  beside imapfilter enter_idle (its own folder as sink)", "%.2f s" % k["median_s"],
          "%.2f s" % i["median_s"], ratio(k["median_s"], i["median_s"]), "(recorded)")
    t.add("  IMAP connections opened during the notices (all of the run)",
          "%d (%d)" % (k["connections_opened"], k["connections"]),
          "fetchmail %d (%d), imapfilter %d (%d)" % (f["connections_opened"], f["connections"],
                                                     i["connections_opened"], i["connections"]),
          "", "0: the one push connection", k["connections_opened"] == 0)
    off = d.get("kelvo_push_off")
    if off:
        t.add("  Kelvo with push off, %d-minute interval" % data["push_off_interval_minutes"],
              "%.1f s (longest %.1f s)" % (off["median_s"], off["max_s"]), "", "", "(recorded)")


def idle(t, folder):
    data = load(folder, "idle.json")
    if not data:
        return t.missing("Idle with push on")
    s, d, f, r = (data["idle"][n] for n in ("service", "desktop", "fetchmail", "reference"))
    over = "over %.0f s" % s["seconds"]
    t.add("Idle, push on, 30-min interval, kelvo --service /S: wake-ups " + over,
          "%.3f /s" % s["wakeups_per_second"], "fetchmail --idle: %.3f /s" % f["wakeups_per_second"],
          ratio(s["wakeups_per_second"], f["wakeups_per_second"]), "<= 0.05 /s",
          s["wakeups_per_second"] <= 0.05)
    t.add("  processor time", "%.4f %% of a core" % s["cpu_percent"],
          "%.4f %%" % f["cpu_percent"], ratio(s["cpu_percent"], f["cpu_percent"]), "< 0.005 %",
          s["cpu_percent"] < 0.005)
    t.add("  resident", mib(s["rss_mb"] * 1024), mib(f["rss_mb"] * 1024),
          ratio(s["rss_mb"], f["rss_mb"]), "<= 30 MiB", s["rss_mb"] <= 30)
    t.add("  threads; open files", "%d; %d" % (s["threads"], s["fds"]),
          "%d; %d" % (f["threads"], f["fds"]), "", "<= 2 threads", s["threads"] <= 2)
    t.add("  kelvo /S, offscreen, minimized: wake-ups, processor, resident",
          "%.3f /s, %.4f %%, %s" % (d["wakeups_per_second"], d["cpu_percent"],
                                    mib(d["rss_mb"] * 1024)),
          "bare Qt window, 2-s countdown: %.3f /s, %.4f %%, %s"
          % (r["wakeups_per_second"], r["cpu_percent"], mib(r["rss_mb"] * 1024)), "",
          "resident <= 50.7 MiB (before)", d["rss_mb"] <= 50.7)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    folder = sys.argv[1]
    only = set(filter(None, sys.argv[2].split(","))) if len(sys.argv) == 3 else set()
    tables = []
    t = Table()
    for name, section in (("pass", passes), ("engine", engine),
                          ("monitor", monitor), ("fuzz", fuzz)):
        if not only or name in only:
            section(t, folder)
    if t.rows:
        tables.append(t)
    peer_table = PeerTable()
    for name, section in (("peers", peers), ("accounts", accounts), ("push", push),
                          ("idle", idle)):
        if not only or name in only:
            section(peer_table, folder)
    if peer_table.rows:
        tables.append(peer_table)
    for n, table in enumerate(tables):
        if n:
            print()
        table.print()
    sys.exit(1 if any(table.missed for table in tables) else 0)


if __name__ == "__main__":
    main()
