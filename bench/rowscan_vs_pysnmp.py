#!/usr/bin/python3
"""rowscan against pysnmp, side by side in one run, on the same snmpsimd agent and data: tables
of 1,000 and 10,000 rows by 4 columns, under SNMPv2c (rowscan, pysnmp bulkCmd with
max-repetitions 25, pysnmp nextCmd) and SNMPv1 (rowscan, pysnmp nextCmd). A counting proxy
between client and agent counts the requests; wall time and the client process's CPU time
(getrusage of children) are measured for each.

    bench/rowscan_vs_pysnmp.py [BUILD_DIR]     (default: build)
"""

import math
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from udp_count_proxy import CountingProxy, SnmpSimAgent, run_client  # noqa: E402

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COMMUNITY = "bench"
COLUMNS = 4
SIZES = {1000: "1.3.6.1.4.1.99999.71.1.1", 10000: "1.3.6.1.4.1.99999.72.1.1"}

PYSNMP_WALK = r"""
import sys
from pysnmp.hlapi import *
mode, version, port, table, columns = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], int(sys.argv[5])
names = [ObjectType(ObjectIdentity(table + "." + str(c))) for c in range(1, columns + 1)]
target = UdpTransportTarget(("127.0.0.1", port), timeout=5, retries=0)
auth = CommunityData("bench", mpModel=0 if version == "1" else 1)
if mode == "bulk":
    walk = bulkCmd(SnmpEngine(), auth, target, ContextData(), 0, 25, *names, lexicographicMode=False)
else:
    walk = nextCmd(SnmpEngine(), auth, target, ContextData(), *names, lexicographicMode=False)
rows = 0
for error_indication, error_status, error_index, binds in walk:
    if error_indication or error_status:
        sys.exit("walk failed: %s %s" % (error_indication, error_status))
    rows += 1
print(rows)
"""


def write_data(path):
    lines = []
    for rows, table in sorted(SIZES.items()):
        for column in range(1, COLUMNS + 1):
            for row in range(1, rows + 1):
                name = "%s.%d.%d" % (table, column, row)
                if column == 1:
                    lines.append("%s|2|%d" % (name, row))
                elif column == 2:
                    lines.append("%s|4|port-%05d" % (name, row))
                elif column == 3:
                    lines.append("%s|65|%d" % (name, row * 7919 % 4294967296))
                else:
                    lines.append("%s|66|%d" % (name, row * 1000))
    # snmpsim wants identifier order, which the loops above give for each table, and the
    # first table sorts before the second.
    lines.insert(0, "1.3.6.1.2.1.1.1.0|4|benchmark agent")
    # An object after the tables, so that no walk runs into the end of the agent's data.
    lines.append("1.3.6.1.4.1.99999.99.0|2|0")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
    rowscan = os.path.join(build, "appls", "extmgr", "ttycmds", "rowscan")
    if not os.access(rowscan, os.X_OK):
        sys.exit("no rowscan in %s: build it first" % build)
    data_dir = tempfile.mkdtemp(prefix="zorv-bench-data-")
    data = os.path.join(data_dir, COMMUNITY + ".snmprec")
    write_data(data)
    agent = SnmpSimAgent([data])
    proxy = None
    try:
        agent.wait_ready(COMMUNITY)
        proxy = CountingProxy(agent.port)
        results = []
        print("%-6s %-4s %-15s %9s %9s %9s" % ("rows", "ver", "client", "requests", "wall s",
                                                "cpu s"), flush=True)
        for rows, table in sorted(SIZES.items()):
            # Warm the agent's index for this table once, outside the measurements.
            run_client([sys.executable, "-c", PYSNMP_WALK, "bulk", "2c", str(agent.port),
                        table, "1"])
            for version in ("2c", "1"):
                env = dict(os.environ, ZORVSNMP_VERSION=version, ZORVSNMP_TIMEOUT_MS="5000")
                clients = [("rowscan", [rowscan, "-node", "127.0.0.1:%d" % proxy.port,
                                        "-c", COMMUNITY, "-table", "." + table, "-fields",
                                        ",".join(str(c) for c in range(1, COLUMNS + 1))])]
                if version == "2c":
                    clients.append(("pysnmp bulkCmd", None))
                clients.append(("pysnmp nextCmd", None))
                for name, args in clients:
                    if args is None:
                        mode = "bulk" if "bulk" in name else "next"
                        args = [sys.executable, "-c", PYSNMP_WALK, mode, version,
                                str(proxy.port), table, str(COLUMNS)]
                    proxy.reset()
                    out, wall, cpu = run_client(args, env)
                    got = (out.count("\n") - 4) if name == "rowscan" else int(out)
                    if got != rows:
                        raise RuntimeError("%s returned %d rows, not %d" % (name, got, rows))
                    results.append((rows, version, name, proxy.requests, wall, cpu))
                    print("%-6d %-4s %-15s %9d %9.3f %9.3f" % results[-1], flush=True)
        report(results)
    finally:
        if proxy:
            proxy.close()
        agent.stop()


def report(results):
    by_key = {}
    for rows, version, name, requests, wall, cpu in results:
        by_key[(rows, version, name)] = (requests, wall, cpu)
    print()
    ok = True
    for rows in sorted(SIZES):
        r2 = by_key[(rows, "2c", "rowscan")]
        bulk = by_key[(rows, "2c", "pysnmp bulkCmd")]
        r1 = by_key[(rows, "1", "rowscan")]
        limit = math.ceil(rows * COLUMNS / 64) + 2
        checks = [
            ("v2c requests %d <= %d" % (r2[0], limit), r2[0] <= limit),
            ("v2c wall ratio %.3f <= 0.6" % (r2[1] / bulk[1]), r2[1] <= 0.6 * bulk[1]),
            ("v2c CPU ratio 1/%.0f (<= 1/20)" % (bulk[2] / max(r2[2], 1e-6)),
             r2[2] * 20 <= bulk[2]),
            ("v1 requests %d == %d" % (r1[0], rows + 1), r1[0] == rows + 1),
        ]
        for text, passed in checks:
            ok = ok and passed
            print("%6d rows: %-40s %s" % (rows, text, "ok" if passed else "MISSED"))
    if not ok:
        sys.exit(1)


if __name__ == "__main__":
    main()
