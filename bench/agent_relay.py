"""A relay in front of an agent that behaves like agents in the field: it delays every datagram
each way, and for a request that would be answered with more than `most` bindings (bindings x
max-repetitions for GetBulk) it cuts the answer to `most` bindings ("cut"), answers tooBig
itself ("toobig") or stays silent ("silent"). It counts the requests it received, by PDU type.
SNMPv1/v2c only; anything it cannot read is forwarded as it came.

    relay = AgentRelay(agent_port, delay_ms=10, most=24, mode="toobig")
    ... client at 127.0.0.1:relay.port ...
    relay.requests, relay.by_pdu[0xA1], relay.close()
"""

import heapq
import itertools
import select
import time

from udp_count_proxy import CountingProxy

GET_BULK = 0xA5
RESPONSE = 0xA2
TOO_BIG = 1


def read_item(data, at):
    """(tag, start of contents, end of contents) of the BER item at `at`."""
    tag, length, at = data[at], data[at + 1], at + 2
    if length & 0x80:
        count = length & 0x7F
        length = int.from_bytes(data[at:at + count], "big")
        at += count
    if at + length > len(data):
        raise IndexError("item runs past the datagram")
    return tag, at, at + length


def item(tag, body):
    n = len(body)
    if n < 0x80:
        head = bytes([n])
    elif n < 0x100:
        head = bytes([0x81, n])
    else:
        head = bytes([0x82, n >> 8, n & 0xFF])
    return bytes([tag]) + head + body


class Parsed:
    """The parts of an SNMPv1/v2c message that the relay needs, as byte ranges."""

    def __init__(self, data):
        _, at, _ = read_item(data, 0)
        _, v0, v1 = read_item(data, at)
        _, c0, c1 = read_item(data, v1)
        self.pdu, p0, _ = read_item(data, c1)
        _, r0, r1 = read_item(data, p0)
        _, s0, s1 = read_item(data, r1)
        _, i0, i1 = read_item(data, s1)
        _, b0, b1 = read_item(data, i1)
        self.data = data
        self.version, self.community, self.request_id = data[v0:v1], data[c0:c1], data[r0:r1]
        self.error_index = int.from_bytes(data[i0:i1], "big", signed=True)
        self.bindings = []  # (start, end) of each binding item
        at = b0
        while at < b1:
            _, _, end = read_item(data, at)
            self.bindings.append((at, end))
            at = end

    def answer_size(self):
        """How many bindings a full answer to this request holds."""
        n = len(self.bindings)
        return n * max(1, self.error_index) if self.pdu == GET_BULK else n

    def rebuilt(self, pdu, status, index, bindings):
        body = b"".join(self.data[s:e] for s, e in bindings)
        pdu_body = (item(0x02, self.request_id) + item(0x02, bytes([status])) +
                    item(0x02, bytes([index])) + item(0x30, body))
        return item(0x30, item(0x02, self.version) + item(0x04, self.community) +
                    item(pdu, pdu_body))


class AgentRelay(CountingProxy):
    """Listens on 127.0.0.1:port, forwards to the agent on 127.0.0.1:agent_port and the answers
    back to the client that asked last."""

    def __init__(self, agent_port, delay_ms=0, most=None, mode="cut"):
        assert mode in ("cut", "toobig", "silent")
        self.delay = delay_ms / 1000.0
        self.most = most
        self.mode = mode
        self._queue = []  # (due, sequence, socket, data, address)
        self._sequence = itertools.count()
        self.by_pdu = {}  # requests by PDU type
        super().__init__(agent_port)

    def reset(self):
        super().reset()
        self.by_pdu = {}

    def _send_later(self, sock, data, address):
        heapq.heappush(self._queue, (time.monotonic() + self.delay, next(self._sequence), sock,
                                     data, address))

    def _run(self):
        while not self._stop:
            now = time.monotonic()
            while self._queue and self._queue[0][0] <= now:
                _, _, sock, data, address = heapq.heappop(self._queue)
                sock.sendto(data, address)
            wait = min(0.2, self._queue[0][0] - now) if self._queue else 0.2
            ready, _, _ = select.select([self.front, self.back], [], [], max(wait, 0))
            for sock in ready:
                data, sender = sock.recvfrom(65535)
                if sock is self.front:
                    self.client = sender
                    self._from_client(data)
                elif self.client is not None:
                    self._send_later(self.front, self._from_agent(data), self.client)

    def _from_client(self, data):
        self.requests += 1
        try:
            request = Parsed(data)
        except (IndexError, ValueError):
            self._send_later(self.back, data, self.agent)
            return
        self.by_pdu[request.pdu] = self.by_pdu.get(request.pdu, 0) + 1
        over = self.most is not None and request.answer_size() > self.most
        if over and self.mode == "silent":
            return
        if over and self.mode == "toobig":
            self._send_later(self.front, request.rebuilt(RESPONSE, TOO_BIG, 0, []), self.client)
            return
        self._send_later(self.back, data, self.agent)

    def _from_agent(self, data):
        if self.mode != "cut" or self.most is None:
            return data
        try:
            answer = Parsed(data)
        except (IndexError, ValueError):
            return data
        if len(answer.bindings) <= self.most:
            return data
        return answer.rebuilt(answer.pdu, 0, 0, answer.bindings[:self.most])
