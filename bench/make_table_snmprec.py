#!/usr/bin/python3
"""Writes an snmpsim .snmprec with an interface table of ROWS rows (ifIndex, ifDescr, ifInOctets)
under ifEntry, plus sysDescr, in identifier order.

    make_table_snmprec.py ROWS FILE
"""
import sys

rows, path = int(sys.argv[1]), sys.argv[2]
with open(path, "w") as out:
    out.write("1.3.6.1.2.1.1.1.0|4|generated table of %d rows\n" % rows)
    for column, tag, value in ((1, 2, lambda i: str(i)),
                               (2, 4, lambda i: "port-%d" % i),
                               (10, 65, lambda i: str(i * 1000 % 4294967296))):
        for i in range(1, rows + 1):
            out.write("1.3.6.1.2.1.2.2.1.%d.%d|%d|%s\n" % (column, i, tag, value(i)))
