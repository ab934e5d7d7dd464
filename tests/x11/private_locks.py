#!/usr/bin/env python3
"""Runs a test script with the program's lock places private to it.

The program keeps one lock per user, whatever its environment says, so copies started by test suites
running at the same time as the same user (on a shared machine, or by two checkouts) would meet each
other's lock. As root this wrapper re-runs itself in a private mount namespace and mounts an empty
tmpfs over each place the lock may live: the runtime directory, ~/.cache/scrwarpvue of the password
database's home, and the /tmp fallback of the user and of nobody (the account the xscreensaver test
runs the daemon as). Where that is not possible the script just runs; CTest still runs the suites one
at a time.

    private_locks.py TEST_SCRIPT [ARGS...]
"""

import os
import pwd
import shutil
import subprocess
import sys

MARK = "SCRWARPVUE_PRIVATE_LOCKS"


def lock_places():
    places = []
    for user in (os.getuid(), pwd.getpwnam("nobody").pw_uid if has_user("nobody") else None):
        if user is None:
            continue
        runtime = "/run/user/%d" % user
        if os.path.isdir(runtime):
            places.append((runtime, user))
        home = pwd.getpwuid(user).pw_dir
        if os.path.isdir(home):
            places.append((os.path.join(home, ".cache", "scrwarpvue"), user))
        places.append(("/tmp/scrwarpvue-%d" % user, user))
    return places


def has_user(name):
    try:
        pwd.getpwnam(name)
        return True
    except KeyError:
        return False


def main():
    test = sys.argv[1:]
    if os.environ.get(MARK) == "inside":
        for path, user in lock_places():
            try:
                os.makedirs(path, 0o700, exist_ok=True)
                os.chown(path, user, -1)
                subprocess.run(["mount", "-t", "tmpfs", "-o", "mode=0700,uid=%d,size=1m" % user, "tmpfs", path],
                               check=True, stderr=subprocess.DEVNULL)
            except (OSError, subprocess.CalledProcessError):
                pass
    elif os.geteuid() == 0 and shutil.which("unshare") and os.environ.get(MARK) != "off":
        env = dict(os.environ, **{MARK: "inside"})
        probe = subprocess.run(["unshare", "-m", "--propagation", "private", "true"], stderr=subprocess.DEVNULL)
        if probe.returncode == 0:
            os.execvpe("unshare", ["unshare", "-m", "--propagation", "private", sys.executable, __file__, *test],
                       env)
    os.execv(sys.executable, [sys.executable, *test])


if __name__ == "__main__":
    main()
