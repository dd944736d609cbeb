#!/usr/bin/python3
"""Writes the mail tree bench/search times: COUNT messages of about 4 KB in ten folders.

Most are plain text; a share (--encoded, in percent) are quoted-printable (ISO-8859-1)
or multipart with a base64 UTF-8 text part. PLAIN_WORD stands in the subject, the sender's
name or the plain text of some plain messages (never anywhere else); DECODED_WORD only
inside encoded text: base64 parts, quoted-printable with a letter encoded, encoded words.

    search_tree.py MAIL_DIR COUNT [--encoded PERCENT]
"""
import base64
import os
import quopri
import random
import sys

PLAIN_WORD = "marmalade"
DECODED_WORD = "xylophone"
FOLDERS = ["Inbox", "Lists/Dev", "Lists/Users", "Work", "Archive/2024", "Archive/2025", "Sent Mail",
           "Friends", "Receipts", "Projects"]

rng = random.Random(7)
syllables = ["ka", "lo", "mi", "ne", "tor", "vel", "as", "un", "ri", "po", "sta", "ble", "gen", "dor", "ex", "qua"]
vocab = ["".join(rng.choices(syllables, k=rng.randint(1, 4))) for _ in range(3000)]
vocab += ["the", "and", "of", "to", "in", "is", "for", "on", "with", "this", "that", "meeting", "report"]
names = ["Ann Example", "Bob Stone", "Carol Field", "Dan Brook", "Eve Marsh", "Frank Hill", "Grace Lake"]


def words(count):
    return " ".join(rng.choices(vocab, k=count))


def text_lines(size):
    lines, total = [], 0
    while total < size:
        line = words(11)
        lines.append(line)
        total += len(line) + 1
    return lines


def address(name):
    return "%s <%s@example.org>" % (name, name.split()[0].lower())


def header(subject, sender, extra):
    to = address(rng.choice(names))
    fields = [
        "Return-Path: <list@example.net>",
        "Received: from relay%d.example.net (relay.example.net [192.0.2.%d]) by mx.example.org" % (rng.randint(1, 9), rng.randint(1, 250)),
        "\twith ESMTP id %08X; Mon, 7 Dec 2026 10:%02d:00 +0000" % (rng.getrandbits(32), rng.randint(0, 59)),
        "Received: from client.example.net by relay.example.net with SMTP; Mon, 7 Dec 2026 09:58:01 +0000",
        "From: " + sender,
        "To: " + to,
        "Subject: " + subject,
        "Date: Mon, 7 Dec 2026 10:%02d:%02d +0000" % (rng.randint(0, 59), rng.randint(0, 59)),
        "Message-ID: <%016x@example.org>" % rng.getrandbits(64),
        "MIME-Version: 1.0",
    ] + extra
    return "\r\n".join(fields) + "\r\n\r\n"


def plain_message(n):
    subject, sender = words(5), address(rng.choice(names))
    lines = text_lines(3300)
    roll = rng.random()
    if roll < 0.002:
        subject = subject + " " + PLAIN_WORD.capitalize()
    elif roll < 0.003:
        sender = address(PLAIN_WORD.capitalize() + " Smith")
    elif roll < 0.008:
        lines[rng.randrange(len(lines))] += " " + rng.choice([PLAIN_WORD, PLAIN_WORD.upper()])
    body = "\r\n".join(lines) + "\r\n"
    return (header(subject, sender, ["Content-Type: text/plain; charset=us-ascii"]) + body).encode()


def qp_message(hidden):
    lines = text_lines(3000)
    lines[rng.randrange(len(lines))] += " caf\u00e9 na\u00efve"
    if hidden:
        lines[rng.randrange(len(lines))] += " " + DECODED_WORD
    raw = quopri.encodestring(("\n".join(lines) + "\n").encode("iso-8859-1")).decode()
    # An encoded letter keeps the word from the raw bytes: "xylo=70hone".
    raw = raw.replace(DECODED_WORD, DECODED_WORD[:4] + "=70" + DECODED_WORD[5:]).replace("\n", "\r\n")
    return (header(words(5), address(rng.choice(names)),
                   ["Content-Type: text/plain; charset=iso-8859-1",
                    "Content-Transfer-Encoding: quoted-printable"]) + raw).encode()


def base64_message(hidden):
    lines = text_lines(2800)
    if hidden:
        lines[rng.randrange(len(lines))] += " " + DECODED_WORD.capitalize()
    part = base64.encodebytes(("\n".join(lines) + "\n").encode()).decode().replace("\n", "\r\n")
    subject = words(5)
    if hidden and rng.random() < 0.3:
        subject = "=?UTF-8?B?%s?=" % base64.b64encode(("Gr\u00fc\u00dfe " + DECODED_WORD).encode()).decode()
    body = ("This is a multi-part message in MIME format.\r\n--b1\r\n"
            "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" + part +
            "--b1--\r\n")
    return (header(subject, address(rng.choice(names)), ['Content-Type: multipart/mixed; boundary="b1"']) +
            body).encode()


def main():
    root, count = sys.argv[1], int(sys.argv[2])
    encoded = float(sys.argv[4]) / 100 if len(sys.argv) > 4 and sys.argv[3] == "--encoded" else 0.10
    for folder in FOLDERS + ["Spool", "System"]:
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    for n in range(count):
        roll = rng.random()
        if roll < encoded / 2:
            data = qp_message(rng.random() < 0.1)
        elif roll < encoded:
            data = base64_message(rng.random() < 0.1)
        else:
            data = plain_message(n)
        path = os.path.join(root, FOLDERS[n % len(FOLDERS)], "Message %06d.mail" % n)
        with open(path, "wb") as out:
            out.write(data)


main()
