"""The policy road example: its story's key lines in order, on the built-in table and on the real one."""
import os
import re
import subprocess
import sys
import unittest

PROGRAM, DATA_DIR = sys.argv[1], sys.argv[2]
STAMP = r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z"


def road(*args):
    r = subprocess.run([PROGRAM, *args], capture_output=True, text=True, timeout=120)
    return r.returncode, r.stdout.splitlines(), r.stderr


def missing(lines, expected):
    """The first expected line (text, or a compiled pattern for the whole line) not found after the one
    before it, or None."""
    at = 0
    for want in expected:
        match = (lambda line: want.fullmatch(line)) if isinstance(want, re.Pattern) else (lambda line: line == want)
        at = next((i + 1 for i in range(at, len(lines)) if match(lines[i])), None)
        if at is None:
            return want
    return None


# What every run tells after the routes, whatever table it read.
STORY = [
    "   getPriority('groupRedirect', 0.0.0.0/0) is refused: Default subnet should not be present",
    "     group db, requested by GroupCreator",
    "       VNI 5001, requested by GroupCreator GroupStatusReader: hosts 10.1.0.11 10.1.0.12",
    "     device tenant-a:fw1, requested by FlowStatusReader-fw1 VerbatimFlowCreator",
    "       Flow: web-to-db/1 Order:  Preference: 0 Priority: 9896 Origin: web-to-db State: configured "
    "ReadyToDelete: 0",
    "   the db group had no other requestor and is gone; the web group and the flows stay",
    "   host sets of red, requested by GroupStatusReader",
    "     group web, requested by GroupStatusReader",
    "       VNI 5001, requested by GroupStatusReader: hosts 10.1.0.11 10.1.0.12",
    "   flow sets of red, requested by FlowStatusReader-fw1",
    "     device tenant-a:fw1, requested by FlowStatusReader-fw1",
    "   network VRF red, requested by GroupStatusReader, 4 switch VRFs",
    re.compile(r"     leaf4 SwitchId: 00:1c:73:00:00:04 State: error .* Message: hardware table full KroTimestamp:  "
               r"GenId: 2017:42 Timestamp: [0-9.]+"),
    "     reference switch leaf1, pending: leaf3 leaf4",
    "   flow Flow: web-to-db/1 Order:  Preference: 0 Priority: 9896 State: error; pending: leaf4",
    re.compile(r"   host 10\.1\.0\.12: State: error ReadyToDelete: 0 .*; pending: leaf3 leaf4"),
    "     flow web-to-db/2 waits for leaf4",
    "     reference switch leaf1, pending: (none)",
    "   flow Flow: web-to-db/2 Order:  Preference: 0 Priority: 9765 State: success; pending: (none)",
    "   flow web-to-db/2 is installed everywhere: removeFlowStatus",
    re.compile(rf"   event log: {STAMP} KRO_VEL_RULE_PROGRAMMED INFO: VEL rule for policy web-to-db of firewall "
               r"tenant-a/fw1, VRF red was installed"),
    "   policies still waiting: 0",
]


class PolicyRoad(unittest.TestCase):
    def test_built_in_table(self):
        status, out, err = road("/nonexistent")
        self.assertEqual((status, err), (0, ""))
        self.assertIsNone(missing(out, [
            "   no routing tables in /nonexistent: a built-in table of 9 routes",
            "     8 routes, 5 summary routes",
            "     next hop of 203.0.113.7/32: '' (no route covers it)",
            "   the firewall adds a default route; it never enters the summary (5 summary routes)",
            "     getDefaultRoute: Destination 0.0.0.0/0 via 192.0.2.254",
            "     next hop of 203.0.113.7/32: '192.0.2.254'",
        ] + STORY))
        # One message, about the policy's end only.
        self.assertEqual(sum("event log:" in line for line in out), 1)

    @unittest.skipUnless(os.path.exists(os.path.join(DATA_DIR, "bgp-ipv4.txt.gz")), "no routing tables")
    def test_slice_of_the_real_table(self):
        status, out, err = road(DATA_DIR)
        self.assertEqual((status, err), (0, ""))
        self.assertIsNone(missing(out, [
            re.compile(r"   read the first 4000 routes of .*bgp-ipv4\.txt\.gz"),
            re.compile(r"   and the first 1000 routes of .*bgp-ipv6\.txt\.gz"),
            "     4999 routes, 1133 summary routes",
            "     next hop of 1.0.4.1/32: '192.0.2.54'",
        ] + STORY))

    def test_usage(self):
        self.assertEqual(road("a", "b")[0], 1)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
