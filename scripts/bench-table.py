"""Prints one table of the benchmarks' medians: per case, ksLog's median, each peer's median
measured in the same run, and the ratio ksLog / peer (below 1: ksLog is faster).

Benchmark names are "<case>/<implementation>"; the implementations "ksLog" and "kslogd" are
ours. Of Google Benchmark's own suffixes, numeric arguments and thread counts stay with the
case. A case's counters (rates, lost shares, load average) follow the table.
Cases named "<class>@<point>" are summed up per class after the table (with --classes, only
they are printed): for each peer,
the median over the points of ksLog's and the peer's medians, and the median and the worst
(highest) of the per-point ratios, with the point where the worst lies.
Usage: bench-table.py [--markdown] [--classes] RESULTS.json...
"""
import json
import re
import sys
from collections import OrderedDict

SUFFIX = re.compile(r"^(\d+|[a-z_]+:.*|real_time|process_time|manual_time)$")
HIDDEN = re.compile(r"^(real_time|process_time|manual_time|threads:1|"
                    r"(iterations|min_time|min_warmup_time|repeats):.*)$")
OURS = ("ksLog", "kslogd")
# Fields of a run that are not counters.
RUN_FIELDS = {
    "name", "run_name", "run_type", "repetitions", "repetition_index", "threads", "iterations",
    "real_time", "cpu_time", "time_unit", "aggregate_name", "aggregate_unit", "family_index",
    "per_family_instance_index", "label", "error_occurred", "error_message",
}


def split_name(name):
    """"<case>/<impl>[/suffixes]" -> (case, impl): a thread count other than one is named
    after the case, numeric arguments stay in it, the timing suffixes are dropped."""
    parts = name.split("/")
    suffixes = [p for p in parts[1:] if SUFFIX.match(p) and not HIDDEN.match(p)]
    kept = [parts[0]] + [p for p in parts[1:] if not SUFFIX.match(p)]
    threads = [p.split(":")[1] for p in suffixes if p.startswith("threads:")]
    suffixes = [p for p in suffixes if not p.startswith("threads:")]
    impl = kept.pop() if len(kept) > 1 else OURS[0]
    case = "/".join(kept + suffixes)
    if threads:
        case += f" ({threads[0]} threads)"
    return case, impl


def read_medians(paths):
    """case -> implementation -> median ns; case/implementation -> its counters; contexts."""
    cases, counters, contexts = OrderedDict(), OrderedDict(), []
    for path in paths:
        with open(path) as f:
            report = json.load(f)
        contexts.append(report.get("context", {}))
        for run in report.get("benchmarks", []):
            if run.get("aggregate_name") != "median":
                continue
            case, impl = split_name(run["run_name"])
            scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}.get(run.get("time_unit", "ns"), 1)
            cases.setdefault(case, OrderedDict())[impl] = run["real_time"] * scale
            found = {key: value for key, value in run.items()
                     if key not in RUN_FIELDS and isinstance(value, (int, float))}
            if found:
                counters[f"{case}/{impl}"] = found
    return cases, counters, contexts


def rows(cases):
    for case, impls in cases.items():
        ours = next((t for impl, t in impls.items() if impl in OURS), None)
        peers = [(impl, t) for impl, t in impls.items() if impl not in OURS]
        if not peers:
            yield case, ours, "", None, None
        for impl, t in peers:
            ratio = ours / t if ours is not None and t > 0 else None
            yield case, ours, impl, t, ratio


def shown_number(value):
    """A counter in a few characters: 1.27M, 250k, 0.0428."""
    magnitude = abs(value)
    if magnitude >= 1e6:
        return f"{value / 1e6:.3g}M"
    if magnitude >= 1e3:
        return f"{value / 1e3:.3g}k"
    return f"{value:.3g}"


def counter_lines(counters):
    for name, found in counters.items():
        listed = ", ".join(f"{key} {shown_number(value)}" for key, value in sorted(found.items()))
        yield f"{name}: {listed}"


