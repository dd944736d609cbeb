#!/usr/bin/python3
"""The reference for bench/search: the same search with Python's email package. Walks the
mail tree (System and Spool left out), parses each file with email.policy.default, and
looks for the text, case folded, in the decoded Subject, From, To and Cc and in
get_content() of every text part. Prints "found=N seconds=S".

    search_email.py MAIL_DIR TEXT
"""
import email
import email.policy
import os
import sys
import time


def holds(path, text):
    with open(path, "rb") as f:
        msg = email.message_from_binary_file(f, policy=email.policy.default)
    for name in ("Subject", "From", "To", "Cc"):
        for value in msg.get_all(name, []):
            if text in str(value).casefold():
                return True
    for part in msg.walk():
        if part.get_content_maintype() == "text":
            try:
                content = part.get_content()
            except (LookupError, ValueError):
                continue
            if text in content.casefold():
                return True
    return False


def main():
    root, text = sys.argv[1], sys.argv[2].casefold()
    start = time.monotonic()
    found = 0
    for folder, subfolders, files in os.walk(root):
        if folder == root:
            subfolders[:] = [d for d in subfolders if d.lower() not in ("system", "spool")]
        for name in files:
            if holds(os.path.join(folder, name), text):
                found += 1
    print("found=%d seconds=%.3f" % (found, time.monotonic() - start))


main()
