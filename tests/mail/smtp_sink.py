#!/usr/bin/python3
"""An SMTP server for tests that keeps every message it receives.

    smtp_sink.py PORT FOLDER

Each message becomes FOLDER/NNNN.json: the envelope sender, the recipients and the message
bytes (base64). A recipient whose address starts with "refuse" is refused with 550. A
recipient whose address starts with "flakyN-" has its N-th message refused with 554, once.
SMTPUTF8 is offered, so that a client that would write raw UTF-8 headers gets the chance.
"""
import asyncio
import base64
import json
import os
import re
import signal
import sys

from aiosmtpd.controller import Controller


class Keeper:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0
        self.flaky = {}

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().startswith("refuse"):
            return "550 5.1.1 mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        for address in envelope.rcpt_tos:
            flaky = re.match(r"flaky(\d+)-", address.lower())
            if flaky:
                self.flaky[address] = self.flaky.get(address, 0) + 1
                if self.flaky[address] == int(flaky.group(1)):
                    return "554 5.6.0 refused once for the test"
        self.count += 1
        record = {
            "from": envelope.mail_from,
            "to": envelope.rcpt_tos,
            "data": base64.b64encode(envelope.original_content or envelope.content).decode(),
        }
        tmp = os.path.join(self.folder, ".%04d.tmp" % self.count)
        with open(tmp, "w") as f:
            json.dump(record, f)
        os.rename(tmp, os.path.join(self.folder, "%04d.json" % self.count))
        return "250 2.0.0 kept"


def main():
    port, folder = int(sys.argv[1]), sys.argv[2]
    controller = Controller(Keeper(folder), hostname="127.0.0.1", port=port,
                            enable_SMTPUTF8=True, decode_data=False)
    controller.start()
    loop = asyncio.new_event_loop()
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    loop.run_until_complete(stop.wait())
    controller.stop()


if __name__ == "__main__":
    main()
