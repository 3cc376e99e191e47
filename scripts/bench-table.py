"""Prints one table of the benchmarks' medians: per case, ksLog's median, each peer's median
measured in the same run, and the ratio ksLog / peer (below 1: ksLog is faster).

Benchmark names are "<case>/<implementation>"; the implementation "ksLog" is ours. Of
Google Benchmark's own suffixes, numeric arguments and thread counts stay with the case.
Usage: bench-table.py [--markdown] RESULTS.json...
"""
import json
import re
import sys
from collections import OrderedDict

SUFFIX = re.compile(r"^(\d+|[a-z_]+:.*|real_time|process_time|manual_time)$")
HIDDEN = {"real_time", "process_time", "manual_time", "threads:1"}
OURS = "ksLog"


def split_name(name):
    """"<case>/<impl>[/suffixes]" -> (case, impl): a thread count other than one is named
    after the case, numeric arguments stay in it, the timing suffixes are dropped."""
    parts = name.split("/")
    suffixes = [p for p in parts[1:] if SUFFIX.match(p) and p not in HIDDEN]
    kept = [parts[0]] + [p for p in parts[1:] if not SUFFIX.match(p)]
    threads = [p.split(":")[1] for p in suffixes if p.startswith("threads:")]
    suffixes = [p for p in suffixes if not p.startswith("threads:")]
    impl = kept.pop() if len(kept) > 1 else OURS
    case = "/".join(kept + suffixes)
    if threads:
        case += f" ({threads[0]} threads)"
    return case, impl


def read_medians(paths):
    cases, contexts = OrderedDict(), []
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
    return cases, contexts


def rows(cases):
    for case, impls in cases.items():
        ours = impls.get(OURS)
        peers = [(impl, t) for impl, t in impls.items() if impl != OURS]
        if not peers:
            yield case, ours, "", None, None
        for impl, t in peers:
            ratio = ours / t if ours is not None and t > 0 else None
            yield case, ours, impl, t, ratio


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


def main(arguments):
    markdown = "--markdown" in arguments
    paths = [a for a in arguments if a != "--markdown"]
    cases, contexts = read_medians(paths)
    if markdown:
        print_machine(contexts)
        print()
        print("| case | ksLog median (ns) | peer | peer median (ns) | ksLog / peer |")
        print("|---|---:|---|---:|---:|")
        for case, ours, peer, theirs, ratio in rows(cases):
            print(f"| {case} | {shown(ours, '{:.1f}')} | {peer or '-'} | "
                  f"{shown(theirs, '{:.1f}')} | {shown(ratio, '{:.2f}')} |")
        return
    print(f"{'case':40} {'ksLog ns':>11}  {'peer':28} {'peer ns':>11} {'ratio':>7}")
    for case, ours, peer, theirs, ratio in rows(cases):
        print(f"{case:40} {shown(ours, '{:11.1f}'):>11}  {peer or '-':28} "
              f"{shown(theirs, '{:11.1f}'):>11} {shown(ratio, '{:7.2f}'):>7}")


if __name__ == "__main__":
    main(sys.argv[1:])
