#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Reads a mail as a strict reader would: Python's own codecs, no replacement characters.

    strict_decode.py < MESSAGE

Prints a JSON object: the unfolded, decoded Subject, From and To, the text body and its
charset. Exits 1 with the error when some header word or the body cannot be decoded.
"""
import email
import email.header
import email.policy
import json
import re
import sys


def header(msg, name):
    value = re.sub(r"\r?\n(?=[ \t])", "", msg.get(name, ""))
    return str(email.header.make_header(email.header.decode_header(value)))


def main():
    msg = email.message_from_bytes(sys.stdin.buffer.read(), policy=email.policy.compat32)
    part = next(p for p in msg.walk() if p.get_content_type() == "text/plain")
    charset = part.get_content_charset() or "us-ascii"
    out = {name.lower(): header(msg, name) for name in ("Subject", "From", "To")}
    out["body"] = part.get_payload(decode=True).decode(charset, "strict")
    out["charset"] = charset
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    try:
        main()
    except Exception as e:  # any failure to read is the finding
        print(repr(e), file=sys.stderr)
        sys.exit(1)
