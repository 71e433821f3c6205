#!/usr/bin/python3
"""A small DNS server for tests: well-formed answers from a table, or crafted faulty ones.

Usage: dns_server.py --address ADDR [--mode MODE] [--log FILE] [--drop-first]
                     [--mx DOMAIN PREF HOST]... [--a NAME ADDR]... [--ptr NAME HOST]...
Listens on port 53, prints READY once bound and appends every query to the log in hex.
Mode "table" answers from --mx/--a/--ptr (an empty answer for other names), "silent" never
answers, "tc" answers over UDP only "truncated" and from the table over TCP,
"nxdomain" and "servfail" answer with that error; the crafted modes (see crafted())
answer every query the same faulty way. --drop-first ignores the first datagram of each
query (same ID and question), as a lost packet would be; it is logged all the same.
"""
import argparse
import socket
import struct
import sys
import threading
import time

from dnslib import A, DNSRecord, MX, PTR, QTYPE, RR

TTL = 300


def header(qid, answers, flags=0x8180):
    return struct.pack(">HHHHHH", qid, flags, 1, answers, 0, 0)


def rr(owner, rtype, rdata):
    return owner + struct.pack(">HHIH", rtype, 1, TTL, len(rdata)) + rdata


QNAME_PTR = b"\xc0\x0c"  # the question's name, right after the header


def mx_rr(owner, pref, exchange):
    return rr(owner, 15, struct.pack(">H", pref) + exchange)


def crafted(mode, query):
    """Answers for the crafted modes, as (delay seconds, bytes, from another port)."""
    qid = struct.unpack(">H", query[:2])[0]
    question = query[12:]
    pkt_start = 12 + len(question)

    def packet(records, flags=0x8180, qid_=qid, question_=question):
        return header(qid_, len(records), flags) + question_ + b"".join(records)

    if mode == "wrong-id":  # only an answer whose ID differs from the query's
        evil = [mx_rr(QNAME_PTR, 1, b"\x04evil" + QNAME_PTR)]
        return [(0, packet(evil, qid_=qid ^ 0x0101), False)]
    if mode == "spoofs":  # ignorable answers (other port, ID, question; no QR), then the real one
        evil = [mx_rr(QNAME_PTR, 1, b"\x04evil" + QNAME_PTR)]
        other_q = DNSRecord.question("other.example.org", "MX").pack()[12:]
        good = [mx_rr(QNAME_PTR, 10, b"\x04real" + QNAME_PTR)]
        return [(0, packet(evil), True),
                (0, packet(evil, qid_=qid ^ 0x0101), False),
                (0, packet(evil, question_=other_q), False),
                (0, packet(evil, flags=0x0100), False),
                (0.1, packet(good), False)]
    if mode == "short":  # a 7-byte datagram
        return [(0, query[:2] + b"\x81\x80\x00\x01\x00", False)]
    if mode == "truncated":  # cut inside the second exchange name
        full = packet([mx_rr(QNAME_PTR, 10, b"\x03mx1" + QNAME_PTR),
                       mx_rr(QNAME_PTR, 20, b"\x03mx2" + QNAME_PTR)])
        return [(0, full[:-3], False)]
    if mode == "pointer-chain":
        # mx1.<domain>; backup.mx1.<domain> through mx1's name; a.backup.mx1.<domain> likewise.
        r1 = mx_rr(QNAME_PTR, 30, b"\x03mx1" + QNAME_PTR)
        mx1_at = pkt_start + 2 + 10 + 2
        r2 = mx_rr(QNAME_PTR, 10, b"\x06backup" + struct.pack(">H", 0xC000 | mx1_at))
        backup_at = pkt_start + len(r1) + 2 + 10 + 2
        r3 = mx_rr(QNAME_PTR, 20, b"\x01a" + struct.pack(">H", 0xC000 | backup_at))
        return [(0, packet([r1, r2, r3]), False)]
    if mode == "far-pointer":  # a 260-byte TXT record first, then pointers past offset 255
        txt = b"\xff" + b"t" * 255 + b"\x03end"
        r0 = rr(QNAME_PTR, 16, txt)
        r1 = mx_rr(QNAME_PTR, 20, b"\x03mx1" + QNAME_PTR)
        mx1_at = pkt_start + len(r0) + 2 + 10 + 2
        assert mx1_at > 255
        r2 = mx_rr(QNAME_PTR, 10, b"\x03mx2" + struct.pack(">H", 0xC000 | mx1_at))
        return [(0, packet([r0, r1, r2]), False)]
    if mode == "pointer-loop":  # a good record, then one whose name points at itself
        r1 = mx_rr(QNAME_PTR, 10, b"\x03mx1" + QNAME_PTR)
        loop_at = pkt_start + len(r1) + 2 + 10 + 2
        r2 = mx_rr(QNAME_PTR, 5, struct.pack(">H", 0xC000 | loop_at))
        r3 = mx_rr(QNAME_PTR, 1, b"\x05after" + QNAME_PTR)
        return [(0, packet([r1, r2, r3]), False)]
    if mode in ("tc", "nxdomain", "servfail"):
        flags = {"tc": 0x8380, "nxdomain": 0x8183, "servfail": 0x8182}[mode]
        return [(0, packet([], flags=flags), False)]
    if mode == "non-mx":  # one A record and no MX record
        return [(0, packet([rr(QNAME_PTR, 1, bytes([127, 0, 0, 9]))]), False)]
    raise SystemExit("unknown mode " + mode)