def shown(value, form):
    return "-" if value is None else form.format(value)


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown CPU"


def print_machine(contexts):
    context = contexts[0] if contexts else {}
    load = ", ".join(f"{x:.2f}" for x in context.get("load_avg", []))
    print(f"- CPU: {cpu_model()}, {context.get('num_cpus', '?')} logical CPUs, "
          f"{context.get('mhz_per_cpu', '?')} MHz")
    print(f"- Host: {context.get('host_name', '?')}; load average at the start: {load or '?'}")
    version = context.get("library_version", "")
    print(f"- Run: {context.get('date', '?')}; Google Benchmark {version}{' ' if version else ''}"
          f"(the benchmark library's own build: {context.get('library_build_type', '?')})")


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def class_rows(cases):
    """(class, peer, ours, theirs, median ratio, worst ratio, worst point) per class and peer."""
    classes = OrderedDict()
    for case, ours, peer, theirs, ratio in rows(cases):
        if "@" not in case or ratio is None:
            continue
        name, point = case.split("@", 1)
        classes.setdefault(name, OrderedDict()).setdefault(peer, []).append(
            (ours, theirs, ratio, point))
    for name, peers in sorted(classes.items()):
        for peer, points in sorted(peers.items()):
            worst = max(points, key=lambda p: p[2])
            yield (name, peer, median(p[0] for p in points), median(p[1] for p in points),
                   median(p[2] for p in points), worst[2], worst[3])


def print_classes(cases, markdown):
    if markdown:
        print("| class | peer | ksLog median (ns) | peer median (ns) | median ratio "
              "| worst ratio (point) |")
        print("|---|---|---:|---:|---:|---|")
        for name, peer, ours, theirs, middle, worst, point in class_rows(cases):
            print(f"| {name} | {peer} | {ours:.1f} | {theirs:.1f} | {middle:.2f} "
                  f"| {worst:.2f} ({point}) |")
        return
    print(f"{'class':8} {'peer':12} {'ksLog ns':>9} {'peer ns':>9} {'median':>7} {'worst':>7}  point")
    for name, peer, ours, theirs, middle, worst, point in class_rows(cases):
        print(f"{name:8} {peer:12} {ours:9.1f} {theirs:9.1f} {middle:7.2f} {worst:7.2f}  {point}")


def main(arguments):
    markdown = "--markdown" in arguments
    paths = [a for a in arguments if a not in ("--markdown", "--classes")]
    cases, counters, contexts = read_medians(paths)
    if "--classes" in arguments:
        print_classes(cases, markdown)
        return
    ranged = OrderedDict((case, impls) for case, impls in cases.items() if "@" in case)
    cases = OrderedDict((case, impls) for case, impls in cases.items() if "@" not in case)
    if markdown:
        print_machine(contexts)
        print()
        print("| case | ksLog median (ns) | peer | peer median (ns) | ksLog / peer |")
        print("|---|---:|---|---:|---:|")
        for case, ours, peer, theirs, ratio in rows(cases):
            print(f"| {case} | {shown(ours, '{:.1f}')} | {peer or '-'} | "
                  f"{shown(theirs, '{:.1f}')} | {shown(ratio, '{:.2f}')} |")
        if counters:
            print()
            print("Counters (medians):")
            print()
            for line in counter_lines(counters):
                print(f"- {line}")
        if ranged:
            print()
            print_classes(ranged, markdown)
        return
    print(f"{'case':40} {'ksLog ns':>11}  {'peer':28} {'peer ns':>11} {'ratio':>7}")
    for case, ours, peer, theirs, ratio in rows(cases):
        print(f"{case:40} {shown(ours, '{:11.1f}'):>11}  {peer or '-':28} "
              f"{shown(theirs, '{:11.1f}'):>11} {shown(ratio, '{:7.2f}'):>7}")
    if counters:
        print()
        for line in counter_lines(counters):
            print(line)
    if ranged:
        print()
        print_classes(ranged, markdown)


if __name__ == "__main__":
    main(sys.argv[1:])
