#!/usr/bin/python3
"""rowscan's index fields and -hints beside the same walk without them, over the same snmpsimd
in the same run: client CPU of a walk of 10,000 rows by 4 columns with two index fields (an
integer and a six-octet address) and -hints (the address, one column by a "d-2" hint), at most
1.3 times the CPU of the walk of the 4 columns alone (medians of RUNS runs, taking turns).

    bench/rowscan_index_fields.py [BUILD_DIR] [RUNS]     (defaults: build, 3)

Prints "cpu plain MS" and "cpu indexed MS", then the check; status 1 when it is missed.
"""

import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from rowscan_script_forms import cpu_ms  # noqa: E402
from udp_count_proxy import SnmpSimAgent  # noqa: E402

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COMMUNITY = "indexed"
ROWS = 10000
ENTRY = "1.3.6.1.4.1.99999.95.1.1"

MODULE = """ZORV-BENCH-INDEX-MIB DEFINITIONS ::= BEGIN
IMPORTS MODULE-IDENTITY, OBJECT-TYPE, enterprises, Integer32, Gauge32, Counter32
            FROM SNMPv2-SMI
        TEXTUAL-CONVENTION, DisplayString FROM SNMPv2-TC;
benchIndexMIB MODULE-IDENTITY
    LAST-UPDATED "202612090000Z" ORGANIZATION "zorv" CONTACT-INFO "zorv"
    DESCRIPTION "A table indexed by a number and an address." ::= { enterprises 99999 95 }
BenchAddress ::= TEXTUAL-CONVENTION DISPLAY-HINT "1x:" STATUS current
    DESCRIPTION "Six octets." SYNTAX OCTET STRING (SIZE (6))
BenchHundredths ::= TEXTUAL-CONVENTION DISPLAY-HINT "d-2" STATUS current
    DESCRIPTION "Hundredths." SYNTAX Gauge32
benchTable OBJECT-TYPE SYNTAX SEQUENCE OF BenchEntry MAX-ACCESS not-accessible
    STATUS current DESCRIPTION "Rows." ::= { benchIndexMIB 1 }
benchEntry OBJECT-TYPE SYNTAX BenchEntry MAX-ACCESS not-accessible STATUS current
    DESCRIPTION "A row." INDEX { benchNumber, benchAddress } ::= { benchTable 1 }
BenchEntry ::= SEQUENCE { benchNumber Integer32, benchAddress BenchAddress,
    benchName DisplayString, benchLevel BenchHundredths, benchCount Counter32,
    benchState INTEGER }
benchNumber OBJECT-TYPE SYNTAX Integer32 (1..2147483647) MAX-ACCESS not-accessible
    STATUS current DESCRIPTION "Number." ::= { benchEntry 1 }
benchAddress OBJECT-TYPE SYNTAX BenchAddress MAX-ACCESS not-accessible
    STATUS current DESCRIPTION "Address." ::= { benchEntry 2 }
benchName OBJECT-TYPE SYNTAX DisplayString MAX-ACCESS read-only
    STATUS current DESCRIPTION "Name." ::= { benchEntry 3 }
benchLevel OBJECT-TYPE SYNTAX BenchHundredths MAX-ACCESS read-only
    STATUS current DESCRIPTION "Level." ::= { benchEntry 4 }
benchCount OBJECT-TYPE SYNTAX Counter32 MAX-ACCESS read-only
    STATUS current DESCRIPTION "Count." ::= { benchEntry 5 }
benchState OBJECT-TYPE SYNTAX INTEGER { up(1), down(2) } MAX-ACCESS read-only
    STATUS current DESCRIPTION "State." ::= { benchEntry 6 }
END
"""


def write_data(path):
    lines = ["1.3.6.1.2.1.1.1.0|4|index fields benchmark agent"]
    instances = ["%d.0.18.121.%d.%d.%d" % (i, i >> 16, (i >> 8) & 255, i & 255)
                 for i in range(1, ROWS + 1)]
    for column, tag, value in ((3, 4, "port-%05d"), (4, 66, "%d"), (5, 65, "%d"), (6, 2, "1")):
        lines += ["%s.%d.%s|%d|%s" % (ENTRY, column, instance, tag,
                                      value % i if "%" in value else value)
                  for i, instance in enumerate(instances, 1)]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    rowscan = os.path.join(build, "appls", "extmgr", "ttycmds", "rowscan")
    mibdb = os.path.join(build, "appls", "mibdb", "mibdb")
    modules = os.path.join(build, "third_party", "net-snmp")
    data_dir = tempfile.mkdtemp(prefix="zorv-bench-index-")
    with open(os.path.join(data_dir, "ZORV-BENCH-INDEX-MIB"), "w") as f:
        f.write(MODULE)
    database = os.path.join(data_dir, "db.bin")
    subprocess.run([mibdb, "build", "-o", database, "-M", data_dir + ":" + modules,
                    "ZORV-BENCH-INDEX-MIB"], check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, ZORVMIBDIRS=""))
    os.environ["MIBDBV2"] = database[:-4]
    os.environ["ZORVSNMP_TIMEOUT_MS"] = "5000"
    data = os.path.join(data_dir, COMMUNITY + ".snmprec")
    write_data(data)
    agent = SnmpSimAgent([data])
    base = [rowscan, "-c", COMMUNITY, "-table", "ZORV-BENCH-INDEX-MIB::benchEntry"]
    walks = {"plain": ["-fields", "benchName,benchLevel,benchCount,benchState"],
             "indexed": ["-hints", "-fields",
                         "benchNumber,benchAddress,benchName,benchLevel,benchCount,benchState"]}
    try:
        agent.wait_ready(COMMUNITY)
        node = ["-node", "127.0.0.1:%d" % agent.port]
        cpu = {walk: [] for walk in walks}
        for _ in range(runs):
            for walk, fields in walks.items():
                cpu[walk].append(cpu_ms(base + node + fields, ROWS))
        cpu = {walk: statistics.median(times) for walk, times in cpu.items()}
        for walk in walks:
            print("cpu %s %.1f" % (walk, cpu[walk]), flush=True)
    finally:
        agent.stop()
    passed = cpu["indexed"] <= 1.3 * cpu["plain"]
    print()
    print("%-70s %s" % ("two index fields and -hints %.1f ms <= 1.3 x plain %.1f ms"
                        % (cpu["indexed"], cpu["plain"]), "ok" if passed else "MISSED"))
    if not passed:
        sys.exit(1)


if __name__ == "__main__":
    main()
