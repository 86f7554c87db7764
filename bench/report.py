#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Prints the benchmark table from the results folder scripts/bench.sh fills.

    report.py RESULTS_DIR [SECTIONS]

Each row: the figure, what was measured, its target, whether the target was met, and the
plain reference measured in the same run; a second table sets Kelvo beside the peer tools.
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


def idle(t, folder):
    data = load(folder, "idle.json")
    if not data:
        return t.missing("Idle between passes")
    k, ref = data["idle"]["offscreen"]["kelvo"], data["idle"]["offscreen"]["reference"]
    secs = "over %.0f s" % k["seconds"]
    t.add("Idle: processor time " + secs, "%.3f %% of a core" % k["cpu_percent"], "< 1 %",
          k["cpu_percent"] < 1.0, "Qt window, 2 s countdown: %.3f %%" % ref["cpu_percent"])
    t.add("Idle: wake-ups " + secs, "%.2f /s" % k["wakeups_per_second"], "< 1 /s",
          k["wakeups_per_second"] < 1.0, "same window: %.2f /s" % ref["wakeups_per_second"])
    t.add("Idle: resident memory", "%.1f MB" % k["rss_mb"], "(recorded)", None,
          "same window: %.1f MB" % ref["rss_mb"])
    x, xref = data["idle"]["xvfb"]["kelvo"], data["idle"]["xvfb"]["reference"]
    t.add("Idle on Xvfb, no window manager", "%.3f %%, %.2f wake-ups/s, %.1f MB"
          % (x["cpu_percent"], x["wakeups_per_second"], x["rss_mb"]), "(recorded)", None,
          "same window: %.3f %%, %.2f /s" % (xref["cpu_percent"], xref["wakeups_per_second"]))


def push(t, folder):
    data = load(folder, "push.json")
    if not data:
        return t.missing("Push: arrival to the phone")
    on, off = data["push_latency"]["push_on"], data["push_latency"]["push_off"]
    t.add("Push on: arrival to the phone, median of %d" % len(on["samples"]),
          "%.2f s (longest %.2f s)" % (on["median_s"], on["max_s"]), "< 1 s", on["median_s"] < 1.0,
          "push off, 1-minute interval: %.1f s (longest %.1f s)" % (off["median_s"], off["max_s"]))
    data = load(folder, "idle_push.json")
    if not data:
        return t.missing("Push on: idle between passes")
    k = data["idle"]["offscreen"]["kelvo"]
    t.add("Push on: idle processor time", "%.3f %% of a core" % k["cpu_percent"], "< 1 %",
          k["cpu_percent"] < 1.0)
    t.add("Push on: idle wake-ups", "%.2f /s" % k["wakeups_per_second"], "< 1 /s",
          k["wakeups_per_second"] < 1.0)


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
    """Kelvo beside a peer tool doing the same work: each figure of both, their ratio, the
    target and whether it was met."""

    def __init__(self):
        super().__init__(("Figure", "Kelvo", "Peer (same run)", "Ratio", "Target", "Met"))

    def add(self, figure, kelvo, peer, ratio="", target="", met=None):
        if met is False:
            self.missed += 1
        mark = "" if met is None else ("yes" if met else "NO")
        self.rows.append((figure, kelvo, peer, ratio, target, mark))


def ratio(a, b):
    return "%.1f x" % (a / b) if b else ""


def kb(n):
    return "%.2f KB" % (n / 1e3) if n < 1e6 else "%.2f MB" % (n / 1e6)


def mb(kilobytes):
    return "%.1f MB" % (kilobytes / 1024.0)


def ms(seconds):
    return "%.1f ms" % (1e3 * seconds) if seconds < 1 else "%.3f s" % seconds


def wire(r):
    return r["bytes_sent"] + r["bytes_received"]


