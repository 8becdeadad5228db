#!/usr/bin/env python3
"""Turns one run of velm_bench (its JSON output) into the results table, the
bar chart of the ratios, and the results section of BENCHMARKS.md.

Every time is the median over the repetitions of the CPU time of one
operation: with other processes on the machine, CPU time leaves out the
moments the benchmark was not running. Ratios are library / limit and
library / best peer: 1 is parity, above 1 the library is slower.
"""
import argparse
import glob
import json
import os
import platform
import re
import sys
from collections import OrderedDict

TIME_UNITS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}

PEER_NAMES = {
    "spdlog": "spdlog",
    "inih_parse": "inih, parse per lookup",
    "inih_map": "INIReader, parsed once",
}

BEGIN = "<!-- results:begin -->"
END = "<!-- results:end -->"


def row_label(row):
    """The table's description of a row id such as 3.ini200.middle."""
    m = re.fullmatch(r"2\.accepted\.threads\.(\d+)", row)
    if m:
        return "2 accepted messages from %s thread%s, file flushed, lines/s in total" % (
            m.group(1), "" if m.group(1) == "1" else "s")
    m = re.fullmatch(r"3\.ini(\d+)\.(\w+)", row)
    if m:
        return "3 cached INI lookup, %s lines, key at the %s" % (m.group(1), m.group(2))
    m = re.fullmatch(r"3\.flood(\d+)k\.(keys|sections)\.(read|lookup)", row)
    if m:
        what = "reading and indexing a file of" if m.group(3) == "read" else "cached lookup among"
        return "3 flooding: %s %s,000 %s colliding under the old hash (limit: random %s)" % (
            what, m.group(1), "keys of one section" if m.group(2) == "keys" else "section names", m.group(2))
    m = re.fullmatch(r"3\.flood(\d+)k\.pref", row)
    if m:
        return "3 flooding: preference conversion of %s,000 colliding values (limit: random values)" % m.group(1)
    m = re.fullmatch(r"5\.utf8_to_iso\.(\w+?)\.(\w+?)(\.exported)?", row)
    if m:
        text = "mostly ASCII" if m.group(1) == "mostly_ascii" else "Latin-1-heavy"
        how = "VELM_convert_UTF8_to_ISO, which chose %s" if m.group(3) else "the %s block folder"
        return "5 UTF-8 fold in place, 1 MiB %s text: %s" % (text, how % m.group(2))
    m = re.fullmatch(r"4\.get_param_string\.(\d+)", row)
    if m:
        return "4 GetParamString, last of %s fields" % m.group(1)
    m = re.fullmatch(r"4\.get_count\.(\d+)", row)
    if m:
        return "4 GetCount, %s fields" % m.group(1)
    return {
        "1.dropped": "1 dropped message (VELM_DEBUG, levels 4)",
        "2.accepted": "2 accepted message, file only, no timestamp, flushed (allocations per line counted)",
        "2.accepted.stamped": "2 accepted message (VELM_ERROR): timestamp, file flushed and standard output",
        "2.accepted.journal": "2 accepted message sent to journald as well (VELM_LOG_SYSLOG=journal)",
        "5.utf8_to_iso": "5 VELM_convert_UTF8_to_ISO in place, 1 MiB",
        "6.step_year": "6 CVELM_Datum step, through 2023",
        "6.step_from_year_100": "6 CVELM_Datum step from the year 100",
        "3.ini10M.first": "3 first INI lookup, 10M lines (109 MB): reading the file",
        "3.ini10M.cached": "3 cached INI lookup, 10M lines",
        "3.files100k.round": "3 cached INI lookup going round 100,000 files",
        "3.files100k.one": "3 cached INI lookup of one file, 100,000 cached",
        "3.pref100k.build": "3 preference cache of 100,000 sections: building it",
        "3.pref100k.lookup": "3 preference lookup, 100,000 sections",
        "3.ini200.middle.reload": "3 cached INI lookup, 200 lines, key at the middle, VELM_CONFIG_RELOAD=1",
    }.get(row, row)


class Result:
    def __init__(self, ns, bytes_per_second=None, rss_per_byte=None, lines_per_second=None, allocations=None):
        self.ns = ns                      # CPU time of one operation
        self.bps = bytes_per_second       # throughput, where the case has one
        self.rss = rss_per_byte           # resident memory added per byte read, where measured
        self.lps = lines_per_second       # lines per second of all threads together
        self.allocs = allocations         # heap allocations per operation, where counted


