"""The benchmark table: how run names split into case and implementation, how counters
are shown, and that peers of a case share its row."""
import importlib.util
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "scripts", "bench-table.py")
spec = importlib.util.spec_from_file_location("bench_table", SCRIPT)
bench_table = importlib.util.module_from_spec(spec)
spec.loader.exec_module(bench_table)


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
            ("format_int/ksLog/threads:2", ("format_int", "ksLog")),
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
    def test_peers_share_a_row_and_counters_follow(self):
        document = {"benchmarks": [
            median("daemon_stream/ksLog/real_time", 800.0, items_per_second=1.25e6,
                   lost_share=0.04),
            {"run_name": "daemon_stream/ksLog/real_time", "aggregate_name": "mean",
             "real_time": 1.0},
            median("daemon_stream/spdlog/real_time", 1000.0, lost_share=0.0),
            median("collector_8_connections/kslogd/manual_time", 50.0, items_per_second=9e6),
            median("only_peer/spdlog", 10.0),
        ]}
        lines = bench_table.table_lines(bench_table.collect([document]))
        expected = [
            f"{'case':44} {'ours ns':>12}  ratios to peers",
            f"{'daemon_stream':44} {800.0:12.1f}  spdlog 1000.0 ns (0.80)",
            "    ksLog: items_per_second 1.25M, lost_share 0.04",
            "    spdlog: lost_share 0",
            f"{'collector_8_connections':44} {50.0:12.1f}  ",
            "    kslogd: items_per_second 9M",
            f"{'only_peer':44} {'-':>12}  ",
        ]
        self.assertEqual(lines, expected)


if __name__ == "__main__":
    sys.argv[1:] = []
    unittest.main()
