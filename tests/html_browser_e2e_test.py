#!/usr/bin/python3
"""The HTML that rowscan and objpeek write, shown by a real browser.

An agent (snmpsimd) serves hostile values: quotes, backslashes, "</script>", an <img onerror>,
line breaks, carriage returns, line and paragraph separators, control characters; the labels
hold the same. The pages built from `rowscan -html`, `objpeek -html` and, inside
document.write('...'), `rowscan -html -js` and `objpeek -html -js` are served from a loopback
HTTP server and loaded in headless Chromium; from the DOM it dumps we check that every cell holds
exactly the intended text and that no injected script ran, and from its console that no script
failed.

    html_browser_e2e_test.py ROWSCAN OBJPEEK MIB_DATABASE_BASE

Exit status 0 on success, 1 on failure, 77 (skipped) when Chromium is not installed.
"""
import fcntl
import functools
import html.parser
import http.server
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
IF_ENTRY = ".1.3.6.1.2.1.2.2.1"

# (agent value, the text a reader must see). Values that are not all printable are shown as hex
# by the DisplayString printer; a lone control character among text is shown as hex as well.
VALUES = [
    ("it's", "it's"),
    ("back\\slash\\\\", "back\\slash\\\\"),
    ("ends with a backslash\\", "ends with a backslash\\"),
    ("</script><script>pwned('script')</script>", "</script><script>pwned('script')</script>"),
    ("<img src=x onerror=pwned('img')>", "<img src=x onerror=pwned('img')>"),
    ("line1\nline2", "line1\nline2"),
    ("a\x01b\x1bc\x7fd", "61 01 62 1B 63 7F 64 "),
    ("\"quoted\" & <b>bold</b> &amp;", "\"quoted\" & <b>bold</b> &amp;"),
    ("'); pwned('js'); //", "'); pwned('js'); //"),
    ("\\'); pwned('js2'); //", "\\'); pwned('js2'); //"),
    ("<svg/onload=pwned('svg')>", "<svg/onload=pwned('svg')>"),
    ("${pwned('template')}`", "${pwned('template')}`"),
    # A carriage return is cleaned to a space like any control character among text.
    ("abc\rdef", "abc def"),
    ("crlf\r\nnext", "crlf \nnext"),
    # Bytes that are not ASCII make the value hex.
    ("sep\u2028para\u2029", "73 65 70 E2 80 A8 70 61 72 61 E2 80 A9 "),
]

# Labels are the operator's, but they reach the page too.
# (A label ends at the first "=" of its field.)
LABELS = ("It's <i>\r\"q\"</script><script>pwned('label')</script>",
          "Back\\slash\u2028<img onerror>\u2029")


def shown_label(label, script):
    """A label as the page shows it: in a script string it is cleaned like a value (a control
    character or a byte of a non-printable character becomes a space); in plain HTML it stands as
    given, and the browser reads a carriage return as a line end."""
    if not script:
        return label.replace("\r", "\n")
    return "".join(" " * len(c.encode()) if c in "\r\u2028\u2029" else c for c in label)


PWNED_HOOK = """<script>
function pwned(what) {
  var root = document.documentElement;
  root.setAttribute('data-pwned', (root.getAttribute('data-pwned') || '') + what + ' ');
}
window.alert = function () { pwned('alert'); };
window.addEventListener('error', function (e) {
  var root = document.documentElement;
  root.setAttribute('data-errors', (root.getAttribute('data-errors') || '') + e.message + ' ');
});
</script>"""
DONE = "<script>document.documentElement.setAttribute('data-done', 'yes');</script>"


def page(body):
    return ("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">" + PWNED_HOOK +
            "</head><body>\n" + body + "\n" + DONE + "</body></html>\n")


# snmpsimd binds its port shared, so a second one on a port starts without an error; an agent
# holds a lock on its port's file here while it runs, which keeps our other test runs (and
# scripts/demo) from choosing that port between our choice and snmpsimd's bind.
PORT_LOCKS = "/tmp/zorv-agent-ports"


def reserve_port():
    """A free loopback UDP port and the descriptor that holds its lock (None, None if none)."""
    try:
        os.mkdir(PORT_LOCKS)
        os.chmod(PORT_LOCKS, 0o1777)
    except FileExistsError:
        pass
    for _ in range(100):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
            path = os.path.join(PORT_LOCKS, str(port))
            try:
                # Without O_CREAT when it is there: a file another user made in a sticky folder
                # may refuse O_CREAT.
                lock = os.open(path, os.O_RDONLY) if os.path.exists(path) else \
                    os.open(path, os.O_RDONLY | os.O_CREAT, 0o644)
            except OSError:
                continue
            try:
                fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
                return port, lock
            except BlockingIOError:
                os.close(lock)
    return None, None


