#!/usr/bin/env python3
"""What the demo shows afterwards.

    demo_listing.py files MAIL_DIRECTORY       every message file by folder, then counts
    demo_listing.py waiting HOST PORT USER PASSWORD
                                               how many messages the POP3 server holds
"""
import os
import poplib
import sys

# Program data, not mail.
SKIPPED = {"system"}


def message_files(mail_dir):
    """(folder, file name) of every file in the tree, folders relative to the mail directory."""
    found = []
    for folder, subfolders, files in os.walk(mail_dir):
        relative = os.path.relpath(folder, mail_dir)
        if relative == ".":
            subfolders[:] = [s for s in subfolders if s.lower() not in SKIPPED]
        subfolders.sort()
        found += [(relative, name) for name in sorted(files)]
    return found


def show_files(mail_dir):
    out = sys.stdout.buffer  # file names are bytes; shown as they are
    counts = {}
    for folder, name in message_files(mail_dir):
        shown = "(mail directory)" if folder == "." else folder
        out.write(os.fsencode("  %-24s %s\n" % (shown, name)))
        counts[shown] = counts.get(shown, 0) + 1
    out.flush()
    total = sum(counts.values())
    parts = ", ".join("%s %d" % item for item in sorted(counts.items()))
    print("%d message files in %s%s" % (total, mail_dir, ": " + parts if parts else ""))


def show_waiting(host, port, user, password):
    server = poplib.POP3(host, int(port), timeout=10)
    try:
        server.user(user)
        server.pass_(password)
        count, size = server.stat()
    finally:
        server.quit()
    print("%d messages (%d bytes) wait on the POP3 server %s:%s for %s" % (count, size, host, port, user))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "files":
        show_files(sys.argv[2])
    elif len(sys.argv) == 6 and sys.argv[1] == "waiting":
        show_waiting(*sys.argv[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
