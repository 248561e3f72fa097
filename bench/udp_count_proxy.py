"""Shared pieces of the client benchmarks: a UDP proxy that counts the datagrams a client sends
to the agent, an snmpsimd launcher on a free loopback port, and timing of one client process
(wall time and the CPU time of the child from getrusage)."""

import os
import resource
import select
import shutil
import socket
import subprocess
import tempfile
import threading
import time


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class CountingProxy:
    """Listens on 127.0.0.1:port and forwards every datagram to the agent and the answers back
    to the client that asked last. `requests` counts client-to-agent datagrams."""

    def __init__(self, agent_port):
        self.agent = ("127.0.0.1", agent_port)
        self.front = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.front.bind(("127.0.0.1", 0))
        self.port = self.front.getsockname()[1]
        self.back = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.back.bind(("127.0.0.1", 0))
        self.client = None
        self.requests = 0
        self.responses = 0
        self._stop = False
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        while not self._stop:
            ready, _, _ = select.select([self.front, self.back], [], [], 0.2)
            for sock in ready:
                data, sender = sock.recvfrom(65535)
                if sock is self.front:
                    self.client = sender
                    self.requests += 1
                    answer = self.answer(data)
                    if answer is not None:
                        self.front.sendto(answer, sender)
                    else:
                        self.back.sendto(data, self.agent)
                elif self.client is not None:
                    self.responses += 1
                    self.front.sendto(data, self.client)

    def answer(self, request):
        """The answer the proxy gives itself instead of forwarding `request`, or None."""
        return None

    def reset(self):
        self.requests = 0
        self.responses = 0

    def close(self):
        self._stop = True
        self._thread.join()
        self.front.close()
        self.back.close()


class SnmpSimAgent:
    """snmpsimd on 127.0.0.1 with a free port, serving the given .snmprec files; `extra_args`
    (SNMPv3 users, for one) go before the endpoint, which snmpsimd ties to the engine before
    it."""

    def __init__(self, snmprec_files, extra_args=()):
        self.dir = tempfile.mkdtemp(prefix="zorv-bench-")
        data = os.path.join(self.dir, "data")
        cache = os.path.join(self.dir, "cache")
        os.makedirs(data)
        os.makedirs(cache)
        for path in snmprec_files:
            shutil.copy(path, data)
        # The agent drops to nobody when started as root.
        os.chmod(self.dir, 0o755)
        os.chmod(data, 0o755)
        os.chmod(cache, 0o777)
        for name in os.listdir(data):
            os.chmod(os.path.join(data, name), 0o644)
        self.port = free_udp_port()
        args = ["/usr/bin/snmpsimd", "--data-dir=" + data, "--cache-dir=" + cache]
        args += list(extra_args) + ["--agent-udpv4-endpoint=127.0.0.1:%d" % self.port]
        if os.geteuid() == 0:
            args += ["--process-user=nobody", "--process-group=nogroup"]
        self.log = open(os.path.join(self.dir, "agent.log"), "w")
        self.process = subprocess.Popen(args, stdout=self.log, stderr=subprocess.STDOUT)

    def wait_ready(self, community, timeout=300.0):
        probe = probe_datagram(community)
        deadline = time.time() + timeout
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.settimeout(0.5)
            while time.time() < deadline:
                if self.process.poll() is not None:
                    raise RuntimeError("snmpsimd ended: " + open(self.log.name).read())
                s.sendto(probe, ("127.0.0.1", self.port))
                try:
                    s.recvfrom(65535)
                    return
                except socket.timeout:
                    pass
        raise RuntimeError("snmpsimd did not answer")

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)


def probe_datagram(community):
    """An SNMPv2c Get of 1.3.6.1.2.1.1.1.0."""
    varbinds = bytes.fromhex("300e300c06082b060102010101000500")
    pdu = bytes.fromhex("020101020100020100") + varbinds
    pdu = bytes([0xA0, len(pdu)]) + pdu
    c = community.encode()
    body = bytes.fromhex("020101") + bytes([0x04, len(c)]) + c + pdu
    return bytes([0x30, len(body)]) + body


def run_client(args, env=None):
    """Runs one client process to its end. Returns (stdout, wall seconds, CPU seconds)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    if result.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (args[0], result.returncode,
                                                   result.stderr.decode(errors="replace")))
    return result.stdout.decode(errors="replace"), wall, cpu
