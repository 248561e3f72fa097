#!/usr/bin/python3
"""objpeek of 20 objects against a pysnmp getCmd loop over the same 20 objects, side by side in
one run on the same snmpsimd agent (the demo router's data), under SNMPv2c and SNMPv1. Each
client runs several times; the median wall time and CPU time of the client process
(getrusage of children) and the requests counted by the proxy are reported.

    bench/objpeek_vs_pysnmp.py [BUILD_DIR]     (default: build)
"""

import os
import statistics
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from udp_count_proxy import CountingProxy, SnmpSimAgent, run_client  # noqa: E402

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RUNS = 5
# The system group, ifNumber and the 12 interface descriptions: (object, instance).
OBJECTS = ([("1.3.6.1.2.1.1.%d" % i, "0") for i in range(1, 8)] + [("1.3.6.1.2.1.2.1", "0")] +
           [("1.3.6.1.2.1.2.2.1.2", str(i)) for i in range(1, 13)])

PYSNMP_GETS = r"""
import sys
from pysnmp.hlapi import *
version, port, objects = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
engine = SnmpEngine()
target = UdpTransportTarget(("127.0.0.1", port), timeout=5, retries=0)
auth = CommunityData("public", mpModel=0 if version == "1" else 1)
for oid in objects:
    error_indication, error_status, error_index, binds = next(
        getCmd(engine, auth, target, ContextData(), ObjectType(ObjectIdentity(oid))))
    if error_indication or error_status:
        sys.exit("get failed: %s %s" % (error_indication, error_status))
    for name, value in binds:
        print("%s = %s" % (name.prettyPrint(), value.prettyPrint()))
"""


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
    objpeek = os.path.join(build, "appls", "extmgr", "ttycmds", "objpeek")
    if not os.access(objpeek, os.X_OK):
        sys.exit("no objpeek in %s: build it first" % build)
    agent = SnmpSimAgent([os.path.join(TOP, "tests", "data", "demo", "public.snmprec")])
    proxy = None
    try:
        agent.wait_ready("public")
        proxy = CountingProxy(agent.port)
        node = "127.0.0.1:%d" % proxy.port
        objpeek_list = ",".join(".%s" % oid for oid, _ in OBJECTS)
        instances = ",".join(instance for _, instance in OBJECTS)
        pysnmp_args = [sys.executable, "-c", PYSNMP_GETS]
        print("%-4s %-15s %9s %12s %12s" % ("ver", "client", "requests", "wall ms", "cpu ms"))
        summary = {}
        for version in ("2c", "1"):
            env = dict(os.environ, ZORVSNMP_VERSION=version)
            clients = [
                ("objpeek", [objpeek, "-node", node, "-obj", objpeek_list, "-inst", instances]),
                ("pysnmp getCmd", pysnmp_args + [version, str(proxy.port)] +
                 ["%s.%s" % (oid, instance) for oid, instance in OBJECTS]),
            ]
            for name, args in clients:
                walls, cpus, requests = [], [], 0
                for _ in range(RUNS):
                    proxy.reset()
                    out, wall, cpu = run_client(args, env)
                    if "<NO VALUE>" in out or out.count("\n") < len(OBJECTS):
                        raise RuntimeError("%s did not get every object:\n%s" % (name, out))
                    walls.append(wall)
                    cpus.append(cpu)
                    requests = proxy.requests
                wall = statistics.median(walls) * 1000
                cpu = statistics.median(cpus) * 1000
                summary[(version, name)] = (wall, cpu)
                print("%-4s %-15s %9d %12.1f %12.1f" % (version, name, requests, wall, cpu),
                      flush=True)
        print()
        for version in ("2c", "1"):
            ours = summary[(version, "objpeek")]
            theirs = summary[(version, "pysnmp getCmd")]
            print("%-4s objpeek/pysnmp: wall %.3f, CPU 1/%.0f" %
                  (version, ours[0] / theirs[0], theirs[1] / max(ours[1], 1e-3)))
    finally:
        if proxy:
            proxy.close()
        agent.stop()


if __name__ == "__main__":
    main()
