#!/usr/bin/python3
"""Usage: check_message.py MESSAGE.eml -- parses the message as a strict receiver would and
prints JSON: headers (top-level names in order); subject, from, to, cc, reply_to, message_id,
list_unsubscribe (decoded); tree (content-type tree); content_ids; attachments [{filename,
content_type, content_id, disposition, sha256}]; uuencoded [{filename, sha256}] for "begin ... end"
blocks in text bodies; text, html (first decoded bodies or null); problems (bare LF or CR, lines
over 998 octets, parser defects, decode failures).
"""
import binascii
import email
import email.policy
import hashlib
import json
import re
import sys


def line_problems(raw):
    problems = []
    for number, line in enumerate(raw.split(b"\r\n"), 1):
        problems += ["bare %s in line %d" % (name, number) for name, c in (("LF", b"\n"), ("CR", b"\r")) if c in line]
        if len(line) > 998:
            problems.append("line %d has %d octets" % (number, len(line)))
    if raw and not raw.endswith(b"\r\n"):
        problems.append("message does not end with CR LF")
    return problems


def parse(raw, problems):
    try:
        msg = email.message_from_bytes(raw, policy=email.policy.strict)
        for part in msg.walk():
            for name, value in part.items():
                # header defects are recorded on the parsed value, not raised
                problems.extend("defect in header %s: %r" % (name, d) for d in getattr(value, "defects", ()))
        return msg
    except Exception as exc:  # strict policy raises on the first defect
        problems.append("strict parse: %s: %s" % (type(exc).__name__, exc))
        return email.message_from_bytes(raw, policy=email.policy.default)


def header(msg, name, problems):
    try:
        value = msg[name]
    except Exception as exc:
        problems.append("header %s: %s" % (name, exc))
        return None
    if hasattr(value, "addresses"):
        return [{"name": a.display_name, "address": a.addr_spec} for a in value.addresses]
    return None if value is None else str(value)


def tree(part):
    node = {"type": part.get_content_type()}
    if part.is_multipart():
        node["parts"] = [tree(p) for p in part.iter_parts()]
    return node


def uuencoded_blocks(text, problems):
    blocks = []
    pattern = re.compile(r"^begin (\d{3}) (.*?)\r?\n(.*?)^end\r?$", re.S | re.M)
    for match in pattern.finditer(text):
        data = bytearray()
        for line in filter(None, match.group(3).splitlines()):
            # as uudecode reads a line: the length character decides how many
            # characters carry data; anything after them is padding
            count = (ord(line[0]) - 32) & 63
            try:
                data += binascii.a2b_uu(line[:1 + (count * 4 + 2) // 3])
            except binascii.Error as exc:
                problems.append("uudecode %s: %s" % (match.group(2), exc))
        blocks.append({"filename": match.group(2), "sha256": hashlib.sha256(data).hexdigest()})
    return blocks


def body_text(part, problems):
    try:
        return part.get_content()
    except Exception as exc:
        problems.append("decode %s: %s" % (part.get_content_type(), exc))
        return (part.get_payload(decode=True) or b"").decode("utf-8", "replace")


def main(path):
    with open(path, "rb") as f:
        raw = f.read()
    problems = line_problems(raw)
    msg = parse(raw, problems)
    problems += ["defect: %r" % d for d in msg.defects]
    result = {"headers": list(msg.keys()), "tree": tree(msg), "content_ids": [],
              "attachments": [], "uuencoded": [], "text": None, "html": None}
    for key in ("subject", "from", "to", "cc", "reply_to", "message_id", "list_unsubscribe"):
        result[key] = header(msg, key.replace("_", "-"), problems)
    for part in msg.walk():
        problems += ["defect in %s: %r" % (part.get_content_type(), d) for d in part.defects if part is not msg]
        if part.is_multipart():
            continue
        cid = None if part.get("Content-ID") is None else str(part.get("Content-ID"))
        result["content_ids"] += [] if cid is None else [cid]
        filename = part.get_filename()
        if filename is not None or part.get_content_disposition() == "attachment":
            result["attachments"].append({
                "filename": filename, "content_type": part.get_content_type(),
                "content_id": cid, "disposition": part.get_content_disposition(),
                "sha256": hashlib.sha256(part.get_payload(decode=True) or b"").hexdigest()})
        elif part.get_content_maintype() == "text":
            text = body_text(part, problems)
            key = "html" if part.get_content_subtype() == "html" else "text"
            result[key] = text if result[key] is None else result[key]
            result["uuencoded"] += uuencoded_blocks(text, problems)
    result["problems"] = problems
    json.dump(result, sys.stdout, ensure_ascii=False, indent=1)
    sys.stdout.write("\n")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
