#!/usr/bin/env python3
"""Writes a few dozen sample messages into a Maildir's new/ folder, as a POP3 server's
waiting mail: lines end in CR LF, each file is complete before it is renamed into new/.

    sample_messages.py MAILDIR RECIPIENT

The set holds a mailing list (List-Id and a [gardeners] subject tag), several messages from
one person, several with "invoice" in the subject, bodies with a line that is just "." and
one that starts "..", and one message in 8-bit Latin-1.
"""
import datetime
import os
import sys
from email.utils import format_datetime

LIST_ID = "Garden club discussion <gardeners.lists.example.org>"
LIST_ADDRESS = "gardeners@lists.example.org"
PERSON = "Martina Keller <martina.keller@example.net>"

# (sender, subject, extra header lines, body lines); the body is text, or bytes for 8-bit.
MESSAGES = [
    ("Tom Brennan <tom@brennan-family.example>", "[gardeners] First frost next week?", ["list"],
     ["The forecast says minus two on Tuesday night.", "Time to bring the geraniums in?"]),
    ("Olga Petrova <olga.p@example.com>", "Re: [gardeners] First frost next week?", ["list"],
     ["Fleece over the lettuce has always worked for me.", "", "Olga"]),
    ("Sam Ortiz <sam.ortiz@example.org>", "[gardeners] Seed swap on Saturday", ["list"],
     ["Bring labelled envelopes, please.", "Tables open at ten in the community hall."]),
    ("Tom Brennan <tom@brennan-family.example>", "[gardeners] Compost thermometer recommendations", ["list"],
     ["Mine reads 65 C in the middle of the heap. Is that too hot?"]),
    ("Ruth Hale <ruth.hale@example.com>", "Re: [gardeners] Seed swap on Saturday", ["list"],
     ["I can bring runner beans and calendula.", "Who has tomato seed to spare?"]),
    ("Olga Petrova <olga.p@example.com>", "[gardeners] Minutes of the November meeting", ["list"],
     ["Minutes attached below.", "", "1. Allotment fees stay the same.", "2. New water butts in March.",
      ".", "That single dot above ends the list in our old minutes template."]),
    (PERSON, "Lunch on Thursday?", [],
     ["Hi,", "", "are you free for lunch on Thursday? The new place on Mill Street.", "", "Martina"]),
    (PERSON, "Photos from the hike", [],
     ["Here are the links to the photos from Sunday.", "The one at the summit is my favourite.", "", "M."]),
    (PERSON, "Re: Book club pick", [],
     ["I vote for the lighthouse novel.", "..and not another thriller, please!", "", "Martina"]),
    (PERSON, "Moving day", [],
     ["We got the keys! Moving on the 14th.", "Any chance you could help with the sofa?"]),
    ("Billing <billing@northwind-energy.example>", "Your invoice for November", [],
     ["Dear customer,", "", "your invoice 2026-11-0482 of 84.20 EUR is ready.",
      "It will be collected on the 15th."]),
    ("Accounts <accounts@printshop.example>", "Invoice 5531: business cards", [],
     ["Thank you for your order.", "Amount due: 39.00 EUR, payable within 14 days."]),
    ("Web Hosting <noreply@hosting.example>", "INVOICE reminder: domain renewal", [],
     ["Your domain renewal invoice is still open.", "Please pay before the 20th to keep your domain."]),
    ("Greta Lind <greta@lind-design.example>", "Draft invoice for the logo work", [],
     ["Before I send the real one: does this draft look right to you?", "", "Greta"]),
    ("Paul Jensen <paul.jensen@example.com>", "Weekend plans", [],
     ["Football on Saturday, then dinner at ours?"]),
    ("IT Helpdesk <helpdesk@example.org>", "Scheduled maintenance tonight", [],
     ["Mail will be unavailable from 22:00 to 23:00.", "We apologise for the inconvenience."]),
    ("Anna Schmidt <anna.schmidt@example.de>", "Recipe you asked for", [],
     ["Pumpkin soup:", "", "..a pumpkin, two onions, stock, cream.", "Roast the pumpkin first."]),
    ("Library <notices@citylibrary.example>", "Books due soon", [],
     ["Two items are due on 12 December.", "You can renew them online."]),
    ("Jonas Weber <jonas@weber-mail.example>", "Tickets for the concert", [],
     ["I got four tickets for the 19th, row F.", "Let me know who else is coming."]),
    ("Clara Dunn <clara.dunn@example.com>", "Re: Weekend plans", [],
     ["> Football on Saturday, then dinner at ours?", "", "Count me in for dinner."]),
    ("Delivery Service <tracking@parcels.example>", "Your parcel is on its way", [],
     ["Parcel 00340434161094042557 will arrive tomorrow between 9:00 and 13:00."]),
    ("Hiking Club <info@hikingclub.example>", "Winter programme 2027", [],
     ["January: lake circuit, 12 km.", "February: snowshoe walk, if there is snow."]),
    ("Marek Nowak <marek.nowak@example.pl>", "Question about the spreadsheet", [],
     ["Which column holds the totals? Row 14 looks odd to me."]),
    ("Dr. Ellen Moss <reception@moss-dental.example>", "Appointment reminder", [],
     ["This is a reminder of your appointment on Monday at 8:30."]),
    ("Sophie Martin <sophie.martin@example.fr>", "Merci!", [],
     ["Thank you for the flowers, they are lovely."]),
    ("Ben Carter <ben@carter.example>", "Old photos scanned", [],
     ["I scanned the box of slides from Grandpa.", "", ".", "", "(That dot was a typo, ignore it.)"]),
    ("Juergen Boehm <juergen.boehm@example.de>", "Gruesse aus Koeln", ["latin1"],
     "Hallo,\n\nviele Grüße aus Köln! Das Wetter ist schön, der Glühwein auch.\n"
     "Nächste Woche fahren wir nach Zürich.\n\nJürgen".encode("latin-1").split(b"\n")),
    ("Newsletter <news@bookshop.example>", "New arrivals this week", [],
     ["Twelve new titles in crime, travel and cooking.", "Members get 10% off until Sunday."]),
]


