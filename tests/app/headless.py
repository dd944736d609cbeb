"""Helpers of the scripts that run the built program headless: a throwaway settings file and
mail directory, runs of the program with a bound, and the messages found in the tree."""
import collections
import os
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MARK = re.compile(rb"^X-Mark: (\d+)\r?$", re.M)


def make_home(home, pop3_port, smtp_port, user, password):
    """Settings (ending the program after its options) and a mail directory under `home`;
    returns the mail directory."""
    mail = os.path.join(home, "Mail")
    subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "demo", "demo_settings.py"),
                    os.path.join(home, ".config", "corvelle", "CORVEL.INI"), mail, "127.0.0.1",
                    str(pop3_port), str(smtp_port), user, password, "1"], check=True)
    return mail


def start(program, home, *args):
    """Starts the program without a display and without a runtime folder (as under cron)."""
    env = {k: v for k, v in os.environ.items() if k != "XDG_RUNTIME_DIR"}
    env.update(HOME=home, XDG_CONFIG_HOME=home + "/.config", XDG_DATA_HOME=home + "/.local/share",
               XDG_CACHE_HOME=home + "/.cache", QT_QPA_PLATFORM="offscreen")
    return subprocess.Popen([program, "--new-instance"] + list(args), env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


Run = collections.namedtuple("Run", "status err seconds")


def finish(process, began, bound=90):
    """Waits at most `bound` seconds for a started run; None when it had to be killed."""
    try:
        _, err = process.communicate(timeout=bound)
    except subprocess.TimeoutExpired:
        process.kill()
        process.communicate()
        return None
    return Run(process.returncode, err.decode(errors="replace"), time.monotonic() - began)


def run(program, home, *args, bound=90):
    return finish(start(program, home, *args), time.monotonic(), bound)


def message(i):
    body = "".join("%sLine %d of message %d.\r\n" % ("." if k % 5 == 2 else "", k, i) for k in range(2 + i % 40))
    return ("From: Sender %d <s%d@sandbox.invalid>\r\nTo: someone@sandbox.invalid\r\nSubject: check %d\r\n"
            "X-Mark: %d\r\n\r\n%s" % (i, i, i, i, body)).encode()


def marks(mail):
    """How often each marked message is stored in the mail tree (System left out)."""
    seen = collections.Counter()
    for folder, dirs, files in os.walk(mail):
        if os.path.relpath(folder, mail).split(os.sep)[0] == "System":
            continue
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                found = MARK.search(f.read())
            if found:
                seen[int(found.group(1))] += 1
    return seen