def peers(t, folder):
    """The four cases of peers_bench.py, with the targets Kelvo is held to."""
    everything = load(folder, "peers.json") or {}
    data = everything.get("peers", {})
    case = data.get("nothing")
    if not case:
        t.missing("Nothing new, 1,000 read mails")
    else:
        k, p, name = case["kelvo"], case["peer"], case["peer_name"]
        t.add("Nothing new, 1,000 mails: peer", "Kelvo's pass", name)
        t.add("  time, sign-on to sign-off", ms(k["seconds"]), ms(p["seconds"]),
              ratio(k["seconds"], p["seconds"]), "<= 2 x", k["seconds"] <= 2 * p["seconds"])
        t.add("  connections, sign-ons", "%d, %d" % (k["connections"], k["sign_ons"]),
              "%d, %d" % (p["connections"], p["sign_ons"]), "", "1, 1",
              k["connections"] == 1 and k["sign_ons"] == 1)
        t.add("  client turns", "%d" % k["client_turns"], "%d" % p["client_turns"],
              ratio(k["client_turns"], p["client_turns"]), "<= 2 x",
              k["client_turns"] <= 2 * p["client_turns"])
        t.add("  bytes on the wire", kb(wire(k)), kb(wire(p)), ratio(wire(k), wire(p)), "<= 2 x",
              wire(k) <= 2 * wire(p))
        t.add("  peak resident memory", mb(k["peak_rss_kb"]), mb(p["peak_rss_kb"]),
              ratio(k["peak_rss_kb"], p["peak_rss_kb"]), "(recorded)")
    case = data.get("unread")
    if not case:
        t.missing("10,000 unread, none let through")
    else:
        k, p, name = case["kelvo"], case["peer"], case["peer_name"]
        fields = case["header_fields_bytes"]
        t.add("%s unread, none let through: peer" % format(case["mails"], ","), "Kelvo's pass",
              name)
        t.add("  time, sign-on to sign-off", ms(k["seconds"]), ms(p["seconds"]),
              ratio(k["seconds"], p["seconds"]), "< 0.5 s", k["seconds"] < 0.5)
        t.add("  connections, sign-ons", "%d, %d" % (k["connections"], k["sign_ons"]),
              "%d, %d" % (p["connections"], p["sign_ons"]), "", "1, 1",
              k["connections"] == 1 and k["sign_ons"] == 1)
        t.add("  client turns", "%d" % k["client_turns"], "%d" % p["client_turns"],
              ratio(k["client_turns"], p["client_turns"]), "(recorded)")
        t.add("  bytes on the wire", kb(wire(k)), kb(wire(p)), ratio(wire(k), wire(p)),
              "<= %s (1.1 x the header fields' answers, %s)" % (kb(1.1 * fields), kb(fields)),
              wire(k) <= 1.1 * fields)
        limit = k["rss_before_kb"] + 15 * 1024
        t.add("  peak resident memory", mb(k["peak_rss_kb"]), mb(p["peak_rss_kb"]),
              ratio(k["peak_rss_kb"], p["peak_rss_kb"]),
              "<= %s (%s before the pass + 15 MB)" % (mb(limit), mb(k["rss_before_kb"])),
              k["peak_rss_kb"] <= limit)
    case = data.get("twenty")
    if not case:
        t.missing("20 new mails forwarded")
    else:
        k, p, name = case["kelvo"], case["peer"], case["peer_name"]
        t.add("20 new mails forwarded: peer", "Kelvo's pass", name)
        t.add("  time without the specified pauses", ms(k["seconds"]), ms(p["seconds"]),
              ratio(k["seconds"], p["seconds"]), "<= 3 x", k["seconds"] <= 3 * p["seconds"])
        t.add("  3-s pauses after each sent mail", "%d" % k["pauses_after_sent"], "", "",
              "(specified)")
        t.add("  3-s pause at the end of the pass", "%d" % k["pause_at_end"], "", "",
              "(specified)")
        t.add("  SMTP sessions", "%d" % k["smtp_sessions"], "(MDA)", "", "1",
              k["smtp_sessions"] == 1)
        t.add("  IMAP connections, sign-ons", "%d, %d" % (k["connections"], k["sign_ons"]),
              "%d, %d" % (p["connections"], p["sign_ons"]), "", "(recorded)")
        t.add("  client turns, IMAP + SMTP", "%d + %d" % (k["client_turns"], k["smtp_turns"]),
              "%d" % p["client_turns"], ratio(k["client_turns"] + k["smtp_turns"],
                                              p["client_turns"]), "(recorded)")
        t.add("  peak resident memory", mb(k["peak_rss_kb"]), mb(p["peak_rss_kb"]),
              ratio(k["peak_rss_kb"], p["peak_rss_kb"]), "(recorded)")
    case = data.get("large")
    if not case:
        t.missing("One 30 MB mail forwarded")
    else:
        k, p, name, size = case["kelvo"], case["peer"], case["peer_name"], case["mail_bytes"]
        t.add("One %s mail forwarded over SMTP: peer" % kb(size), "Kelvo's pass", name)
        t.add("  downloaded", "%s (%.2f x the mail)" % (kb(k["bytes_received"]),
                                                      k["bytes_received"] / size),
              "%s (%.2f x)" % (kb(p["bytes_received"]), p["bytes_received"] / size),
              ratio(k["bytes_received"], p["bytes_received"]), "once",
              k["bytes_received"] < 1.1 * size)
        t.add("  peak resident memory", mb(k["peak_rss_kb"]), mb(p["peak_rss_kb"]),
              ratio(k["peak_rss_kb"], p["peak_rss_kb"]), "< 130 MB",
              k["peak_rss_kb"] < 130 * 1024)
        t.add("  time without the specified pauses", ms(k["seconds"]), ms(p["seconds"]),
              ratio(k["seconds"], p["seconds"]), "(recorded)")
        t.add("  3-s pauses after each sent mail; at the end",
              "%d; %d" % (k["pauses_after_sent"], k["pause_at_end"]), "", "", "(specified)")
        t.add("  IMAP connections, sign-ons, client turns",
              "%d, %d, %d" % (k["connections"], k["sign_ons"], k["client_turns"]),
              "%d, %d, %d" % (p["connections"], p["sign_ons"], p["client_turns"]), "",
              "(recorded)")
        t.add("  SMTP sessions, bytes sent", "%d, %s" % (k["smtp_sessions"],
                                                          kb(k["smtp_bytes_sent"])),
              "%d, %s" % (p["smtp_sessions"], kb(p["smtp_bytes_sent"])), "", "(recorded)")
    if "load_average" in everything:
        t.add("Machine's load average (1 min) after the runs",
              "%.2f" % everything["load_average"][0], "", "", "(recorded)")


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    folder = sys.argv[1]
    only = set(filter(None, sys.argv[2].split(","))) if len(sys.argv) == 3 else set()
    tables = []
    t = Table()
    for name, section in (("idle", idle), ("push", push), ("pass", passes), ("engine", engine),
                          ("monitor", monitor), ("fuzz", fuzz)):
        if not only or name in only:
            section(t, folder)
    if t.rows:
        tables.append(t)
    if not only or "peers" in only:
        tables.append(PeerTable())
        peers(tables[-1], folder)
    for n, table in enumerate(tables):
        if n:
            print()
        table.print()
    sys.exit(1 if any(table.missed for table in tables) else 0)


if __name__ == "__main__":
    main()
