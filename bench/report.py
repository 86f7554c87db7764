#!/usr/bin/python3
"""Prints the benchmark table from the results folder scripts/bench.sh fills.

    report.py RESULTS_DIR

Each row: the figure, what was measured, its target, whether the target was met, and the
plain reference measured in the same run. Ends with status 1 when a target was missed.
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
    def __init__(self):
        self.rows = []
        self.missed = 0

    def add(self, figure, measured, target="", met=None, reference=""):
        if met is False:
            self.missed += 1
        mark = "" if met is None else ("yes" if met else "NO")
        self.rows.append((figure, measured, target, mark, reference))

    def missing(self, figure):
        self.missed += 1
        self.rows.append((figure, "not measured", "", "NO", ""))

    def print(self):
        head = ("Figure", "Measured", "Target", "Met", "Reference (same run)")
        widths = [max(len(r[i]) for r in self.rows + [head]) for i in range(5)]
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


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    t = Table()
    idle(t, folder)
    push(t, folder)
    passes(t, folder)
    engine(t, folder)
    monitor(t, folder)
    fuzz(t, folder)
    t.print()
    sys.exit(1 if t.missed else 0)


if __name__ == "__main__":
    main()
