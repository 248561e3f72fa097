#!/usr/bin/python3
"""SNMPv3 at authPriv (SHA-256, AES-128) against pysnmp with the same user, side by side in one
run on one snmpsimd: rowscan walking the 10,000 x 4 table (and, for its request count, the same
walk under SNMPv2c) beside pysnmp bulkCmd with max-repetitions 25; objpeek of the 20 objects of
objpeek_vs_pysnmp.py beside a pysnmp getCmd loop (medians of 5 runs). A counting proxy counts
the requests; wall time and the client's CPU time (getrusage of children) are measured.

    bench/v3_vs_pysnmp.py [BUILD_DIR]     (default: build)
"""

import os
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from objpeek_vs_pysnmp import OBJECTS  # noqa: E402
from rowscan_vs_pysnmp import COLUMNS, COMMUNITY, SIZES, write_data  # noqa: E402
from udp_count_proxy import CountingProxy, SnmpSimAgent, run_client  # noqa: E402

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROWS = 10000
RUNS = 5
USER = ("bench-v3", "bench-auth-key", "bench-priv-key")
AGENT_USER = ["--v3-user=" + USER[0], "--v3-auth-key=" + USER[1], "--v3-auth-proto=SHA256",
              "--v3-priv-key=" + USER[2], "--v3-priv-proto=AES"]
V3_ENV = {"ZORVSNMP_VERSION": "3", "ZORVSNMP_SECURITY_NAME": USER[0],
          "ZORVSNMP_AUTH_PROTOCOL": "SHA256", "ZORVSNMP_AUTH_PASSPHRASE": USER[1],
          "ZORVSNMP_PRIV_PROTOCOL": "AES", "ZORVSNMP_PRIV_PASSPHRASE": USER[2]}

PYSNMP = r"""
import sys
from pysnmp.hlapi import *
mode, port, context, names = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4:]
engine = SnmpEngine()
user = UsmUserData("%s", "%s", "%s", authProtocol=usmHMAC192SHA256AuthProtocol,
                   privProtocol=usmAesCfb128Protocol)
target = UdpTransportTarget(("127.0.0.1", port), timeout=5, retries=0)
scope = ContextData(contextName=context)
if mode == "bulk":
    rows = 0
    for error_indication, error_status, error_index, binds in bulkCmd(
            engine, user, target, scope, 0, 25,
            *[ObjectType(ObjectIdentity(n)) for n in names], lexicographicMode=False):
        if error_indication or error_status:
            sys.exit("walk failed: %%s %%s" %% (error_indication, error_status))
        rows += 1
    print(rows)
else:
    for oid in names:
        error_indication, error_status, error_index, binds = next(
            getCmd(engine, user, target, scope, ObjectType(ObjectIdentity(oid))))
        if error_indication or error_status:
            sys.exit("get failed: %%s %%s" %% (error_indication, error_status))
        for name, value in binds:
            print("%%s = %%s" %% (name.prettyPrint(), value.prettyPrint()))
""" % USER


def timed(proxy, args, env, runs, check):
    """Median wall and CPU seconds of `runs` runs, and the requests of the last."""
    walls, cpus = [], []
    for _ in range(runs):
        proxy.reset()
        out, wall, cpu = run_client(args, env)
        check(out)
        walls.append(wall)
        cpus.append(cpu)
    return proxy.requests, statistics.median(walls), statistics.median(cpus)


def rows_check(name):
    def check(out):
        got = (out.count("\n") - 4) if name == "rowscan" else int(out)
        if got != ROWS:
            raise RuntimeError("%s returned %d rows, not %d" % (name, got, ROWS))
    return check


