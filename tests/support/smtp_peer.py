"""A local SMTP server for the tests (aiosmtpd), requiring a login.

Usage: smtp_peer.py OUT_DIR USER PASSWORD

Listens on 127.0.0.1 on a port the system picks and prints that port on one line. Every message
it accepts is written to OUT_DIR as NNN.txt, a summary the tests compare as text:

    auth: USER PASSWORD
    mail from: ADDRESS
    rcpt to: ADDRESS            (one line per recipient)
    header NAME: VALUE          (To, From, Cc, Subject decoded; absent headers are left out)
    content type: TYPE          (multipart messages list each part's type)
    body:
    DECODED BODY

A recipient whose local part is "rejected" is refused with 550. Stops on SIGTERM, or when its
standard input closes (the test that started it is gone).
"""

import asyncio
import email
import email.policy
import logging
import os
import signal
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Recorder:
    def __init__(self, out_dir):
        self.out_dir = out_dir
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.split("@")[0] == "rejected":
            return "550 5.1.1 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        message = email.message_from_bytes(envelope.content, policy=email.policy.default)
        login = session.auth_data
        lines = []
        if isinstance(login, LoginPassword):
            lines.append("auth: %s %s" % (login.login.decode(), login.password.decode()))
        lines.append("mail from: %s" % envelope.mail_from)
        lines += ["rcpt to: %s" % r for r in envelope.rcpt_tos]
        for name in ("To", "From", "Cc", "Subject"):
            if name in message:
                lines.append("header %s: %s" % (name, str(message[name])))
        if message.is_multipart():
            lines += ["content type: %s" % p.get_content_type() for p in message.walk()]
        else:
            lines.append("content type: %s" % message.get_content_type())
            lines.append("body:")
            lines.append(message.get_content().replace("\r\n", "\n"))
        self.count += 1
        path = os.path.join(self.out_dir, "%03d.txt" % self.count)
        with open(path + ".tmp", "w", encoding="utf-8") as f:
            f.write("\n".join(lines))
        os.rename(path + ".tmp", path)  # the test reads only whole files
        return "250 Message accepted"


def main():
    # No warnings about logins without TLS: this server only ever listens on loopback.
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
    out_dir, user, password = sys.argv[1], sys.argv[2].encode(), sys.argv[3].encode()
    recorder = Recorder(out_dir)

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = isinstance(auth_data, LoginPassword) and auth_data == (user, password)
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)

    async def serve():
        loop = asyncio.get_running_loop()
        stop = loop.create_future()
        loop.add_signal_handler(signal.SIGTERM, lambda: stop.done() or stop.set_result(None))

        def parent_gone():
            if not os.read(sys.stdin.fileno(), 1) and not stop.done():
                stop.set_result(None)

        loop.add_reader(sys.stdin.fileno(), parent_gone)
        server = await loop.create_server(
            lambda: SMTP(recorder, hostname="peer.test", authenticator=authenticate,
                         auth_required=True, auth_require_tls=False),
            host="127.0.0.1", port=0)
        print(server.sockets[0].getsockname()[1], flush=True)
        await stop
        server.close()

    asyncio.run(serve())


if __name__ == "__main__":
    main()
