"""velsh on a terminal: Tab completes commands, types, attribute paths and collection keys; a bad command
prints one line and the session carries on with nothing half-done; the history is kept."""
import os
import pty
import select
import sys
import tempfile
import time
import unittest

VELSH = sys.argv[1]


class Session:
    def __init__(self, home):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.environ.update(HOME=home, TERM="dumb", INPUTRC="/dev/null")
            os.execv(VELSH, [VELSH])
        self.seen = ""

    def expect(self, text, timeout=10):
        """Reads until `text` has appeared after what earlier calls consumed."""
        end = time.time() + timeout
        while text not in self.seen:
            left = end - time.time()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                raise AssertionError(f"{text!r} not seen; got {self.seen!r}")
            try:
                self.seen += os.read(self.fd, 4096).decode(errors="replace")
            except OSError:
                raise AssertionError(f"velsh ended before {text!r}; got {self.seen!r}")
        before, self.seen = self.seen.split(text, 1)
        return before

    def send(self, keys):
        os.write(self.fd, keys.encode())

    def close(self):
        _, status = os.waitpid(self.pid, 0)
        return os.waitstatus_to_exitcode(status)


class Interactive(unittest.TestCase):
    def test_completion_recovery_and_history(self):
        with tempfile.TemporaryDirectory() as home:
            s = Session(home)
            s.expect("velsh> ")
            s.send("descr\t")
            s.expect("describe ")
            s.send("VelL3V2::RouteT\t")
            s.expect("VelL3V2::RouteTable")
            s.send("\r")
            self.assertIn("133 summaryRoute", s.expect("velsh> "))

            s.send("bogus\r")
            self.assertIn("error: unknown command 'bogus' (help lists the commands)", s.expect("velsh> "))

            s.send("new t PerDeviceNetVrfRouteTable; set $t.table main\r")
            s.expect("velsh> ")
            s.send("count $t.ta\t")
            s.expect("$t.table")
            s.send(".rou\t")
            s.expect(".route")  # readline writes what the completion adds
            s.send("\r")
            self.assertEqual(s.expect("velsh> ").strip().splitlines()[-1], "0")
            # A route file with a bad last line adds nothing.
            routes = os.path.join(home, "bad.routes")
            with open(routes, "w") as f:
                f.write("10.0.0.0/8 192.0.2.1\n10.1.0.0/16 nowhere\n")
            s.send(f"load routes $t.table {routes}\r")
            self.assertIn(f"error: {routes}: line 2: ", s.expect("velsh> "))
            s.send("count $t.table.route\r")
            self.assertEqual(s.expect("velsh> ").strip().splitlines()[-1], "0")

            s.send("new s IpSet; set $s.ip[10.0.0.1]\r")
            s.expect("velsh> ")
            s.send("has $s.ip[\t")
            s.expect("$s.ip['10.0.0.1']")
            s.send("\r")
            self.assertEqual(s.expect("velsh> ").strip().splitlines()[-1], "True")
            s.send("quit\r")
            self.assertEqual(s.close(), 0)
            with open(os.path.join(home, ".velsh_history")) as f:
                history = f.read().splitlines()
            self.assertIn("bogus", history)
            self.assertEqual(history[-1], "quit")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
