#!/usr/bin/python3
"""The CSV and JSON forms of rowscan and objpeek, read back by Python's csv and json modules.

- A recorded real switch (snmpsim's cisco_16_switch example data): the ifTable's -csv and -json
  hold exactly the cells its -html shows.
- Hostile values and labels: every record and line parses as strict UTF-8 CSV and JSON, and each
  value reads back as its text.
- An agent that falls silent half-way through the walk: JSON's last line says the table is
  incomplete, CSV ends with a whole record, and both exit with status 1.

    script_forms_e2e_test.py ROWSCAN OBJPEEK MIB_DATABASE_BASE

Exit status 0 on success, 1 on failure.
"""
import csv
import gzip
import html.parser
import io
import json
import os
import re
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

from html_browser_e2e_test import start_agent

SWITCH_DATA = "/usr/share/doc/snmpsim/examples/data/cisco_16_switch.snmprec.gz"
IF_ENTRY = "interfaces.ifTable.ifEntry"
SWITCH_FIELDS = ["ifIndex", "ifDescr", "ifType", "ifMtu", "ifSpeed", "ifPhysAddress",
                 "ifAdminStatus", "ifOperStatus", "ifLastChange", "ifInOctets", "ifOutErrors",
                 "ifSpecific"]

# (agent value, its text as every form shows it). Values that are not all printable ASCII are
# shown as hex.
HOSTILE = [
    ('say "hi", then go', 'say "hi", then go'),
    ("line1\nline2", "line1\nline2"),
    ("crlf\r\nnext\r", "crlf\r\nnext\r"),
    ("=HYPERLINK(\"http://x\")", "=HYPERLINK(\"http://x\")"),
    ("back\\slash\\", "back\\slash\\"),
    ("", ""),
    ("  padded  ", "  padded  "),
    ('"', '"'),
    ("ab\x00cd", "61 62 00 63 64 "),
    ("sep\u2028para", "73 65 70 E2 80 A8 70 61 72 61 "),
    ("\xff\xfe latin", "FF FE 20 6C 61 74 69 6E "),
    # Longer as text than the text form's value buffer: written whole all the same.
    ("\x01" * 11000, "01 " * 11000),
]
# Labels reach both forms too; bytes that are not UTF-8 become U+FFFD.
# (A field list is split at commas and line ends, and a label ends at its first "=".)
HOSTILE_LABELS = [b'Say "what"', b"tab\there", b"caf\xe9", b"sep\xe2\x80\xa8"]
READ_LABELS = ['Say "what"', "tab\there", "caf\ufffd", "sep\u2028"]


def snmprec_line(name, value):
    raw = value.encode("latin-1") if all(ord(c) < 256 for c in value) else value.encode()
    return "%s|4x|%s\n" % (name, raw.hex())


def run(program, args, env):
    result = subprocess.run([program] + args, env=env, capture_output=True, timeout=300)
    return result.returncode, result.stdout, result.stderr.decode("utf-8", "replace")


def read_csv(data):
    """Records of strictly decoded, strictly parsed CSV; every record ends with a line feed."""
    text = data.decode("utf-8")
    if text and not text.endswith("\n"):
        raise ValueError("the output does not end with a whole record")
    return list(csv.reader(io.StringIO(text, newline=""), strict=True))


def read_json_lines(data):
    text = data.decode("utf-8")
    if "\u2028" in text or "\u2029" in text:
        raise ValueError("a raw line separator")
    return [json.loads(line) for line in text.split("\n")[:-1]]


