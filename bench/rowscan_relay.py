#!/usr/bin/python3
"""rowscan's whole-table walk of 10,000 rows x 4 columns through a relay in front of snmpsimd
that behaves like agents in the field (bench/agent_relay.py), each beside pysnmp through the
same relay or the ideal request count, and every table printed compared with a plain walk's
(rowscan straight at the agent with 16 repetitions):

- an agent that answers at most 64 bindings: requests <= ceil(cells / 64) + columns (each
  column walked side by side ends with an answer of its own: ceil(cells / 64) + 1 one at a time);
- an agent that answers at most 2,000 bindings: requests <= 100 (pysnmp bulkCmd(50) beside);
- tooBig above 24 bindings, and silence above 24 bindings: requests <= 1.1 x ceil(cells / 24)
  + 10, status 0, no GetNext (the one-binding walk rowscan falls back on);
- a 20 ms round trip: wall <= 0.35 x pysnmp bulkCmd(25)'s; with a 64-binding agent, requests
  side by side faster than one at a time;
- loopback (no relay): wall within 1.1 x the agent's CPU time;
- objpeek of 20 objects through the 20 ms relay within 150 ms, the same form as one Get after
  another, beside pysnmp.

    bench/rowscan_relay.py [BUILD_DIR]     (default: build)

Prints one tab-separated line per client run ("run", case, client, requests, wall s, agent CPU s,
output identical yes/no/-), then the checks; status 1 when one is missed.
"""

import math
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from agent_relay import AgentRelay  # noqa: E402
from objpeek_vs_pysnmp import OBJECTS, PYSNMP_GETS  # noqa: E402
from rowscan_vs_pysnmp import COMMUNITY, PYSNMP_WALK, SIZES, write_data  # noqa: E402
from udp_count_proxy import SnmpSimAgent  # noqa: E402

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROWS = 10000
COLUMNS = 4
CELLS = ROWS * COLUMNS
TABLE = SIZES[ROWS]
GET_NEXT = 0xA1
GETS = "20 objects, 20 ms round trip"
PYTHON = "/usr/bin/python3"  # Debian's interpreter, the one with pysnmp

# name, relay settings, rowscan settings, pysnmp max-repetitions (None: no peer run)
CASES = [
    ("64-binding agent", dict(most=64, mode="cut"), {}, None),
    ("2000-binding agent", dict(most=2000, mode="cut"), {}, 50),
    ("tooBig above 24", dict(most=24, mode="toobig"), {}, None),
    ("silent above 24", dict(most=24, mode="silent"), {"ZORVSNMP_TIMEOUT_MS": "500"}, None),
    ("20 ms round trip", dict(delay_ms=10), {}, 25),
    # Small answers over a long link: requests side by side, beside one at a time.
    ("64-binding agent, 20 ms round trip", dict(most=64, mode="cut", delay_ms=10), {}, None),
    ("64-binding agent, 20 ms round trip, one at a time", dict(most=64, mode="cut", delay_ms=10),
     {"ZORVSNMP_PARALLEL": "1"}, None),
    ("loopback", None, {}, None),  # straight at the agent
]


