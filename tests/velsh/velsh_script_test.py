"""velsh in script mode: every registered type of every module described, built and shown; the route
table example; the one-line errors with file and line, and the exit status."""
import os
import re
import subprocess
import sys
import tempfile
import unittest

VELSH, EXAMPLES = sys.argv[1], sys.argv[2]


def velsh(*args, stdin=None, cwd=None):
    return subprocess.run([VELSH, *args], input=stdin, capture_output=True, text=True, timeout=120, cwd=cwd)


def types():
    """(full name, kind) of every registered type, as `types` lists them."""
    out = velsh("-c", "types").stdout
    return [tuple(re.match(r"(\S+)\s+(.+)$", line).groups()) for line in out.splitlines()]


class EveryType(unittest.TestCase):
    def test_every_type_is_described_built_and_shown(self):
        listed = types()
        modules = velsh("-c", "modules").stdout.splitlines()
        self.assertEqual(sum(int(line.split()[1]) for line in modules), len(listed))
        self.assertIn(("VelL3V2::PerDeviceNetVrfRouteTable", "entity"), listed)
        self.assertIn(("VelL3Common::LocalData", "root entity"), listed)
        for name, kind in listed:
            with self.subTest(type=name):
                desc = velsh("-c", f"describe {name}")
                self.assertEqual(desc.returncode, 0, desc.stderr)
                self.assertRegex(desc.stdout.splitlines()[0], rf"^{re.escape(name)}: {kind} of module \S+$")
                if kind == "root entity":
                    made = velsh("-c", f"root e {name}; show --depth 1 $e")
                else:
                    made = velsh("-c", f"new e {name}; show --depth 1 $e")
                if made.returncode != 0:
                    # Only the entities their holders alone create may refuse.
                    self.assertEqual(made.stderr, f"-c:1: {name} is created only by the entities that hold it\n")
                    continue
                self.assertTrue(made.stdout.startswith(name) or kind in ("value", "enumeration"), made.stdout)
                default = re.search(r"^  default: (.*)$", desc.stdout, re.M)
                if default and "None" not in default.group(1):
                    # A value's text form reads back as an equal value (collections, written None, do not).
                    back = velsh("-c", f"new v {name}; parse w {name} {default.group(1)}; eq $v $w; get $w")
                    self.assertEqual(back.stdout, f"True\n{default.group(1)}\n", back.stderr)

    def test_attribute_operations(self):
        out = velsh("-c", "\n".join([
            "new s VelL3Common::IpSet", "set $s.ip[10.0.0.1]", "set $s.ip['10.0.0.2']", "set $s.ip[10.0.0.1]",
            "count $s.ip", "has $s.ip[10.0.0.2]", "del $s.ip[10.0.0.2]", "del $s.ip[10.0.0.9]", "walk $s.ip",
            "truth $s", "new m Match", "set $m.srcGroup web", "set $m.ipProto 6", "call $m.stringValue",
            "truth $m", "new a L4App 6 80", "less $a Value('VelL3Common::L4App', ** {'proto': 6, 'port': 81})",
            "root ld VelL3Common::LocalData", "get $ld.l4PortMax", "call VelL3V2::DeviceKey.encode a:b c",
            "vars"])).stdout.splitlines()
        self.assertEqual(out[:4], ["2", "True", "'10.0.0.1'", "True"])
        self.assertIn("Group", out[4])  # the readable text of the match
        self.assertEqual(out[5:9], ["True", "True", "65535", "a\\:b:c"])  # a static operation, by its type
        self.assertIn("$ld = VelL3Common::LocalData 'ld'", out)


class RouteTableExample(unittest.TestCase):
    def test_key_lines(self):
        r = velsh(os.path.join(EXAMPLES, "route-table.velsh"))
        self.assertEqual(r.returncode, 0, r.stderr)
        out = r.stdout.splitlines()
        self.assertEqual(out[:3], ["~ $t table (131)", "~ $t timestamp (132)", "~ $t timestamp (132)"])
        walk = out[out.index("2") + 1:][:3]
        self.assertEqual(walk, ["Value('VelL3V2::Route', ** {'destination': '10.0.0.0/8', 'via': '192.0.2.1'}): True",
                                "Value('VelL3V2::Route', ** {'destination': '10.1.0.0/16', 'via': '192.0.2.7'}): True",
                                "True"])
        self.assertEqual(out[-4:], ["loaded 5 routes", "summary after load:",
                                    "2001:db8::/32:2001:db8::1,10.0.0.0/8:192.0.2.1,172.16.0.0/12:192.0.2.3",
                                    "'192.0.2.254'"])


