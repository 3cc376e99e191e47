"""Prints median times per case and ksLog's ratio to every peer of the same case, then the
medians of each implementation's counters (rates, lost shares, load average).

Benchmark names are "<case>/<implementation>"; "ksLog" and "kslogd" are ours. Arguments
after the implementation stay part of the case; the benchmark library's own suffixes
("real_time", "iterations:1", ...) are dropped."""
import json
import re
import sys
from collections import OrderedDict

OURS = ("ksLog", "kslogd")
LIBRARY_SUFFIX = re.compile(
    r"^(real_time|manual_time|process_time|(iterations|min_time|min_warmup_time|repeats|threads):.*)$")
# Fields of a run that are not counters.
RUN_FIELDS = {
    "name", "run_name", "run_type", "repetitions", "repetition_index", "threads", "iterations",
    "real_time", "cpu_time", "time_unit", "aggregate_name", "aggregate_unit", "family_index",
    "per_family_instance_index", "label", "error_occurred", "error_message",
}


def split_name(run_name):
    """(case, implementation) of a run name."""
    parts = [part for part in run_name.split("/") if not LIBRARY_SUFFIX.match(part)]
    if len(parts) < 2:
        return run_name, "ksLog"
    return "/".join([parts[0]] + parts[2:]), parts[1]


def shown_number(value):
    """A counter in a few characters: 1.27M, 250k, 0.0428."""
    magnitude = abs(value)
    if magnitude >= 1e6:
        return f"{value / 1e6:.3g}M"
    if magnitude >= 1e3:
        return f"{value / 1e3:.3g}k"
    return f"{value:.3g}"


def collect(documents):
    """case -> implementation -> (median time in ns, {counter: median})."""
    cases = OrderedDict()
    for document in documents:
        for run in document["benchmarks"]:
            if run.get("aggregate_name") != "median":
                continue
            case, impl = split_name(run["run_name"])
            counters = {key: value for key, value in run.items()
                        if key not in RUN_FIELDS and isinstance(value, (int, float))}
            cases.setdefault(case, OrderedDict())[impl] = (run["real_time"], counters)
    return cases


def table_lines(cases):
    lines = [f"{'case':44} {'ours ns':>12}  ratios to peers"]
    for case, impls in cases.items():
        ours_name = next((impl for impl in impls if impl in OURS), None)
        ours = impls[ours_name][0] if ours_name else None
        peers = [f"{impl} {t:.1f} ns ({ours / t:.2f})" for impl, (t, _) in impls.items()
                 if impl not in OURS and ours is not None and t > 0]
        shown = f"{ours:12.1f}" if ours is not None else f"{'-':>12}"
        lines.append(f"{case:44} {shown}  {'; '.join(peers)}")
        for impl, (_, counters) in impls.items():
            if counters:
                listed = ", ".join(f"{key} {shown_number(value)}"
                                   for key, value in sorted(counters.items()))
                lines.append(f"    {impl}: {listed}")
    return lines


def main(paths):
    documents = []
    for path in paths:
        with open(path) as f:
            documents.append(json.load(f))
    print("\n".join(table_lines(collect(documents))))


if __name__ == "__main__":
    main(sys.argv[1:])