def header_bytes(sender, subject, extra, when, number, recipient):
    sender_bytes = sender.encode("ascii")
    lines = [
        b"Return-Path: <" + sender_bytes.split(b"<")[1].rstrip(b">") + b">",
        b"From: " + sender_bytes,
        b"To: " + recipient.encode("ascii"),
        b"Subject: " + subject.encode("ascii"),
        b"Date: " + format_datetime(when).encode("ascii"),
        b"Message-ID: <demo-%04d.%d@corvelle.example>" % (number, int(when.timestamp())),
        b"MIME-Version: 1.0",
    ]
    if "list" in extra:
        lines[2] = b"To: " + LIST_ADDRESS.encode("ascii")
        lines += [b"List-Id: " + LIST_ID.encode("ascii"), b"Precedence: list"]
    if "latin1" in extra:
        lines += [b"Content-Type: text/plain; charset=ISO-8859-1", b"Content-Transfer-Encoding: 8bit"]
    else:
        lines += [b"Content-Type: text/plain; charset=us-ascii", b"Content-Transfer-Encoding: 7bit"]
    return lines


def message_bytes(entry, when, number, recipient):
    sender, subject, extra, body = entry
    body_lines = [line if isinstance(line, bytes) else line.encode("ascii") for line in body]
    lines = header_bytes(sender, subject, extra, when, number, recipient) + [b""] + body_lines
    return b"".join(line + b"\r\n" for line in lines)


def write_maildir_file(maildir, name, data):
    temporary = os.path.join(maildir, "tmp", name)
    with open(temporary, "wb") as out:
        out.write(data)
        out.flush()
        os.fsync(out.fileno())
    os.rename(temporary, os.path.join(maildir, "new", name))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    maildir, recipient = sys.argv[1], sys.argv[2]
    for sub in ("cur", "new", "tmp"):
        os.makedirs(os.path.join(maildir, sub), exist_ok=True)
    start = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0) - datetime.timedelta(days=3)
    for number, entry in enumerate(MESSAGES, 1):
        when = start + datetime.timedelta(hours=2 * number, minutes=7 * number % 60)
        name = "%d.M%04dP%d.corvelle-demo" % (int(when.timestamp()), number, os.getpid())
        write_maildir_file(maildir, name, message_bytes(entry, when, number, recipient))
    print(len(MESSAGES))


if __name__ == "__main__":
    main()
