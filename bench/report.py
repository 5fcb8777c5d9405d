#!/usr/bin/env python3
"""The table and the plot of one bench/run.sh run.

    report.py RESULTS_DIR

Reads the hyperfine and Google Benchmark JSON files that bench/run.sh left
in RESULTS_DIR, prints the table of ratios (also written as results.md)
and draws ratios.svg: one bar per pair, the launcher's median over the
reference's, with the line at 1 and the goal of each pair where it has one.
"""
import json
import os
import sys

# name, what the launcher does, what it is compared with, goal (or None)
PAIRS = [
    ("hinted-launch", "hinted launch (verification each start)",
     "java -cp app.jar Main", None),
    ("hinted-launch-cached", "second hinted launch (verified-JVM cache)",
     "java -cp app.jar Main", 1.15),
    ("verification", "verification of one home (VERIFY_JVM)",
     "the same java command", None),
    ("extraction", "extraction of the payload (-tv:extract)",
     "cp of the same file", 1 / 0.9),
    ("disk-walk", "disk walk (SEARCH over a tree)", "find on the same tree",
     None),
    ("class-data-plain", "second start, class-data archive, class path",
     "its own java command", 0.8),
    ("class-data-loader", "second start, class-data archive, own loader",
     "its own java command", 0.8),
]


def load(path):
    try:
        with open(path) as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def machine(results):
    facts = {}
    try:
        with open(os.path.join(results, "machine.txt")) as f:
            for line in f:
                key, _, value = line.rstrip("\n").partition("=")
                facts[key] = value
    except OSError:
        pass
    return facts


def ratios(results):
    rows = []
    for name, what, against, goal in PAIRS:
        data = load(os.path.join(results, name + ".json"))
        if not data or len(data.get("results", [])) != 2:
            continue
        ours, theirs = data["results"]
        rows.append({
            "name": name, "what": what, "against": against, "goal": goal,
            "ours": ours["median"], "theirs": theirs["median"],
            "ratio": ours["median"] / theirs["median"],
        })
    return rows


def gbench_rows(results, file_name):
    data = load(os.path.join(results, file_name))
    rows = []
    for b in (data or {}).get("benchmarks", []):
        if b.get("error_occurred"):
            rows.append((b["name"], "skipped: " + b.get("error_message", "")))
            continue
        text = "%.1f %s" % (b["real_time"], b["time_unit"])
        if "bytes_per_second" in b:
            text += ", %.0f MB/s" % (b["bytes_per_second"] / 1e6)
        rows.append((b["name"], text))
    return rows


def gbench_time_ns(results, file_name, name):
    data = load(os.path.join(results, file_name)) or {}
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}
    for b in data.get("benchmarks", []):
        if b["name"] == name and not b.get("error_occurred"):
            return b["real_time"] * scale[b["time_unit"]]
    return None


def table(results, rows, facts):
    out = []
    out.append("| Launcher | Median | Against | Median | Ratio | Goal |")
    out.append("|---|---:|---|---:|---:|---:|")
    for r in rows:
        goal = "" if r["goal"] is None else "%.2f" % r["goal"]
        out.append("| %s | %.1f ms | %s | %.1f ms | %.2f | %s |" % (
            r["what"], r["ours"] * 1e3, r["against"], r["theirs"] * 1e3,
            r["ratio"], goal))
    gap = load(os.path.join(results, "captured-child-end.json"))
    out.append("")
    if gap:
        out.append("Captured child that prints nothing, from its end to the "
                   "launcher's return: median %.2f ms (min %.2f, max %.2f, "
                   "%d runs); the same child run directly, to the return of "
                   "its own process: median %.2f ms." % (
                       gap["median"] * 1e3, gap["min"] * 1e3,
                       gap["max"] * 1e3, gap["runs"],
                       gap.get("direct_median", 0) * 1e3))
    lib = gbench_time_ns(results, "hvapi_bench.json",
                         "BM_LibraryGetRebuildRate")
    raw = gbench_time_ns(results, "hvapi_bench.json",
                         "BM_DirectIoctlSameRequests")
    if lib is not None and raw is not None:
        out.append("hvapi per command beyond the simulator's answer "
                   "(GetRebuildRate through the library minus its two "
                   "requests sent directly with ioctl): %.0f ns." % (lib - raw))
    if "launcher_bytes" in facts:
        out.append("Launcher program: %s bytes (text %s, data %s, bss %s); "
                   "needs %s." % (facts["launcher_bytes"], facts.get("text"),
                                  facts.get("data"), facts.get("bss"),
                                  facts.get("needed", "").strip()))
    for file_name in ("launcher_bench.json", "hvapi_bench.json"):
        rows_g = gbench_rows(results, file_name)
        if rows_g:
            out.append("")
            out.append("| %s | Time per iteration |" % file_name[:-5])
            out.append("|---|---:|")
            for name, text in rows_g:
                out.append("| %s | %s |" % (name, text))
    return "\n".join(out) + "\n"


def svg(rows):
    """Horizontal bars of the ratios, a line at 1, a tick at each goal."""
    width, left, bar, gap, top = 720, 330, 22, 12, 40
    scale_max = max([2.5] + [r["ratio"] * 1.1 for r in rows])
    plot = width - left - 30
    height = top + len(rows) * (bar + gap) + 40

    def x(value):
        return left + plot * value / scale_max

    parts = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
        'font-family="sans-serif" font-size="12">' % (width, height),
        '<rect width="100%" height="100%" fill="white"/>',
        '<text x="%d" y="20" font-size="14">Launcher median / reference '
        'median (lower is faster; goals marked)</text>' % 10,
    ]
    for i, r in enumerate(rows):
        y = top + i * (bar + gap)
        colour = "#3a7" if r["ratio"] <= (r["goal"] or 1.0) else "#d73"
        parts.append('<text x="%d" y="%d" text-anchor="end">%s</text>' % (
            left - 8, y + bar * 0.7, r["what"]))
        parts.append('<rect x="%d" y="%d" width="%.1f" height="%d" '
                     'fill="%s"/>' % (left, y, x(r["ratio"]) - left, bar,
                                      colour))
        parts.append('<text x="%.1f" y="%d">%.2f</text>' % (
            x(r["ratio"]) + 4, y + bar * 0.7, r["ratio"]))
        if r["goal"] is not None:
            parts.append('<line x1="%.1f" x2="%.1f" y1="%d" y2="%d" '
                         'stroke="black" stroke-width="2" '
                         'stroke-dasharray="3,2"/>' % (
                             x(r["goal"]), x(r["goal"]), y - 3, y + bar + 3))
    bottom = top + len(rows) * (bar + gap)
    parts.append('<line x1="%.1f" x2="%.1f" y1="%d" y2="%d" stroke="#444"/>'
                 % (x(1), x(1), top - 6, bottom))
    for tick in range(0, int(scale_max) + 1):
        parts.append('<text x="%.1f" y="%d" text-anchor="middle">%d</text>'
                     % (x(tick), bottom + 16, tick))
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: report.py RESULTS_DIR")
    results = sys.argv[1]
    rows = ratios(results)
    facts = machine(results)
    text = table(results, rows, facts)
    with open(os.path.join(results, "results.md"), "w") as f:
        f.write(text)
    with open(os.path.join(results, "ratios.svg"), "w") as f:
        f.write(svg(rows))
    head = ", ".join("%s: %s" % (k, facts[k]) for k in
                     ("cores", "cpu", "kernel", "java") if k in facts)
    print(head)
    print(text, end="")


if __name__ == "__main__":
    main()
