#!/usr/bin/python3
"""The bulk-send benchmark's reference: Python's smtplib sending the same personalised
messages over one connection. Usage: bulk_smtplib.py HOST PORT COUNT"""
import smtplib
import sys
import time
from email.message import EmailMessage
from email.utils import formataddr, formatdate, make_msgid


def body(i):
    text = "Poštovani kupče br. %d,\r\n\r\n" % i
    for line in range(16):
        text += ("Redak %d ponude: cijene su iskazane u eurima, isporuka "
                 "čeka vašu potvrdu.\r\n" % (line + 1))
    return text + "\r\nLijep pozdrav,\r\nVelkor d.o.o."


def main(host, port, count):
    start = time.perf_counter()
    sent = 0
    with smtplib.SMTP(host, port) as smtp:
        for i in range(1, count + 1):
            msg = EmailMessage()
            msg["Message-ID"] = make_msgid()
            msg["From"] = formataddr(("Velkor prodaja", "ponude@velkor.hr"))
            msg["To"] = formataddr(("Kupac Šimić %d" % i, "kupac%d@kupac.hr" % i))
            msg["Subject"] = "Ponuda za kupca br. %d" % i
            msg["Date"] = formatdate(localtime=True)
            msg.set_content(body(i), cte="8bit")
            smtp.send_message(msg)
            sent += 1
    seconds = time.perf_counter() - start
    print("smtplib sent: %d seconds: %.3f" % (sent, seconds))
    print("smtplib msgs/s: %.1f" % (sent / seconds))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]))
