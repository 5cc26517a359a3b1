"""Tests of the visits benchmark's comparison of our visits with PostGIS's: the tolerance of our
whole seconds, the hours, and the reasons given for visits without a partner.

Run with: /usr/bin/python3 -m unittest discover -s bench -p "test_*.py"
"""

import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import visits  # noqa: E402

OURS_HEADER = ("vessel,layer,area,enter_time,exit_time,hours,enter_lon,enter_lat,exit_lon,"
               "exit_lat,positions_inside,enter_kind,exit_kind")
T0 = 1767225600  # 2026-01-01T00:00:00Z


def ours_row(enter, leave, hours=None, area="515700", layer="Statistical areas"):
    stamp = visits.stamp
    hours = (leave - enter) / 3600 if hours is None else hours
    return (f"V1,{layer},{area},{stamp(T0 + enter)[:19]}Z,{stamp(T0 + leave)[:19]}Z,"
            f"{hours:.4f},0,0,0,0,2,crossing,crossing")


def peer_row(enter, leave, area="515700", layer="Statistical areas"):
    return f"V1,{layer},{area},{T0 + enter},{T0 + leave}"


class CompareTest(unittest.TestCase):
    def compare(self, ours, peer):
        with tempfile.TemporaryDirectory() as folder:
            ours_path, peer_path = Path(folder) / "ours.csv", Path(folder) / "peer.csv"
            ours_path.write_text("\r\n".join([OURS_HEADER, *ours]) + "\r\n", encoding="utf-8")
            peer_path.write_text("\n".join(["vessel,layer,area,enter_t,exit_t", *peer]) + "\n",
                                 encoding="utf-8")
            return visits.compare(ours_path, peer_path, {"Statistical areas"})

    def test_pairs_and_reasons(self):
        cases = [
            # (name, ours, peer, matched, hours differ, reasons, agree)
            # Our times are whole seconds: the peer may lie from 1 s before ours to 1 s after
            # the end of our second.
            ("the peer 2 s after our enter and 1 s before our exit",
             [ours_row(100, 500)], [peer_row(102.0, 499.0)], 1, 0, {}, True),
            ("just over 2 s after our enter", [ours_row(100, 500)], [peer_row(102.01, 500)],
             0, 0, {"ours only: overlaps a visit of PostGIS with other times": 1,
                    "PostGIS only: overlaps a visit of ours with other times": 1}, False),
            ("just over 1 s before our exit", [ours_row(100, 500)], [peer_row(100, 498.99)],
             0, 0, {"ours only: overlaps a visit of PostGIS with other times": 1,
                    "PostGIS only: overlaps a visit of ours with other times": 1}, False),
            ("hours 0.001 apart, at the limit", [ours_row(100, 3700, hours=1.001)],
             [peer_row(100, 3700)], 1, 0, {}, True),
            ("hours more than 0.001 apart", [ours_row(100, 3700, hours=1.0011)],
             [peer_row(100, 3700)], 1, 1, {}, False),
            ("an instant of contact only the peer has", [],
             [peer_row(100, 100.5)], 0, 0, {"PostGIS only: an instant of contact (under 1 s "
                                            "inside)": 1}, True),
            ("one peer visit over two of ours: a track over the same line twice",
             [ours_row(100, 200), ours_row(5000, 6000)], [peer_row(100, 6000)], 0, 0,
             {"ours only: lies in a visit of PostGIS that spans several of ours": 2,
              "PostGIS only: spans several visits of ours": 1}, True),
            ("a visit in another area", [ours_row(100, 200)], [peer_row(100, 200, "515701")],
             0, 0, {"ours only: no visit of PostGIS at that time": 1,
                    "PostGIS only: no visit of ours at that time": 1}, False),
            ("a layer of documents is compared without its area",
             [ours_row(100, 200, area="docs/A.htm", layer="Habitat")],
             [peer_row(100, 200, area="", layer="Habitat")], 1, 0, {}, True),
        ]
        for name, ours, peer, matched, hours, reasons, agree in cases:
            with self.subTest(name):
                result = self.compare(ours, peer)
                self.assertEqual(result["matched"], matched)
                self.assertEqual(result["hours_differ"], hours)
                self.assertEqual(result["reasons"], reasons)
                self.assertEqual(result["agree"], agree)


if __name__ == "__main__":
    unittest.main()
