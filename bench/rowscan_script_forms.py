#!/usr/bin/python3
"""rowscan's forms for scripts beside its text form, over the same snmpsimd in the same run:

- client CPU of -json and -csv over a table of 10,000 rows by 4 columns: at most 1.2 times the
  text form's (medians of RUNS runs each, the forms taking turns);
- peak memory (maximum resident set of the rowscan process) of -json and -csv over 100,000 rows:
  within 10 % of the same form over 10,000 rows.

    bench/rowscan_script_forms.py [BUILD_DIR] [RUNS]     (defaults: build, 3)

Prints "cpu FORM MS" and "memory FORM ROWS KB" lines, then the checks; status 1 when one is
missed.
"""

import os
import resource
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from udp_count_proxy import SnmpSimAgent  # noqa: E402

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COMMUNITY = "forms"
CPU_TABLE = (10000, "1.3.6.1.4.1.99999.91.1.1")
MEMORY_TABLES = {10000: "1.3.6.1.4.1.99999.92.1.1", 100000: "1.3.6.1.4.1.99999.93.1.1"}
FORMS = {"text": [], "-json": ["-json"], "-csv": ["-csv"]}
TIME = "/usr/bin/time"  # GNU time, for the peak resident set of one process


def write_data(path):
    lines = ["1.3.6.1.2.1.1.1.0|4|script forms benchmark agent"]
    rows, table = CPU_TABLE
    for column, tag, value in ((1, 2, "%d"), (2, 4, "port-%05d, \"uplink\""), (3, 65, "%d"),
                               (4, 67, "%d")):
        lines += ["%s.%d.%d|%d|%s" % (table, column, i, tag, value % i) for i in range(1, rows + 1)]
    for rows, table in sorted(MEMORY_TABLES.items()):
        lines += ["%s.1.%d|2|%d" % (table, i, i) for i in range(1, rows + 1)]
        lines += ["%s.2.%d|4|row %d" % (table, i, i) for i in range(1, rows + 1)]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def rowscan_args(rowscan, port, table, columns, form):
    return [rowscan, "-node", "127.0.0.1:%d" % port, "-c", COMMUNITY, "-table", "." + table,
            "-fields", ",".join(str(c) for c in range(1, columns + 1))] + FORMS[form]


def cpu_ms(args, rows):
    """CPU time in ms of one run, which must write a line per row and end with status 0."""
    with tempfile.TemporaryFile() as out:
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        status = subprocess.run(args, stdout=out, stderr=subprocess.DEVNULL).returncode
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        out.seek(0)
        lines = sum(1 for _ in out)
    if status != 0 or lines < rows:
        raise RuntimeError("%s: status %d, %d lines" % (" ".join(args[-1:]), status, lines))
    return ((after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)) * 1000


def peak_kb(args, rows):
    with tempfile.TemporaryFile() as out, tempfile.NamedTemporaryFile("r") as peak:
        status = subprocess.run([TIME, "-f", "%M", "-o", peak.name] + args, stdout=out,
                                stderr=subprocess.DEVNULL).returncode
        out.seek(0)
        lines = sum(1 for _ in out)
        if status != 0 or lines < rows:
            raise RuntimeError("%d-row walk: status %d, %d lines" % (rows, status, lines))
        return int(peak.read().split()[-1])


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    rowscan = os.path.join(build, "appls", "extmgr", "ttycmds", "rowscan")
    if not os.access(rowscan, os.X_OK):
        sys.exit("no rowscan in %s: build it first" % build)
    os.environ["MIBDBV2"] = os.path.join(build, "mibs", "snmpv2mib")
    os.environ["ZORVSNMP_TIMEOUT_MS"] = "5000"
    data_dir = tempfile.mkdtemp(prefix="zorv-bench-forms-")
    data = os.path.join(data_dir, COMMUNITY + ".snmprec")
    write_data(data)
    agent = SnmpSimAgent([data])
    checks = []
    try:
        agent.wait_ready(COMMUNITY)
        rows, table = CPU_TABLE
        cpu = {form: [] for form in FORMS}
        for _ in range(runs):
            for form in FORMS:
                cpu[form].append(cpu_ms(rowscan_args(rowscan, agent.port, table, 4, form), rows))
        cpu = {form: statistics.median(times) for form, times in cpu.items()}
        for form in FORMS:
            print("cpu %s %.1f" % (form, cpu[form]), flush=True)
        peaks = {}
        for form in ("-json", "-csv"):
            for rows, table in sorted(MEMORY_TABLES.items()):
                peaks[(form, rows)] = peak_kb(rowscan_args(rowscan, agent.port, table, 2, form),
                                              rows)
                print("memory %s %d %d" % (form, rows, peaks[(form, rows)]), flush=True)
        small, large = min(MEMORY_TABLES), max(MEMORY_TABLES)
        for form in ("-json", "-csv"):
            checks.append(("%s CPU %.1f ms <= 1.2 x text %.1f ms" % (form, cpu[form], cpu["text"]),
                           cpu[form] <= 1.2 * cpu["text"]))
            checks.append(("%s peak %d KB at %d rows within 10 %% of %d KB at %d rows"
                           % (form, peaks[(form, large)], large, peaks[(form, small)], small),
                           peaks[(form, large)] <= 1.1 * peaks[(form, small)]))
    finally:
        agent.stop()
    print()
    for text, passed in checks:
        print("%-70s %s" % (text, "ok" if passed else "MISSED"))
    if not all(passed for _, passed in checks):
        sys.exit(1)


if __name__ == "__main__":
    main()