def load(path, order):
    """{row: {variant: Result}} in the given order of names (those it misses
    last, in the order of the run), plus the context."""
    with open(path) as f:
        data = json.load(f)
    rank = {name: i for i, name in enumerate(order)}
    benchmarks = sorted(data["benchmarks"],
                        key=lambda b: rank.get(b.get("run_name", b["name"]), len(rank)))
    aggregated = any(b.get("run_type") == "aggregate" for b in benchmarks)
    rows = OrderedDict()
    for b in benchmarks:
        if aggregated and b.get("aggregate_name") != "median":
            continue
        if b.get("error_occurred"):
            print("error in %s: %s" % (b["name"], b.get("error_message")), file=sys.stderr)
            continue
        # Settings that Google Benchmark appends to a name are no part of it.
        name = re.sub(r"(/iterations:\d+|/manual_time)+$", "", b.get("run_name", b["name"]))
        threads = re.fullmatch(r"(.*)/library/real_time/threads:(\d+)", name)
        if threads:
            # Several threads logging at once: lines per second in total, in
            # wall-clock time, each thread count a row of its own.
            row, variant = "%s.%s" % threads.groups(), "library"
            rows.setdefault(row, OrderedDict())[variant] = Result(
                b["real_time"] * TIME_UNITS[b.get("time_unit", "ns")], lines_per_second=b.get("items_per_second"))
            continue
        row, _, variant = name.rpartition("/")
        # A case that times itself reports that time as its real time.
        manual = b.get("run_name", b["name"]).endswith("/manual_time")
        ns = b["real_time" if manual else "cpu_time"] * TIME_UNITS[b.get("time_unit", "ns")] / b.get("ops", 1.0)
        rows.setdefault(row, OrderedDict())[variant] = Result(ns, b.get("bytes_per_second"),
                                                              b.get("rss_per_file_byte"), allocations=b.get("allocs"))
    return rows, data.get("context", {})