def table_answer(query, mx_table, ptr_table, a_table=None):
    request = DNSRecord.parse(query)
    reply = request.reply()
    name = str(request.q.qname).rstrip(".").lower()
    if request.q.qtype == QTYPE.MX:
        for pref, host in mx_table.get(name, []):
            reply.add_answer(RR(request.q.qname, QTYPE.MX, ttl=TTL, rdata=MX(host, pref)))
    elif request.q.qtype == QTYPE.A and a_table and name in a_table:
        reply.add_answer(RR(request.q.qname, QTYPE.A, ttl=TTL, rdata=A(a_table[name])))
    elif request.q.qtype == QTYPE.PTR and name in ptr_table:
        reply.add_answer(RR(request.q.qname, QTYPE.PTR, ttl=TTL, rdata=PTR(ptr_table[name])))
    return [(0, reply.pack(), False)]


def serve_tcp(address, mx_table, ptr_table):
    """Answers from the table over TCP (RFC 1035 4.2.2: each message after its length)."""
    tcp = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    tcp.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    tcp.bind((address, 53))
    tcp.listen(5)

    def loop():
        while True:
            conn, _ = tcp.accept()
            with conn:
                size = struct.unpack(">H", conn.recv(2, socket.MSG_WAITALL))[0]
                query = conn.recv(size, socket.MSG_WAITALL)
                answer = table_answer(query, mx_table, ptr_table)[0][1]
                conn.sendall(struct.pack(">H", len(answer)) + answer)
    threading.Thread(target=loop, daemon=True).start()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--address", required=True)
    ap.add_argument("--mode", default="table")
    ap.add_argument("--log")
    ap.add_argument("--mx", nargs=3, action="append", default=[])  # DOMAIN PREF HOST
    ap.add_argument("--a", nargs=2, action="append", default=[], metavar=("NAME", "ADDR"))
    ap.add_argument("--drop-first", action="store_true")
    ap.add_argument("--ptr", nargs=2, action="append", default=[], metavar=("NAME", "HOST"))
    args = ap.parse_args()

    mx_table = {}
    for domain, pref, host in args.mx:
        mx_table.setdefault(domain.rstrip(".").lower(), []).append((int(pref), host))
    ptr_table = {name.rstrip(".").lower(): host for name, host in args.ptr}
    a_table = {name.rstrip(".").lower(): addr for name, addr in args.a}
    seen = set()

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((args.address, 53))
    other = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    other.bind((args.address, 0))
    if args.mode == "tc":
        serve_tcp(args.address, mx_table, ptr_table)
    print("READY", flush=True)

    while True:
        query, peer = sock.recvfrom(4096)
        if args.log:
            with open(args.log, "a") as log:
                log.write(query.hex() + "\n")
        if args.mode == "silent":
            continue
        if args.drop_first and query not in seen:
            seen.add(query)
            continue
        try:
            if args.mode == "table":
                replies = table_answer(query, mx_table, ptr_table, a_table)
            else:
                replies = crafted(args.mode, query)
        except Exception as e:  # a query we cannot read: say so, keep serving
            print("cannot answer:", e, file=sys.stderr, flush=True)
            continue
        for delay, data, from_other in replies:
            if delay:
                time.sleep(delay)
            (other if from_other else sock).sendto(data, peer)


if __name__ == "__main__":
    main()
