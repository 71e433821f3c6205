#!/usr/bin/python3
"""A small DNS server for tests: well-formed answers from a table, or crafted faulty ones.

Usage: dns_server.py --address ADDR [--mode MODE] [--log FILE] [--drop-first]
                     [--mx DOMAIN PREF HOST]... [--a NAME ADDR]... [--ptr NAME HOST]...
Listens on port 53, prints READY once bound and appends every query to the log in hex.
Mode "table" answers from --mx/--a/--ptr (an empty answer for other names), "silent" never
answers, "tc" answers over UDP only "truncated" and from the table over TCP, "nxdomain" and
"servfail" answer with that error; the crafted modes (see crafted()) answer every query the
same faulty way. --drop-first ignores the first datagram of each query (same ID and
question), as a lost packet would be; it is logged all the same.
"""
import argparse
import socket
import struct
import sys
import threading
import time

from dnslib import A, DNSRecord, MX, PTR, QTYPE, RR

TTL = 300
QNAME = b"\xc0\x0c"  # the question's name, right after the header
EXCHANGE = 2 + 10 + 2  # from the start of an MX record (owner pointer) to its exchange name
ERRORS = {"tc": 0x8380, "nxdomain": 0x8183, "servfail": 0x8182}  # header flags


def rr(rtype, rdata):
    return QNAME + struct.pack(">HHIH", rtype, 1, TTL, len(rdata)) + rdata


def mx_rr(pref, exchange):
    return rr(15, struct.pack(">H", pref) + exchange)


def pointer(offset):
    return struct.pack(">H", 0xC000 | offset)


def crafted(mode, query):
    """Answers for the crafted modes, as (delay seconds, bytes, from another port)."""
    qid, question = struct.unpack(">H", query[:2])[0], query[12:]
    first = 12 + len(question)  # where the first record starts

    def packet(records, flags=0x8180, qid_=qid, question_=question):
        return struct.pack(">HHHHHH", qid_, flags, 1, len(records), 0, 0) + question_ + b"".join(records)

    evil = [mx_rr(1, b"\x04evil" + QNAME)]
    if mode == "wrong-id":  # only an answer whose ID differs from the query's
        return [(0, packet(evil, qid_=qid ^ 0x0101), False)]
    if mode == "spoofs":  # ignorable answers (other port, ID, question; no QR), then the real one
        other = DNSRecord.question("other.example.org", "MX").pack()[12:]
        return [(0, packet(evil), True), (0, packet(evil, qid_=qid ^ 0x0101), False),
                (0, packet(evil, question_=other), False), (0, packet(evil, flags=0x0100), False),
                (0.1, packet([mx_rr(10, b"\x04real" + QNAME)]), False)]
    if mode == "short":  # a 7-byte datagram
        return [(0, query[:2] + b"\x81\x80\x00\x01\x00", False)]
    if mode == "truncated":  # cut inside the second exchange name
        return [(0, packet([mx_rr(10, b"\x03mx1" + QNAME), mx_rr(20, b"\x03mx2" + QNAME)])[:-3], False)]
    if mode == "pointer-chain":
        # mx1.<domain>; backup.mx1.<domain> through mx1's name; a.backup.mx1.<domain> likewise.
        r1 = mx_rr(30, b"\x03mx1" + QNAME)
        r2 = mx_rr(10, b"\x06backup" + pointer(first + EXCHANGE))
        return [(0, packet([r1, r2, mx_rr(20, b"\x01a" + pointer(first + len(r1) + EXCHANGE))]), False)]
    if mode == "far-pointer":  # a 260-byte TXT record first, then pointers past offset 255
        r0 = rr(16, b"\xff" + b"t" * 255 + b"\x03end")
        assert first + len(r0) + EXCHANGE > 255
        r2 = mx_rr(10, b"\x03mx2" + pointer(first + len(r0) + EXCHANGE))
        return [(0, packet([r0, mx_rr(20, b"\x03mx1" + QNAME), r2]), False)]
    if mode == "pointer-loop":  # a good record, then one whose name points at itself
        r1 = mx_rr(10, b"\x03mx1" + QNAME)
        r2 = mx_rr(5, pointer(first + len(r1) + EXCHANGE))
        return [(0, packet([r1, r2, mx_rr(1, b"\x05after" + QNAME)]), False)]
    if mode in ERRORS:
        return [(0, packet([], flags=ERRORS[mode]), False)]
    if mode == "non-mx":  # one A record and no MX record
        return [(0, packet([rr(1, bytes([127, 0, 0, 9]))]), False)]
    raise SystemExit("unknown mode " + mode)


def table_answer(query, tables):
    request = DNSRecord.parse(query)
    reply, q = request.reply(), request.q
    records = tables.get(q.qtype, {}).get(str(q.qname).rstrip(".").lower(), [])
    for rdata in records:
        reply.add_answer(RR(q.qname, q.qtype, ttl=TTL, rdata=rdata))
    return reply.pack()


def serve_tcp(address, tables):
    """Answers from the table over TCP (RFC 1035 4.2.2: each message after its length)."""
    tcp = socket.create_server((address, 53))

    def loop():
        while True:
            conn, _ = tcp.accept()
            with conn:
                size = struct.unpack(">H", conn.recv(2, socket.MSG_WAITALL))[0]
                answer = table_answer(conn.recv(size, socket.MSG_WAITALL), tables)
                conn.sendall(struct.pack(">H", len(answer)) + answer)
    threading.Thread(target=loop, daemon=True).start()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--address", required=True)
    ap.add_argument("--mode", default="table")
    ap.add_argument("--log")
    ap.add_argument("--drop-first", action="store_true")
    ap.add_argument("--mx", nargs=3, action="append", default=[])  # DOMAIN PREF HOST
    ap.add_argument("--a", nargs=2, action="append", default=[])  # NAME ADDR
    ap.add_argument("--ptr", nargs=2, action="append", default=[])  # NAME HOST
    args = ap.parse_args()
    tables = {QTYPE.MX: {}, QTYPE.A: {}, QTYPE.PTR: {}}
    for domain, pref, host in args.mx:
        tables[QTYPE.MX].setdefault(domain.rstrip(".").lower(), []).append(MX(host, int(pref)))
    for qtype, kind, pairs in ((QTYPE.A, A, args.a), (QTYPE.PTR, PTR, args.ptr)):
        tables[qtype].update({name.rstrip(".").lower(): [kind(value)] for name, value in pairs})
    seen = set()
    sock, other = (socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(2))
    sock.bind((args.address, 53))
    other.bind((args.address, 0))  # for answers from another port
    if args.mode == "tc":
        serve_tcp(args.address, tables)
    print("READY", flush=True)
    while True:
        query, peer = sock.recvfrom(4096)
        if args.log:
            with open(args.log, "a") as log:
                log.write(query.hex() + "\n")
        if args.mode == "silent" or (args.drop_first and query not in seen):
            seen.add(query)
            continue
        try:
            replies = [(0, table_answer(query, tables), False)] if args.mode == "table" else crafted(args.mode, query)
        except Exception as e:  # a query we cannot read: say so, keep serving
            print("cannot answer:", e, file=sys.stderr, flush=True)
            continue
        for delay, data, from_other in replies:
            time.sleep(delay)
            (other if from_other else sock).sendto(data, peer)


if __name__ == "__main__":
    main()