def fmt_time(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if ns >= scale:
            return "%.3g %s" % (ns / scale, unit)
    return "%.3g ns" % ns


def fmt_value(r):
    if r.lps:
        return "%.3g k lines/s" % (r.lps / 1e3)
    if r.bps and r.bps < 1e9:
        return "%.3g MB/s" % (r.bps / 1e6)
    if r.bps:
        return "%.3g GB/s" % (r.bps / 1e9)
    return fmt_time(r.ns)


def fmt_ratio(x):
    return "—" if x is None else ("%.3g×" % x)


def cost(r):
    """What a ratio compares: time, or for a throughput the inverse."""
    return 1.0 / r.bps if r.bps else r.ns


def ratios(variants):
    lib = variants.get("library")
    limit = variants.get("limit")
    peers = {k: v for k, v in variants.items() if k not in ("library", "limit")}
    to_limit = cost(lib) / cost(limit) if lib and limit else None
    best = min(peers.values(), key=cost) if peers else None
    to_peer = cost(lib) / cost(best) if lib and best else None
    return to_limit, to_peer


def verdict(ok):
    return "met" if ok else "**missed**"


def within_twice_200_lines(lib, rows):
    """The target of the large lookups: at most twice the 200-line lookup
    (its key in the middle) of the same run."""
    base = rows.get("3.ini200.middle", {}).get("library")
    if not base:
        return None
    return "≤ 2× the 200-line lookup (%s): %s" % (fmt_time(base.ns), verdict(lib.ns <= 2 * base.ns))


def target(row, variants, rows):
    """The target of a row and whether this run meets it, or None."""
    lib = variants.get("library")
    if not lib:
        return None
    if row == "3.ini10M.first":
        parts = []
        if "inih_parse" in variants:
            parts.append("≥ inih's parse: %s" % verdict(lib.bps >= variants["inih_parse"].bps))
        if lib.rss:
            parts.append("memory %.2f× the file (≤ 2×): %s" % (lib.rss, verdict(lib.rss <= 2)))
        return "; ".join(parts)
    if row in ("3.ini10M.cached", "3.files100k.round", "3.files100k.one", "3.pref100k.lookup"):
        return within_twice_200_lines(lib, rows)
    if row == "3.ini200.middle.reload":
        unset = rows.get("3.ini200.middle", {}).get("library")
        if unset:
            return "≤ 1.1× the variable unset (%.2f×): %s" % (lib.ns / unset.ns, verdict(lib.ns <= 1.1 * unset.ns))
        return None
    m = re.fullmatch(r"2\.accepted\.threads\.(\d+)", row)
    if m and m.group(1) != "1":
        one = rows.get("2.accepted.threads.1", {}).get("library")
        if one and lib.lps and one.lps:
            return "≥ 1 thread's lines/s (%.2f×): %s" % (lib.lps / one.lps, verdict(lib.lps >= one.lps))
        return None
    if row == "1.dropped":
        parts = ["< 2 ns: %s" % verdict(lib.ns < 2.0)]
        if "spdlog" in variants:
            parts.append("≤ 2× spdlog: %s" % verdict(lib.ns <= 2.0 * variants["spdlog"].ns))
        return "; ".join(parts)
    if row == "2.accepted":
        parts = []
        if "limit" in variants:
            parts.append("≤ 1.1× limit: %s" % verdict(lib.ns <= 1.1 * variants["limit"].ns))
        if "spdlog" in variants:
            parts.append("≤ spdlog: %s" % verdict(lib.ns <= variants["spdlog"].ns))
        if lib.allocs is not None:
            parts.append("%g allocations per line (0): %s" % (lib.allocs, verdict(lib.allocs == 0)))
        return "; ".join(parts)
    if row.startswith("3.ini200."):
        parts = []
        if "inih_parse" in variants:
            speedup = variants["inih_parse"].ns / lib.ns
            parts.append("≥ 100× faster than parsing (%.0f×): %s" % (speedup, verdict(speedup >= 100)))
        if "inih_map" in variants:
            parts.append("≤ 10× map: %s" % verdict(lib.ns <= 10 * variants["inih_map"].ns))
        return "; ".join(parts)
    if re.fullmatch(r"3\.flood\d+k\..*", row) and "limit" in variants:
        return "≤ 2× random: %s" % verdict(lib.ns <= 2 * variants["limit"].ns)
    if row.startswith("5.utf8_to_iso") and "limit" in variants and lib.bps and variants["limit"].bps:
        return "≥ ⅓ of memcpy: %s" % verdict(lib.bps * 3 >= variants["limit"].bps)
    if row == "6.step_from_year_100":
        return "< 1 µs: %s" % verdict(lib.ns < 1000)
    return None


def table(rows):
    out = ["| Case | Library | Limit | Peers | Ratio to limit | Ratio to best peer | Target |",
           "|---|--:|--:|---|--:|--:|---|"]
    for row, variants in rows.items():
        lib = variants.get("library")
        limit = variants.get("limit")
        peers = ["%s: %s" % (PEER_NAMES.get(k, k), fmt_value(v))
                 for k, v in variants.items() if k not in ("library", "limit")]
        to_limit, to_peer = ratios(variants)
        out.append("| %s | %s | %s | %s | %s | %s | %s |" % (
            row_label(row), fmt_value(lib) if lib else "—", fmt_value(limit) if limit else "—",
            "; ".join(peers) or "—", fmt_ratio(to_limit), fmt_ratio(to_peer),
            target(row, variants, rows) or ""))
    return "\n".join(out)


def chart(rows, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    labels, to_limit, to_peer = [], [], []
    for row, variants in rows.items():
        a, b = ratios(variants)
        labels.append(row_label(row))
        to_limit.append(a)
        to_peer.append(b)
    n = len(labels)
    fig, ax = plt.subplots(figsize=(11, 0.42 * n + 1.6))
    y = list(range(n))
    h = 0.38
    # Bars grow from parity: to the right where the library is slower, to the
    # left where it is faster.
    for values, dy, label, color in ((to_limit, -h / 2, "library / limit", "#4c72b0"),
                                     (to_peer, h / 2, "library / best peer", "#dd8452")):
        ax.barh([i + dy for i in y], [(v or 1.0) - 1.0 for v in values], h, left=1.0,
                label=label, color=color)
        for i, v in enumerate(values):
            if v:
                ax.text(v * 1.08 if v >= 1 else v / 1.08, i + dy, "%.3g×" % v, va="center",
                        ha="left" if v >= 1 else "right", fontsize=7)
    shown = [v for v in to_limit + to_peer if v]
    if shown:
        ax.set_xlim(min(min(shown), 1.0) / 2, max(max(shown), 1.0) * 2)
    ax.axvline(1.0, color="black", linewidth=0.8)
    ax.set_xscale("log")
    ax.set_yticks(y)
    ax.set_yticklabels(labels, fontsize=8)
    ax.invert_yaxis()
    ax.set_xlabel("ratio of costs (log scale; 1 = parity, right of 1 = library slower)")
    ax.set_title("libvelm_basetool against its limits and its peers")
    ax.legend(loc="lower right", fontsize=8)
    ax.grid(axis="x", which="both", linewidth=0.3)
    fig.tight_layout()
    fig.savefig(path, dpi=110)
    plt.close(fig)


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def simd_flags():
    """The vector extensions the block-wise code of the library can use."""
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("flags"):
                    have = set(line.split(":", 1)[1].split())
                    wanted = ["ssse3", "avx2", "avx512f", "avx512bw", "avx512_vbmi2"]
                    return " ".join(w for w in wanted if w in have) or "none"
    except OSError:
        pass
    return "unknown"


def compiler(build_dir):
    """The compiler CMake found, as "GNU 12.2.0 (/usr/bin/c++)"."""
    found = {}
    for path in glob.glob(os.path.join(build_dir, "CMakeFiles", "*", "CMakeCXXCompiler.cmake")):
        with open(path) as f:
            for m in re.finditer(r'set\((CMAKE_CXX_COMPILER(?:_ID|_VERSION)?) "([^"]*)"\)', f.read()):
                found[m.group(1)] = m.group(2)
    if not found:
        return "unknown"
    return "%s %s (%s)" % (found.get("CMAKE_CXX_COMPILER_ID", "?"),
                           found.get("CMAKE_CXX_COMPILER_VERSION", "?"),
                           found.get("CMAKE_CXX_COMPILER", "?"))


def machine(context, build_dir):
    load = context.get("load_avg")
    load_text = ", ".join("%.2f" % x for x in load) if load else "unknown"
    return "\n".join([
        "- Machine: %d cores (`nproc`), %s (vector extensions: %s), %s %s" % (
            len(os.sched_getaffinity(0)), cpu_model(), simd_flags(), platform.system(), platform.release()),
        "- Compiler: %s, Release build" % compiler(build_dir),
        "- Run: %s; load average at the start %s" % (context.get("date", "unknown"), load_text),
    ])


def link_from(document, target_path):
    """target_path as a link in document: relative to the document's folder."""
    return os.path.relpath(os.path.abspath(target_path), os.path.dirname(os.path.abspath(document)))


def results_section(rows, context, args, document):
    return "\n".join([
        machine(context, args.build_dir),
        "- Settings: `--benchmark_min_time=%s`, %s repetitions run in random order, median of the "
        "CPU time per operation (case 5: of the operation's own time by the steady clock)"
        % (args.min_time, args.repetitions),
        "",
        table(rows),
        "",
        "![Ratios to the limit and to the best peer](%s)" % link_from(document, args.chart),
    ])


def update_doc(path, section):
    """Replaces the text between the results markers of BENCHMARKS.md."""
    try:
        with open(path) as f:
            text = f.read()
    except OSError:
        print("%s not found: not updated" % path, file=sys.stderr)
        return
    start, end = text.find(BEGIN), text.find(END)
    if start < 0 or end < start:
        print("%s has no results markers: not updated" % path, file=sys.stderr)
        return
    text = text[:start + len(BEGIN)] + "\n" + section + "\n" + text[end:]
    with open(path, "w") as f:
        f.write(text)


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("json")
    p.add_argument("--results", required=True, help="the Markdown table to write")
    p.add_argument("--chart", required=True, help="the PNG to write")
    p.add_argument("--doc", required=True, help="BENCHMARKS.md, whose results section is replaced")
    p.add_argument("--order", help="benchmark names, one a line, in the order of the table")
    p.add_argument("--build-dir", default=".")
    p.add_argument("--min-time", default="?")
    p.add_argument("--repetitions", default="?")
    args = p.parse_args()

    order = []
    if args.order:
        with open(args.order) as f:
            order = [line.strip() for line in f if line.strip()]
    rows, context = load(args.json, order)
    chart(rows, args.chart)
    with open(args.results, "w") as f:
        f.write("# Benchmark results\n\nWritten by `bench/run.sh`; see BENCHMARKS.md for what "
                "each case measures.\n\n")
        f.write(results_section(rows, context, args, args.results))
        f.write("\n")
    update_doc(args.doc, results_section(rows, context, args, args.doc))
    print(table(rows))


if __name__ == "__main__":
    main()
