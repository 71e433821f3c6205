#!/usr/bin/python3
"""The bulk-send benchmark's reference: smtplib sending the messages bench_bulksend sends,
over one connection. Usage: bulk_smtplib.py HOST PORT COUNT"""
import smtplib
import sys
import time
from email.message import EmailMessage
from email.utils import formataddr, formatdate, make_msgid

host, port, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
start = time.perf_counter()
with smtplib.SMTP(host, port) as smtp:
    for i in range(1, count + 1):
        msg = EmailMessage()
        msg["Message-ID"] = make_msgid()
        msg["From"] = formataddr(("Velkor prodaja", "ponude@velkor.hr"))
        msg["To"] = formataddr(("Kupac Šimić %d" % i, "kupac%d@kupac.hr" % i))
        msg["Subject"] = "Ponuda za kupca br. %d" % i
        msg["Date"] = formatdate(localtime=True)
        body = "Poštovani kupče br. %d,\r\n\r\n" % i + "".join(
            "Redak %d ponude: cijene su iskazane u eurima, isporuka čeka vašu potvrdu.\r\n" % line
            for line in range(1, 17))
        msg.set_content(body + "\r\nLijep pozdrav,\r\nVelkor d.o.o.", cte="8bit")
        smtp.send_message(msg)
seconds = time.perf_counter() - start
print("smtplib sent: %d seconds: %.3f\nsmtplib msgs/s: %.1f" % (count, seconds, count / seconds))