class HtmlCells(html.parser.HTMLParser):
    """The text of each TD, row by row."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.cell = [], None

    def handle_starttag(self, tag, attrs):
        if tag == "tr":
            self.rows.append([])
        elif tag == "td":
            self.cell = ""

    def handle_endtag(self, tag):
        if tag == "td" and self.cell is not None:
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


class SilentAfter:
    """A UDP relay to the agent that forwards the first `requests` requests, then drops all."""

    def __init__(self, agent_port, requests):
        self.agent, self.left = ("127.0.0.1", agent_port), requests
        self.front = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.front.bind(("127.0.0.1", 0))
        self.back = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.port, self.client, self.stop = self.front.getsockname()[1], None, False
        self.thread = threading.Thread(target=self.relay, daemon=True)
        self.thread.start()

    def relay(self):
        while not self.stop:
            for sock in select.select([self.front, self.back], [], [], 0.1)[0]:
                data, sender = sock.recvfrom(65535)
                if sock is self.back:
                    self.front.sendto(data, self.client)
                elif self.left > 0:
                    self.left -= 1
                    self.client = sender
                    self.back.sendto(data, self.agent)

    def close(self):
        self.stop = True
        self.thread.join()
        self.front.close()
        self.back.close()


def check_switch(rowscan, common, env, expect):
    args = common + ["-c", "switch", "-table", IF_ENTRY, "-fields", ",".join(SWITCH_FIELDS)]
    status, out, err = run(rowscan, args + ["-html"], env)
    expect("switch -html status", (status, err), (0, ""))
    parser = HtmlCells()
    parser.feed(out.decode("utf-8"))
    shown = [row for row in parser.rows if row]
    status, out, err = run(rowscan, args + ["-csv"], env)
    expect("switch -csv status", (status, err), (0, ""))
    records = read_csv(out)
    expect("switch -csv heading", records[0], ["instance"] + SWITCH_FIELDS)
    status, out, err = run(rowscan, args + ["-json"], env)
    expect("switch -json status", (status, err), (0, ""))
    lines = read_json_lines(out)
    expect("switch -json end", lines[-1], {"complete": True, "rows": len(shown)})
    expect("switch rows", (len(records) - 1, len(lines) - 1), (len(shown), len(shown)))
    expect("switch has holes", any("<NO VALUE>" in row for row in shown), True)
    for cells, record, line in zip(shown, records[1:], lines):
        expect("instance", (record[0], line["instance"]), (cells[0], cells[0]))
        values = [line["values"][label] for label in SWITCH_FIELDS]
        for label, html_text, csv_text, value in zip(SWITCH_FIELDS, cells, record[1:], values):
            if html_text == "<NO VALUE>":
                expect(label + " hole", (csv_text, value), ("", None))
                continue
            expect(label + " -csv", csv_text, html_text)
            ticks = re.match(r"\((\d+)\) ", html_text)
            if ticks:
                expect(label + " -json", value, int(ticks.group(1)))
            elif isinstance(value, int):
                expect(label + " -json", str(value), html_text)
            else:
                expect(label + " -json", value, html_text)
    expect("switch numbers", type(lines[0]["values"]["ifInOctets"]), int)
    # Rows outside the prefixes ("1" as text: no interface) are neither written nor counted.
    status, out, err = run(rowscan, args + ["-json", "-inst", "1*"], env)
    expect("prefix -json", (status, read_json_lines(out)), (0, [{"complete": True, "rows": 0}]))


def check_hostile(rowscan, objpeek, common, env, expect):
    fields = b",".join(label + b"=ifDescr" for label in HOSTILE_LABELS)
    args = common + ["-c", "hostile", "-table", IF_ENTRY, "-fields", fields]
    status, out, err = run(rowscan, args + ["-csv"], env)
    expect("hostile -csv status", (status, err), (0, ""))
    records = read_csv(out)
    expect("hostile -csv heading", records[0], ["instance"] + READ_LABELS)
    expect("hostile -csv values", [r[1] for r in records[1:]], [t for _, t in HOSTILE])
    expect("hostile -csv columns", {len(r) for r in records}, {1 + len(READ_LABELS)})
    status, out, err = run(rowscan, args + ["-json"], env)
    expect("hostile -json status", (status, err), (0, ""))
    lines = read_json_lines(out)
    expect("hostile -json values", [line["values"][READ_LABELS[0]] for line in lines[:-1]],
           [t for _, t in HOSTILE])
    expect("hostile -json labels", list(lines[0]["values"]), READ_LABELS)
    # Output that cannot be written is a failure, never a success.
    with open("/dev/full", "wb") as full:
        done = subprocess.run([rowscan] + args + ["-json"], env=env, stdout=full,
                              stderr=subprocess.PIPE, timeout=300)
    expect("-json to a full disk", (done.returncode, done.stderr),
           (1, b"ERROR: could not write standard output: No space left on device\n"))
    # Two labels that are one JSON key are refused before anything is asked.
    status, out, err = run(rowscan, args[:-1] + [b"a=ifDescr,a=ifType", "-json"], env)
    expect("duplicate labels", (status, out, err.splitlines()[0]),
           (1, b"", "ERROR: invalid field list: a=ifDescr,a=ifType"))

    objects = b",".join([label + b"=.1.3.6.1.2.1.2.2.1.2" for label in HOSTILE_LABELS] +
                        [b"Missing=.1.3.6.1.2.1.1.99"])
    instances = ",".join([str(i) for i in range(1, len(HOSTILE_LABELS) + 1)] + ["0"])
    args = common + ["-c", "hostile", "-obj", objects, "-inst", instances]
    status, out, err = run(objpeek, args + ["-csv"], env)
    expect("objpeek -csv status", (status, err), (0, ""))
    want = [t for _, t in HOSTILE[:len(HOSTILE_LABELS)]] + [""]
    expect("objpeek -csv", read_csv(out), [READ_LABELS + ["Missing"], want])
    status, out, err = run(objpeek, args + ["-json"], env)
    expect("objpeek -json status", (status, err), (0, ""))
    form = read_json_lines(out)
    want = dict(zip(READ_LABELS + ["Missing"], want[:-1] + [None]))
    expect("objpeek -json", form, [{"node": common[1], "values": want,
                                    "errors": {"Missing": "noSuchName"}}])


def check_silent(rowscan, objpeek, agent_port, env, expect):
    relay = SilentAfter(agent_port, 4)
    try:
        quick = dict(env, ZORVSNMP_TIMEOUT_MS="200", ZORVSNMP_RETRIES="0",
                     ZORVSNMP_MAX_REPETITIONS="3")
        args = ["-node", "127.0.0.1:%d" % relay.port, "-c", "switch", "-table", IF_ENTRY,
                "-fields", "ifIndex,ifDescr,ifOperStatus"]
        status, out, err = run(rowscan, args + ["-json"], quick)
        lines = read_json_lines(out)
        last = lines[-1]
        expect("silent -json", (status, last["complete"], last["rows"]),
               (1, False, len(lines) - 1))
        expect("silent -json rows", len(lines) > 1, True)
        expect("silent -json message", last["error"] + "\n", err)
        relay.left = 4
        status, out, err = run(rowscan, args + ["-csv"], quick)
        records = read_csv(out)
        expect("silent -csv", (status, {len(r) for r in records}), (1, {4}))
        expect("silent -csv rows", len(records) > 1, True)
        # A form cut short is not written at all.
        objects = "A=.1.3.6.1.2.1.1.5,B=.1.3.6.1.2.1.1.3"
        for form in ("-json", "-csv"):
            relay.left = 1
            status, out, err = run(objpeek, args[:4] + ["-obj", objects, form], quick)
            expect("silent objpeek " + form, (status, out, err.startswith("Could not perform")),
                   (1, b"", True))
    finally:
        relay.close()


def main():
    rowscan, objpeek, database = sys.argv[1:4]
    failures = []

    def expect(what, got, want):
        if got != want:
            failures.append("%s:\n  got  %r\n  want %r" % (what, got, want))

    work = tempfile.mkdtemp(prefix="zorv-script-forms-")
    agent = lock = None
    try:
        data, cache = os.path.join(work, "data"), os.path.join(work, "cache")
        os.makedirs(data)
        os.makedirs(cache)
        with open(os.path.join(data, "hostile.snmprec"), "w") as f:
            for i, (value, _) in enumerate(HOSTILE, 1):
                f.write("1.3.6.1.2.1.2.2.1.1.%d|2|%d\n" % (i, i))
            for i, (value, _) in enumerate(HOSTILE, 1):
                f.write(snmprec_line("1.3.6.1.2.1.2.2.1.2.%d" % i, value))
        have_switch = os.path.exists(SWITCH_DATA)
        if have_switch:
            with gzip.open(SWITCH_DATA, "rb") as f, \
                    open(os.path.join(data, "switch.snmprec"), "wb") as out:
                shutil.copyfileobj(f, out)
        else:
            print("SKIPPED the recorded switch: %s is not installed" % SWITCH_DATA)
        for d in (work, data, cache):
            os.chmod(d, 0o777)
        for name in os.listdir(data):
            os.chmod(os.path.join(data, name), 0o644)

        env = dict(os.environ, MIBDBV2=database, ZORVSNMP_TIMEOUT_MS="1000",
                   ZORVSNMP_RETRIES="2", ASAN_OPTIONS="detect_leaks=0")
        probe = ["-c", "hostile", "-obj", ".1.3.6.1.2.1.2.2.1.1.1", "-inst", "0"]
        agent, port, lock = start_agent(objpeek, data, cache, probe, env, 300)
        if agent is None:
            print("FAILED: snmpsimd did not start")
            return 1
        common = ["-node", "127.0.0.1:%d" % port]

        if have_switch:
            check_switch(rowscan, common, env, expect)
            check_silent(rowscan, objpeek, port, env, expect)
        check_hostile(rowscan, objpeek, common, env, expect)
    finally:
        if agent is not None:
            agent.terminate()
            agent.wait()
        if lock is not None:
            os.close(lock)
        shutil.rmtree(work, ignore_errors=True)

    for failure in failures:
        print("FAILED " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