def objects_check(out):
    if "<NO VALUE>" in out or out.count("\n") < len(OBJECTS):
        raise RuntimeError("not every object came:\n" + out)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
    rowscan = os.path.join(build, "appls", "extmgr", "ttycmds", "rowscan")
    objpeek = os.path.join(build, "appls", "extmgr", "ttycmds", "objpeek")
    if not os.access(rowscan, os.X_OK) or not os.access(objpeek, os.X_OK):
        sys.exit("no rowscan or objpeek in %s: build them first" % build)
    data = os.path.join(tempfile.mkdtemp(prefix="zorv-bench-v3-"), COMMUNITY + ".snmprec")
    write_data(data)
    agent = SnmpSimAgent([data, os.path.join(TOP, "tests", "data", "demo", "public.snmprec")],
                         AGENT_USER)
    proxy = None
    try:
        agent.wait_ready(COMMUNITY)
        proxy = CountingProxy(agent.port)
        node = "127.0.0.1:%d" % proxy.port
        table = SIZES[ROWS]
        fields = ",".join(str(c) for c in range(1, COLUMNS + 1))
        walk = [rowscan, "-node", node, "-c", COMMUNITY, "-table", "." + table, "-fields", fields]
        v2c_env = dict(os.environ, ZORVSNMP_VERSION="2c", ZORVSNMP_TIMEOUT_MS="5000")
        v3_env = dict(v2c_env, ZORVSNMP_CONTEXT=COMMUNITY, **V3_ENV)
        run_client(walk, v2c_env)  # warms the agent's index of the table
        print("%-28s %9s %12s %12s" % ("client", "requests", "wall ms", "cpu ms"), flush=True)
        results = {}

        def show(name, figures):
            results[name] = figures
            print("%-28s %9d %12.1f %12.1f" % (name, figures[0], figures[1] * 1000,
                                                figures[2] * 1000), flush=True)

        show("walk rowscan v2c", timed(proxy, walk, v2c_env, 1, rows_check("rowscan")))
        show("walk rowscan v3", timed(proxy, walk, v3_env, 1, rows_check("rowscan")))
        columns = ["%s.%d" % (table, c) for c in range(1, COLUMNS + 1)]
        show("walk pysnmp bulkCmd v3", timed(
            proxy, [sys.executable, "-c", PYSNMP, "bulk", str(proxy.port), COMMUNITY] + columns,
            v2c_env, 1, rows_check("pysnmp")))
        objects = ",".join(".%s" % oid for oid, _ in OBJECTS)
        instances = ",".join(instance for _, instance in OBJECTS)
        show("get objpeek v3", timed(
            proxy, [objpeek, "-node", node, "-obj", objects, "-inst", instances],
            dict(v3_env, ZORVSNMP_CONTEXT="public"), RUNS, objects_check))
        show("get pysnmp getCmd v3", timed(
            proxy, [sys.executable, "-c", PYSNMP, "get", str(proxy.port), "public"] +
            ["%s.%s" % (oid, instance) for oid, instance in OBJECTS], v2c_env, RUNS,
            objects_check))
        report(results)
    finally:
        if proxy:
            proxy.close()
        agent.stop()


def report(r):
    v2c, ours, peer = r["walk rowscan v2c"], r["walk rowscan v3"], r["walk pysnmp bulkCmd v3"]
    print()
    checks = [
        ("v3 requests %d <= v2c %d + 1" % (ours[0], v2c[0]), ours[0] <= v2c[0] + 1),
        ("v3 wall ratio %.3f <= 0.5" % (ours[1] / peer[1]), ours[1] <= 0.5 * peer[1]),
        ("v3 CPU ratio 1/%.0f (<= 1/20)" % (peer[2] / max(ours[2], 1e-6)),
         ours[2] * 20 <= peer[2]),
    ]
    ok = True
    for text, passed in checks:
        ok = ok and passed
        print("%6d rows: %-40s %s" % (ROWS, text, "ok" if passed else "MISSED"))
    get, peer_get = r["get objpeek v3"], r["get pysnmp getCmd v3"]
    print("20 objects: objpeek/pysnmp wall %.3f, CPU 1/%.0f" %
          (get[1] / peer_get[1], peer_get[2] / max(get[2], 1e-6)))
    if not ok:
        sys.exit(1)


if __name__ == "__main__":
    main()
