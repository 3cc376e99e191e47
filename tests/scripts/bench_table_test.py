"""The benchmark table: how run names split into case and implementation, how counters
are shown, and that peers of a case share its row."""
import importlib.util
import json
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "scripts", "bench-table.py")
script_spec = importlib.util.spec_from_file_location("bench_table", SCRIPT)
bench_table = importlib.util.module_from_spec(script_spec)
script_spec.loader.exec_module(bench_table)


def median(run_name, real_time, **counters):
    run = {"run_name": run_name, "aggregate_name": "median", "real_time": real_time,
           "time_unit": "ns", "iterations": 7, "repetitions": 7, "threads": 1}
    run.update(counters)
    return run


class SplitName(unittest.TestCase):
    def test_cases(self):
        table = [
            ("begin_refused/ksLog", ("begin_refused", "ksLog")),
            ("daemon_stream/spdlog/real_time", ("daemon_stream", "spdlog")),
            ("daemon_zero_loss/ksLog/iterations:1/real_time", ("daemon_zero_loss", "ksLog")),
            ("collector_8_connections/kslogd/manual_time", ("collector_8_connections", "kslogd")),
            ("daemon_paced/ksLog/250000/real_time", ("daemon_paced/250000", "ksLog")),
            ("file_flushed/spdlog/threads:2", ("file_flushed (2 threads)", "spdlog")),
            ("file_flushed/ksLog/threads:1", ("file_flushed", "ksLog")),
            ("lonely", ("lonely", "ksLog")),
        ]
        for name, expected in table:
            with self.subTest(name=name):
                self.assertEqual(bench_table.split_name(name), expected)


class ShownNumber(unittest.TestCase):
    def test_cases(self):
        table = [(1266790.0, "1.27M"), (250000.0, "250k"), (999.0, "999"), (0.0427941, "0.0428"),
                 (0.0, "0"), (4.2e-4, "0.00042")]
        for value, expected in table:
            with self.subTest(value=value):
                self.assertEqual(bench_table.shown_number(value), expected)


class Table(unittest.TestCase):
    def test_peers_share_a_case_and_counters_are_kept(self):
        document = {"benchmarks": [
            median("daemon_stream/ksLog/real_time", 800.0, items_per_second=1.25e6,
                   lost_share=0.04),
            {"run_name": "daemon_stream/ksLog/real_time", "aggregate_name": "mean",
             "real_time": 1.0},
            median("daemon_stream/spdlog/real_time", 1000.0, lost_share=0.0),
            median("collector_8_connections/kslogd/manual_time", 50.0, items_per_second=9e6),
            median("only_peer/spdlog", 10.0),
        ]}
        handle, path = tempfile.mkstemp(suffix=".json")
        with os.fdopen(handle, "w") as f:
            json.dump(document, f)
        try:
            cases, counters, _ = bench_table.read_medians([path])
        finally:
            os.remove(path)
        self.assertEqual(list(bench_table.rows(cases)), [
            ("daemon_stream", 800.0, "spdlog", 1000.0, 0.8),
            ("collector_8_connections", 50.0, "", None, None),
            ("only_peer", None, "spdlog", 10.0, None),
        ])
        self.assertEqual(list(bench_table.counter_lines(counters)), [
            "daemon_stream/ksLog: items_per_second 1.25M, lost_share 0.04",
            "daemon_stream/spdlog: lost_share 0",
            "collector_8_connections/kslogd: items_per_second 9M",
        ])


if __name__ == "__main__":
    sys.argv[1:] = []
    unittest.main()
