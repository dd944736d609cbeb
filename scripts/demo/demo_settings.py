#!/usr/bin/env python3
"""Writes a throwaway settings file and mail directory tree for the demo.

    demo_settings.py INI_FILE MAIL_DIRECTORY HOST POP3_PORT SMTP_PORT USER PASSWORD EXIT_AFTER_CMD

The settings are complete, so the program starts without its setup dialog; EXIT_AFTER_CMD
("1" or "0") decides whether it ends after its command-line options. Three filter rules
file the sample mail: the garden club list, one person, and the word "invoice".
"""
import os
import sys

VERSION = "1.24b"  # the version the program writes; another one opens the setup dialog
DEFAULT_FOLDER = "Inbox"
TREE = ["", DEFAULT_FOLDER, "Mailing Lists", "Organizations", "People", "Subjects", "Postponed",
        "Sent Mail", "Spool", "System", "System/Common Text", "System/Signatures", "System/AddressBook"]
# (header, search text, folder)
FILTERS = [
    ("List-Id", "gardeners.lists.example.org", "Mailing Lists/Gardeners"),
    ("From", "martina.keller@example.net", "People/Martina Keller"),
    ("Subject", "invoice", "Subjects/Invoices"),
]


def encode_password(plain):
    """The program's stored form of the POP3 password: each pair (a, b) becomes
    (b + 7, a + 3), an odd last byte is raised by 5, all modulo 256."""
    data = plain.encode("latin-1")
    out = bytearray(len(data))
    for i in range(0, len(data) - 1, 2):
        out[i] = (data[i + 1] + 7) % 256
        out[i + 1] = (data[i] + 3) % 256
    if len(data) % 2:
        out[-1] = (data[-1] + 5) % 256
    return bytes(out)


def settings_text(mail_dir, host, pop3_port, smtp_port, user, password, exit_after):
    main = [
        ("CurrentVersion", VERSION),
        ("MailDirectory", mail_dir),
        ("DefaultMailFolder", DEFAULT_FOLDER),
        ("Signature", mail_dir + "System/Signatures/signature.txt"),
        ("SendServer", host),
        ("SendPort", smtp_port),
        ("MailServer", host),
        ("MailPort", pop3_port),
        ("UserName", user),
        ("PassWord", None),  # bytes, written below
        ("MyName", "Demo User"),
        ("MailAddress", user + "@example.org"),
        ("LeaveMailOnServer", "0"),
        ("ExitAfterCmdProc", exit_after),
        ("RememberPos", "0"),
        ("DefaultAB", "AddressBook"),
        # The sandbox listens on loopback without TLS on these ports: its throwaway
        # password may go in clear without asking.
        ("ClearAuth:" + host + ":" + pop3_port, "1"),
        ("ClearAuth:" + host + ":" + smtp_port, "1"),
    ]
    out = [b"[main]"]
    for key, value in main:
        if value is None:
            # Quoted, as the program writes it: the reader takes one pair off.
            out.append(key.encode() + b'="' + encode_password(password) + b'"')
        else:
            out.append((key + "=" + value).encode())
    out += [b"", b"[font]", b"Font.Name=DejaVu Sans Mono", b"Font.Size=10", b"Font.Height=-13",
            b"Font.Color=-2147483640", b"Font.Style=0000", b"", b"[filters]"]
    for number, (header, search, folder) in enumerate(FILTERS, 1):
        out.append(b'%d.1.HeaderLine="%s"' % (number, header.encode()))
        out.append(b'%d.1.SearchText="%s"' % (number, search.encode()))
        out.append(b'%d.FolderText="%s"' % (number, folder.encode()))
    return b"\n".join(out) + b"\n"


def main():
    if len(sys.argv) != 9:
        sys.exit(__doc__)
    ini_file, mail_dir, host, pop3_port, smtp_port, user, password, exit_after = sys.argv[1:]
    mail_dir = os.path.abspath(mail_dir) + "/"
    for folder in TREE:
        os.makedirs(mail_dir + folder, mode=0o700, exist_ok=True)
    with open(mail_dir + "System/Signatures/signature.txt", "w") as signature:
        signature.write("-- \nDemo User, trying out Corvelle\n")
    os.makedirs(os.path.dirname(ini_file), exist_ok=True)
    with open(ini_file, "wb") as ini:
        ini.write(settings_text(mail_dir, host, pop3_port, smtp_port, user, password, exit_after))


if __name__ == "__main__":
    main()