def agent_cpu(pid):
    """User and system CPU seconds of a process so far."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def timed(args, env, pid):
    """(status, stdout, wall s, agent CPU s) of one client run; the node text in the output is
    made the same for every port."""
    cpu = agent_cpu(pid)
    start = time.perf_counter()
    done = subprocess.run(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    wall = time.perf_counter() - start
    if done.returncode != 0:
        sys.stderr.write(done.stderr.decode(errors="replace"))
    node = args[args.index("-node") + 1].encode() if "-node" in args else b"-"
    return done.returncode, done.stdout.replace(node, b"NODE"), wall, agent_cpu(pid) - cpu


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
    rowscan = os.path.join(build, "appls", "extmgr", "ttycmds", "rowscan")
    if not os.access(rowscan, os.X_OK):
        sys.exit("no rowscan in %s: build it first" % build)
    data_dir = tempfile.mkdtemp(prefix="zorv-bench-relay-")
    data = os.path.join(data_dir, COMMUNITY + ".snmprec")
    write_data(data)
    # The agent answers any number of bindings: the relay alone sets the limit.
    demo = os.path.join(TOP, "tests", "data", "demo", "public.snmprec")
    agent = SnmpSimAgent([data, demo], ["--max-varbinds=100000"])
    checks = []
    try:
        agent.wait_ready(COMMUNITY)
        pid = agent.process.pid

        def rowscan_args(port):
            return [rowscan, "-node", "127.0.0.1:%d" % port, "-c", COMMUNITY, "-table",
                    "." + TABLE, "-fields", ",".join(str(c) for c in range(1, COLUMNS + 1))]

        plain_env = dict(os.environ, ZORVSNMP_VERSION="2c", ZORVSNMP_TIMEOUT_MS="5000",
                         ZORVSNMP_MAX_REPETITIONS="16")
        status, plain, _, _ = timed(rowscan_args(agent.port), plain_env, pid)
        if status != 0 or plain.count(b"\n") != ROWS + 4:
            raise RuntimeError("the plain walk failed")
        results = {}
        for name, relay_settings, settings, peer in CASES:
            relay = AgentRelay(agent.port, **(relay_settings or {}))
            port = relay.port if relay_settings is not None else agent.port
            try:
                env = dict(os.environ, ZORVSNMP_VERSION="2c", ZORVSNMP_TIMEOUT_MS="5000")
                env.update(settings)
                status, out, wall, cpu = timed(rowscan_args(port), env, pid)
                same = status == 0 and out == plain
                results[(name, "rowscan")] = (relay.requests, wall, cpu, status, same,
                                              relay.by_pdu.get(GET_NEXT, 0))
                print("run\t%s\trowscan\t%d\t%.3f\t%.3f\t%s" %
                      (name, relay.requests, wall, cpu, "yes" if same else "no"), flush=True)
                if peer:
                    client = "pysnmp bulkCmd(%d)" % peer
                    relay.reset()
                    script = PYSNMP_WALK.replace("0, 25, *names", "0, %d, *names" % peer)
                    status, out, wall, cpu = timed(
                        [PYTHON, "-c", script, "bulk", "2c", str(relay.port), TABLE,
                         str(COLUMNS)], env, pid)
                    if status != 0 or int(out) != ROWS:
                        raise RuntimeError("%s through the relay failed" % client)
                    results[(name, client)] = (relay.requests, wall, cpu)
                    print("run\t%s\t%s\t%d\t%.3f\t%.3f\t-" % (name, client, relay.requests, wall,
                                                             cpu), flush=True)
            finally:
                relay.close()
        gets(build, agent.port, pid, results)
        checks = judge(results)
    finally:
        agent.stop()
    print()
    for text, passed in checks:
        print("%-72s %s" % (text, "ok" if passed else "MISSED"))
    if not all(passed for _, passed in checks):
        sys.exit(1)


def gets(build, agent_port, pid, results):
    """objpeek of 20 objects through the 20 ms relay, its Gets in flight together and one after
    another, beside pysnmp getCmd of the same objects."""
    objpeek = os.path.join(build, "appls", "extmgr", "ttycmds", "objpeek")
    relay = AgentRelay(agent_port, delay_ms=10)
    try:
        node = "127.0.0.1:%d" % relay.port
        args = [objpeek, "-node", node, "-obj", ",".join(".%s" % oid for oid, _ in OBJECTS),
                "-inst", ",".join(instance for _, instance in OBJECTS)]
        clients = [
            ("objpeek", args, {}),
            ("objpeek one at a time", args, {"ZORVSNMP_PARALLEL": "1"}),
            ("pysnmp getCmd", [PYTHON, "-c", PYSNMP_GETS, "2c", str(relay.port)] +
             ["%s.%s" % (oid, instance) for oid, instance in OBJECTS], {}),
        ]
        outputs = {}
        for name, args, settings in clients:
            relay.reset()
            env = dict(os.environ, ZORVSNMP_VERSION="2c", **settings)
            status, out, wall, cpu = timed(args, env, pid)
            if status != 0:
                raise RuntimeError("%s through the relay failed" % name)
            outputs[name] = out
            results[(GETS, name)] = (relay.requests, wall, cpu)
            print("run\t%s\t%s\t%d\t%.3f\t%.3f\t-" % (GETS, name, relay.requests, wall, cpu),
                  flush=True)
        results[(GETS, "same form")] = outputs["objpeek"] == outputs["objpeek one at a time"]
    finally:
        relay.close()


def judge(results):
    checks = []
    for name, _, _, _ in CASES:
        requests, _, _, status, same, _ = results[(name, "rowscan")]
        checks.append(("%s: status %d, table identical to the plain walk's" % (name, status),
                       status == 0 and same))
    r = results[("64-binding agent", "rowscan")][0]
    limit = math.ceil(CELLS / 64) + COLUMNS
    checks.append(("64-binding agent: %d requests <= %d" % (r, limit), r <= limit))
    r = results[("2000-binding agent", "rowscan")][0]
    checks.append(("2000-binding agent: %d requests <= 100" % r, r <= 100))
    limit = 1.1 * math.ceil(CELLS / 24) + 10
    for name in ("tooBig above 24", "silent above 24"):
        r, _, _, _, _, next_requests = results[(name, "rowscan")]
        checks.append(("%s: %d requests <= %.0f, %d GetNext" % (name, r, limit, next_requests),
                       r <= limit and next_requests == 0))
    ours = results[("20 ms round trip", "rowscan")][1]
    theirs = results[("20 ms round trip", "pysnmp bulkCmd(25)")][1]
    checks.append(("20 ms round trip: wall %.2f s <= 0.35 x pysnmp's %.2f s" % (ours, theirs),
                   ours <= 0.35 * theirs))
    wall = results[(GETS, "objpeek")][1]
    serial = results[(GETS, "objpeek one at a time")][1]
    checks.append(("objpeek of 20 objects: wall %.3f s <= 0.150 s (one at a time %.3f s), "
                   "same form" % (wall, serial), wall <= 0.150 and results[(GETS, "same form")]))
    ours = results[("64-binding agent, 20 ms round trip", "rowscan")][1]
    serial = results[("64-binding agent, 20 ms round trip, one at a time", "rowscan")][1]
    checks.append(("64-binding agent, 20 ms round trip: wall %.2f s < one at a time %.2f s" %
                   (ours, serial), ours < serial))
    _, wall, cpu, _, _, _ = results[("loopback", "rowscan")]
    checks.append(("loopback: wall %.2f s <= 1.1 x agent CPU %.2f s" % (wall, cpu),
                   wall <= 1.1 * cpu))
    return checks


if __name__ == "__main__":
    main()
