#!/usr/bin/env python3
"""Checks velroute's summary of a real routing table against an independent computation.

From an empty summary, the rebuild keeps, for every destination of the table that no other non-default
destination of its family strictly includes, the route to it with the smallest next hop; default routes
never enter. (The differential tests show that this equals the literal walk on random tables.) Here that
set is computed with a plain sort and sweep over the prefixes, and compared with what velroute prints.

    velroute_reference.py VELROUTE TABLE.gz [TABLE.gz ...]
"""
import gzip
import ipaddress
import os
import subprocess
import sys


def parse(text):
    net = ipaddress.ip_network(text, strict=True)
    return (4 if net.version == 4 else 6, int(net.network_address), net.prefixlen)


def addr(text):
    a = ipaddress.ip_address(text)
    return (a.version, int(a))


def expected(path):
    best = {}  # destination -> smallest next hop
    with gzip.open(path, "rt") as f:
        for line in f:
            dest, via = line.split()
            d, v = parse(dest), addr(via)
            if d not in best or v < best[d]:
                best[d] = v
    out = set()
    cover_end = {4: -1, 6: -1}
    for fam, net, length in sorted(best):
        if length == 0:
            continue  # default routes are never summary routes, nor do they cover others
        width = 32 if fam == 4 else 128
        if net < cover_end[fam]:
            continue  # inside the last maximal destination
        cover_end[fam] = net + (1 << (width - length))
        out.add(((fam, net, length), best[(fam, net, length)]))
    return out


def actual(velroute, path):
    text = subprocess.run([velroute, path], check=True, capture_output=True, text=True).stdout
    out = [(parse(d), addr(v)) for d, v in (line.split() for line in text.splitlines())]
    return out


def main():
    velroute, tables = sys.argv[1], sys.argv[2:]
    if not all(os.path.exists(t) for t in tables):
        print("routing tables not found; skipped")
        return 77
    failed = 0
    for path in tables:
        want = expected(path)
        got = actual(velroute, path)
        order_ok = got == sorted(got)
        same = set(got) == want and len(got) == len(want)
        print(f"{path}: {len(got)} summary routes, expected {len(want)}; "
              f"{'identical' if same else 'DIFFERENT'}; {'ascending' if order_ok else 'NOT ASCENDING'}")
        if not same:
            print("  missing:", sorted(want - set(got))[:5], " extra:", sorted(set(got) - want)[:5])
        failed |= not (same and order_ok)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
