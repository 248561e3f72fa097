#!/usr/bin/python3
"""rowscan's own GetNext walk (the one it falls back on when the whole-table request fails),
forced by a relay in front of snmpsimd that answers every GetBulk with genErr itself:

- peak memory (maximum resident set of the rowscan process) over tables of 2,000 and 20,000 rows
  whose second column holds 1 KB values: the larger within 10 % of the smaller;
- requests over a table of 10,000 rows by 4 columns: at most the table's cells + 4 (one binding
  per request, and one request more per column to find its end), beside the one refused GetBulk.

    bench/rowscan_fallback.py [BUILD_DIR]     (default: build)

Prints "memory ROWS KB" and "requests ROWS COLUMNS FALLBACK_REQUESTS LIMIT" lines, then the checks;
status 1 when one is missed.
"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from agent_relay import read_item  # noqa: E402
from udp_count_proxy import CountingProxy, SnmpSimAgent  # noqa: E402

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COMMUNITY = "fallback"
MEMORY_TABLES = {2000: "1.3.6.1.4.1.99999.81.1.1", 20000: "1.3.6.1.4.1.99999.82.1.1"}
REQUEST_TABLE = (10000, 4, "1.3.6.1.4.1.99999.83.1.1")
VALUE_BYTES = 1024
TIME = "/usr/bin/time"  # GNU time, for the peak resident set of one process
GET_BULK = 0xA5
GEN_ERR = 5


def write_data(path):
    lines = ["1.3.6.1.2.1.1.1.0|4|fallback benchmark agent"]
    for rows, table in sorted(MEMORY_TABLES.items()):
        lines += ["%s.1.%d|2|%d" % (table, i, i) for i in range(1, rows + 1)]
        lines += ["%s.2.%d|4|%s" % (table, i, ("%d-" % i).ljust(VALUE_BYTES, "v"))
                  for i in range(1, rows + 1)]
    rows, columns, table = REQUEST_TABLE
    for column in range(1, columns + 1):
        tag, value = {1: (2, "%d"), 2: (4, "port-%05d"), 3: (65, "%d"), 4: (66, "%d")}[column]
        lines += ["%s.%d.%d|%d|%s" % (table, column, i, tag, value % i) for i in range(1, rows + 1)]
    lines.append("1.3.6.1.4.1.99999.99.0|2|0")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def refusal(request):
    """For an SNMPv1/v2c GetBulk, the genErr Response to send back; otherwise None."""
    try:
        _, at, _ = read_item(request, 0)
        _, v0, v1 = read_item(request, at)
        _, c0, c1 = read_item(request, v1)
        pdu, p0, _ = read_item(request, c1)
        if pdu != GET_BULK:
            return None
        _, r0, r1 = read_item(request, p0)
    except IndexError:
        return None

    def item(tag, body):
        n = len(body)
        head = bytes([n]) if n < 128 else bytes([0x82, n >> 8, n & 0xFF])
        return bytes([tag]) + head + body

    pdu_body = (item(0x02, request[r0:r1]) + item(0x02, bytes([GEN_ERR])) +
                item(0x02, bytes([1])) + item(0x30, b""))
    return item(0x30, item(0x02, request[v0:v1]) + item(0x04, request[c0:c1]) +
                item(0xA2, pdu_body))


class RefusingRelay(CountingProxy):
    """Forwards datagrams between one client and the agent, but answers GetBulk with genErr
    itself. Counts what it refused and what it forwarded."""

    def __init__(self, agent_port):
        self.refused = 0
        super().__init__(agent_port)

    @property
    def forwarded(self):
        return self.requests - self.refused

    def answer(self, request):
        refused = refusal(request)
        if refused:
            self.refused += 1
        return refused or None

    def reset(self):
        super().reset()
        self.refused = 0


def run_rowscan(rowscan, port, table, columns):
    """(exit status, lines of output, peak resident set in KB) of one rowscan run. GNU time
    starts it, so that the peak is rowscan's own and not that of a copy of this interpreter."""
    env = dict(os.environ, ZORVSNMP_VERSION="2c", ZORVSNMP_TIMEOUT_MS="5000")
    with tempfile.TemporaryFile() as out, tempfile.NamedTemporaryFile("r") as peak:
        args = [TIME, "-f", "%M", "-o", peak.name, rowscan, "-node", "127.0.0.1:%d" % port,
                "-c", COMMUNITY, "-table", "." + table,
                "-fields", ",".join(str(c) for c in range(1, columns + 1))]
        status = subprocess.run(args, env=env, stdout=out, stderr=subprocess.DEVNULL).returncode
        out.seek(0)
        return status, sum(1 for _ in out), int(peak.read().split()[-1])


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
    rowscan = os.path.join(build, "appls", "extmgr", "ttycmds", "rowscan")
    if not os.access(rowscan, os.X_OK):
        sys.exit("no rowscan in %s: build it first" % build)
    data_dir = tempfile.mkdtemp(prefix="zorv-bench-fallback-")
    data = os.path.join(data_dir, COMMUNITY + ".snmprec")
    write_data(data)
    agent = SnmpSimAgent([data])
    relay = None
    checks = []
    try:
        agent.wait_ready(COMMUNITY)
        relay = RefusingRelay(agent.port)
        peaks = {}
        for rows, table in sorted(MEMORY_TABLES.items()):
            relay.reset()
            status, lines, peak = run_rowscan(rowscan, relay.port, table, 2)
            if status != 0 or lines != rows + 4 or relay.refused != 1:
                raise RuntimeError("%d-row walk: status %d, %d lines, %d refused"
                                   % (rows, status, lines, relay.refused))
            peaks[rows] = peak
            print("memory %d %d" % (rows, peak), flush=True)
        rows, columns, table = REQUEST_TABLE
        relay.reset()
        status, lines, _ = run_rowscan(rowscan, relay.port, table, columns)
        if status != 0 or lines != rows + 4:
            raise RuntimeError("request walk: status %d, %d lines" % (status, lines))
        limit = rows * columns + columns
        print("requests %d %d %d %d" % (rows, columns, relay.forwarded, limit), flush=True)
        small, large = min(peaks), max(peaks)
        checks = [("peak %d KB at %d rows within 10 %% of %d KB at %d rows"
                   % (peaks[large], large, peaks[small], small),
                   peaks[large] <= 1.1 * peaks[small]),
                  ("%d requests <= cells + %d = %d" % (relay.forwarded, columns, limit),
                   relay.forwarded <= limit)]
    finally:
        if relay:
            relay.close()
        agent.stop()
    print()
    for text, passed in checks:
        print("%-60s %s" % (text, "ok" if passed else "MISSED"))
    if not all(passed for _, passed in checks):
        sys.exit(1)


if __name__ == "__main__":
    main()
