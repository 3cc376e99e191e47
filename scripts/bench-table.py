"""Prints median times per case and ksLog's ratio to every peer of the same case.

Benchmark names are "<case>/<implementation>"; the implementation "ksLog" is ours."""
import json
import sys
from collections import OrderedDict

cases = OrderedDict()
for path in sys.argv[1:]:
    with open(path) as f:
        for run in json.load(f)["benchmarks"]:
            if run.get("aggregate_name") != "median":
                continue
            name = run["run_name"]
            # "<case>/<impl>/threads:N[/real_time]": the thread count belongs to the case.
            parts = [p for p in name.split("/") if p != "real_time"]
            threads = [p for p in parts if p.startswith("threads:")]
            parts = [p for p in parts if not p.startswith("threads:")]
            name = "/".join(parts)
            case, _, impl = name.rpartition("/")
            if threads and threads[0] != "threads:1":
                case = f"{case} ({threads[0].split(':')[1]} threads)"
            cases.setdefault(case or name, {})[impl or "ksLog"] = run["real_time"]

print(f"{'case':44} {'ksLog ns':>10}  ratios to peers")
for case, impls in cases.items():
    ours = impls.get("ksLog")
    peers = [f"{impl} {t:.1f} ns ({ours / t:.2f})" for impl, t in impls.items()
             if impl != "ksLog" and ours is not None and t > 0]
    shown = f"{ours:10.1f}" if ours is not None else f"{'-':>10}"
    print(f"{case:44} {shown}  {'; '.join(peers)}")