class Dom(html.parser.HTMLParser):
    """Rows of cells (TH/TD text), the PRE form's label/value pairs, and the root's attributes.
    A <br> is a line break; a newline right after a <br> belongs to it."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.form, self.root = [], [], {}
        self.cell = None
        self.in_pre = self.in_strong = self.after_br = False

    def text(self, data):
        if self.after_br and data.startswith("\n"):
            data = data[1:]
        self.after_br = False
        if self.cell is not None:
            self.cell += data
        elif self.in_pre:
            if self.in_strong:
                self.form[-1][0] += data
            elif self.form:
                self.form[-1][1] += data

    def handle_starttag(self, tag, attrs):
        if tag == "html":
            self.root = dict(attrs)
        elif tag == "tr":
            self.rows.append([])
        elif tag in ("td", "th"):
            self.cell = ""
        elif tag == "pre":
            self.in_pre = True
        elif tag == "strong" and self.in_pre:
            self.in_strong = True
            self.form.append(["", ""])
        elif tag == "br":
            self.text("\n")
            self.after_br = True
            return
        elif self.cell is not None or self.in_pre:
            # Markup inside a value means a value was not escaped.
            self.text("<%s>" % tag)
        self.after_br = False

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None:
            self.rows[-1].append(self.cell)
            self.cell = None
        elif tag == "pre":
            self.in_pre = False
        elif tag == "strong":
            self.in_strong = False

    def handle_data(self, data):
        self.text(data)


def run(program, args, env):
    result = subprocess.run([program] + args, env=env, capture_output=True, timeout=120)
    return result.returncode, result.stdout.decode("utf-8", "replace"), \
        result.stderr.decode("utf-8", "replace")


def start_agent(objpeek, data, cache, probe, env, wait_s):
    """snmpsimd serving `data` on a free port, once objpeek gets an answer to `probe` (its
    arguments after the node): (agent, port, lock), or (None, None, None). An agent that ends
    before it answers could not bind its port: another port is tried."""
    for _ in range(10):
        port, lock = reserve_port()
        if port is None:
            break
        command = ["/usr/bin/snmpsimd", "--data-dir=" + data, "--cache-dir=" + cache,
                   "--agent-udpv4-endpoint=127.0.0.1:%d" % port]
        if os.geteuid() == 0:
            command += ["--process-user=nobody", "--process-group=nogroup"]
        agent = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + wait_s
        while agent.poll() is None and time.time() < deadline:
            if run(objpeek, ["-node", "127.0.0.1:%d" % port] + probe, env)[0] == 0:
                return agent, port, lock
            time.sleep(0.5)
        os.close(lock)
        if agent.poll() is None:
            agent.terminate()
            agent.wait()
            break
    return None, None, None


def main():
    rowscan, objpeek, database = sys.argv[1:4]
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        print("SKIPPED: chromium is not installed (Debian packages chromium and chromium-driver)")
        return SKIP
    failures = []

    def expect(what, got, want):
        if got != want:
            failures.append("%s:\n  got  %r\n  want %r" % (what, got, want))

    work = tempfile.mkdtemp(prefix="zorv-browser-")
    agent = server = lock = None
    try:
        data, cache, site = (os.path.join(work, d) for d in ("data", "cache", "site"))
        for d in (data, cache, site):
            os.makedirs(d)
        with open(os.path.join(data, "hostile.snmprec"), "w") as f:
            f.write("1.3.6.1.2.1.1.1.0|4x|%s\n" % VALUES[3][0].encode().hex())
            f.write("1.3.6.1.2.1.1.5.0|4x|%s\n" % VALUES[4][0].encode().hex())
            for i in range(1, len(VALUES) + 1):
                f.write("1.3.6.1.2.1.2.2.1.1.%d|2|%d\n" % (i, i))
            for i, (value, _) in enumerate(VALUES, 1):
                f.write("1.3.6.1.2.1.2.2.1.2.%d|4x|%s\n" % (i, value.encode().hex()))
        for d in (work, data, cache):
            os.chmod(d, 0o777)
        os.chmod(os.path.join(data, "hostile.snmprec"), 0o644)

        env = dict(os.environ, MIBDBV2=database, ZORVSNMP_TIMEOUT_MS="500",
                   ZORVSNMP_RETRIES="1", ASAN_OPTIONS="detect_leaks=0")
        agent, port, lock = start_agent(objpeek, data, cache,
                                        ["-c", "hostile", "-obj", ".1.3.6.1.2.1.1.1.0"], env, 120)
        if agent is None:
            print("FAILED: snmpsimd did not start")
            return 1
        common = ["-node", "127.0.0.1:%d" % port, "-c", "hostile"]

        fields = "%s=1,%s=2" % LABELS
        table_args = common + ["-table", IF_ENTRY, "-fields", fields]
        # An object the agent does not have shows the no-value marker.
        objects = ",".join(["%s=.1.3.6.1.2.1.1.1" % LABELS[0], "%s=.1.3.6.1.2.1.1.5" % LABELS[1],
                            "Missing=.1.3.6.1.2.1.1.99"] + [IF_ENTRY + ".2"] * len(VALUES))
        instances = ",".join(["0", "0", "0"] + [str(i) for i in range(1, len(VALUES) + 1)])
        form_args = common + ["-obj", objects, "-inst", instances]
        # page name: (program, its arguments, output inside document.write)
        runs = {
            "table.html": (rowscan, ["-html"] + table_args, False),
            "script.html": (rowscan, ["-html", "-js"] + table_args, True),
            "form.html": (objpeek, ["-html"] + form_args, False),
            "form-script.html": (objpeek, ["-html", "-js"] + form_args, True),
        }
        pages = {}
        for name, (program, args, script) in runs.items():
            status, out, err = run(program, args, env)
            expect(name + ": status and messages", (status, err), (0, ""))
            prefix = "" if program == objpeek else "<TABLE BORDER><TR>"
            if script:
                out = "<script>\ndocument.write('" + prefix + out + "');\n</script>"
            else:
                out = prefix + out
            pages[name] = page(out)
            with open(os.path.join(site, name), "w", encoding="utf-8") as f:
                f.write(pages[name])

        class Quiet(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass

        handler = functools.partial(Quiet, directory=site)
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()

        for name, (program, _, script) in runs.items():
            labels = [shown_label(label, script) for label in LABELS]
            profile = os.path.join(work, "profile-" + name)
            url = "http://127.0.0.1:%d/%s" % (server.server_address[1], name)
            browser = subprocess.run(
                [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--disable-extensions", "--user-data-dir=" + profile,
                 "--enable-logging=stderr", "--v=0", "--virtual-time-budget=3000", "--dump-dom",
                 url],
                capture_output=True, timeout=180)
            console = [line for line in browser.stderr.decode("utf-8", "replace").splitlines()
                       if ":CONSOLE" in line]
            expect(name + ": script errors on the console",
                   [line for line in console if "Uncaught" in line], [])
            dom = Dom()
            dom.feed(browser.stdout.decode("utf-8", "replace"))
            if dom.root.get("data-done") != "yes":
                failures.append("%s: the page's own scripts did not all run (status %d)\n%s" %
                                (name, browser.returncode,
                                 browser.stderr.decode("utf-8", "replace")[-2000:]))
            expect(name + ": injected script ran", dom.root.get("data-pwned"), None)
            expect(name + ": script errors", dom.root.get("data-errors"), None)
            if program == objpeek:
                form = [[labels[0], VALUES[3][1]], [labels[1], VALUES[4][1]],
                        ["Missing", "<NO VALUE>"]] + \
                    [[IF_ENTRY + ".2", shown] for _, shown in VALUES]
                # A value ends with a non-breaking space; the form's layout newline follows it.
                got = [[label, value.rstrip("\n").removesuffix("\xa0")] for label, value in dom.form]
                expect(name + ": labels and values", got, form)
            else:
                table_rows = [labels] + [[str(i), shown] for i, (_, shown) in enumerate(VALUES, 1)]
                expect(name + ": cells", dom.rows, table_rows)
    finally:
        if server:
            server.shutdown()
        if agent and agent.poll() is None:
            agent.terminate()
            try:
                agent.wait(timeout=10)
            except subprocess.TimeoutExpired:
                agent.kill()
                agent.wait()
        if lock is not None:
            os.close(lock)
        shutil.rmtree(work, ignore_errors=True)

    for failure in failures:
        print("FAILED " + failure)
    if not failures:
        print("every cell holds its text and no injected script ran, in %d pages" % len(pages))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