class PolicyRoadExample(unittest.TestCase):
    def test_key_lines(self):
        r = velsh(os.path.join(EXAMPLES, "policy-road.velsh"))
        self.assertEqual(r.returncode, 0, r.stderr)
        out = r.stdout.splitlines()
        section = {line[3:5]: i for i, line in enumerate(out) if line.startswith("== ")}
        self.assertEqual(list(section), ["1.", "2.", "3.", "4.", "5."])
        self.assertEqual(out[section["2."] - 3:section["2."]], [
            "next hop of 10.20.1.1, the first covering route in route order:", "'192.0.2.254'",
            "Destination 0.0.0.0/0 via 192.0.2.254"])
        # What stays after one requestor let go: the sets and the requestors the other one holds.
        self.assertEqual(out[section["4."] - 4:section["4."]], ["'GroupStatusReader'", "'web': VelL3V2::PerGroupHostSet",
                                                              "'GroupStatusReader'", "'FlowStatusReader-fw1'"])
        # The directories as filled through the generic interface, then the fold (the status tests' rules):
        # stale leaf2 pending, then none.
        fold = out[section["4."]:section["5."]]
        self.assertIn("    '00:1c:73:00:00:02': Zat::Dir '00:1c:73:00:00:02'", fold)
        self.assertIn("              state: 'success'", fold)
        self.assertEqual(fold[-9:-6], ["'00:1c:73:00:00:02'", "leaf2 catches up:", "'00:1c:73:00:00:01'"])
        self.assertEqual(out[section["5."] + 1:], ["1", "0"])
        # The default back end writes the one message to standard error.
        self.assertRegex(r.stderr, r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z KRO_VEL_RULE_PROGRAMMED INFO: VEL rule "
                                   r"for policy web-to-db of firewall tenant-a/fw1, VRF red was installed\n$")


class Errors(unittest.TestCase):
    def test_one_line_with_file_and_line_then_status_one(self):
        with tempfile.TemporaryDirectory() as d:
            script = os.path.join(d, "s.velsh")
            with open(script, "w") as f:
                f.write("echo one\n# a comment\nnew r VelL3V2::Route 10.0.0.0/8\necho never\n")
            r = velsh(script)
            self.assertEqual((r.returncode, r.stdout), (1, "one\n"))
            self.assertEqual(r.stderr, f"{script}:3: new VelL3V2::Route takes 2 arguments "
                                       "(Ipkit::IpGenPrefix destination, Ipkit::IpGenAddr via), got 1\n")
            with open(os.path.join(d, "bad.routes"), "w") as f:
                f.write("10.0.0.0/8 192.0.2.1\n10.1.0.0/16 nowhere\n")
        cases = [
            ("bogus", "unknown command 'bogus' (help lists the commands)"),
            ("describe Nope", "unknown type 'Nope' (types lists them)"),
            ("new r VelL3V2::Route 1.2.3.4/8 10.0.0.1", "new VelL3V2::Route: argument destination: bad Ipkit::IpGenPrefix "
             "'1.2.3.4/8': non-canonical IP prefix '1.2.3.4/8': expected '1.0.0.0/8' at offset 0"),
            ("new t PerDeviceNetVrfRouteTable; set $t.deviceNetVrfKey x",
             "$t.deviceNetVrfKey: cannot write constructor attribute deviceNetVrfKey"),
            ("new t PerDeviceNetVrfRouteTable; set $t.table x; call $t.table.updateSummaryRoute x",
             "$t.table.updateSummaryRoute: updateSummaryRoute is hidden from generic tools"),
            ("new t PerDeviceNetVrfRouteTable; get $t.table.name", "$t.table.name: cannot follow .name from None"),
            ("call VelL3V2::RouteTable.stringValue",
             "VelL3V2::RouteTable: without an instance only a static operation can be called"),
            ("new s IpSet; set $s.ip[10.0.0.1] False", "VelL3Common::IpSet::ip: a set member can only be set to "
             "true; delete it instead"),
            ("new t PerDeviceNetVrfRouteTable; set $t.table x; set $t.table.summaryRoute[$t]",
             "$t.table.summaryRoute[$t]: key: $t is VelL3V2::PerDeviceNetVrfRouteTable, not VelL3V2::Route"),
            ("echo 'open", "unclosed quote ' in ''open'"),
            ("parse v IpSet None", "No String constructor for IpSet - has collection: VelL3Common::IpSet cannot be "
             "read from text"),
        ]
        for command, message in cases:
            with self.subTest(command=command):
                r = velsh("-c", command)
                self.assertEqual((r.returncode, r.stderr), (1, f"-c:1: {message}\n"))
        r = velsh("-c", "describe FlowStatus")
        self.assertRegex(r.stderr, r"^-c:1: type name 'FlowStatus' is ambiguous: .*VelL3::V1::FlowStatus")
        r = velsh(stdin="echo a\nbogus\n")
        self.assertEqual((r.returncode, r.stdout, r.stderr),
                         (1, "a\n", "<stdin>:2: unknown command 'bogus' (help lists the commands)\n"))

    def test_help(self):
        r = velsh("--help")
        self.assertEqual(r.returncode, 0)
        self.assertTrue(r.stdout.startswith("usage: velsh [FILE | -c COMMANDS]\n"))
        self.assertRegex(r.stdout, r"\n  load routes PATH FILE +add the routes of a file")
        self.assertTrue(velsh("-c", "help walk").stdout.startswith("usage: walk PATH [--from KEY]\n"))
        self.assertEqual(velsh("-x").returncode, 1)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
