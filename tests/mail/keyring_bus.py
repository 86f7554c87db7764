#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Starts and stops a private desktop keyring for the tests.

    keyring_bus.py start STATE_FILE   a D-Bus session bus with gnome-keyring-daemon on it,
                                      unlocked, a second bus with no keyring at all, and a
                                      third whose keyring is locked
    keyring_bus.py stop STATE_FILE    stop them and remove their folder

Everything lives in a fresh folder under the system's temporary folder, which is the home
and the XDG folders of the keyring daemon: no keyring of the user is touched. The state file
(JSON) names the folder and the bus addresses. Neither bus starts services on demand.
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

BUS_CONF = """\
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir={dir}</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


def private_env(folder):
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "GNOME_KEYRING_CONTROL"):
        env.pop(name, None)
    env.update(HOME=folder, XDG_DATA_HOME=folder + "/data", XDG_CONFIG_HOME=folder + "/config",
               XDG_CACHE_HOME=folder + "/cache", XDG_RUNTIME_DIR=folder + "/run")
    return env


def start_bus(folder, name):
    conf = os.path.join(folder, name + ".conf")
    with open(conf, "w") as f:
        f.write(BUS_CONF.format(dir=folder))
    out = subprocess.run(["dbus-daemon", "--config-file=" + conf, "--fork", "--print-address=1",
                          "--print-pid=1"], capture_output=True, text=True, timeout=20, check=True)
    address, pid = out.stdout.split()[:2]
    return address, int(pid)


def has_name(env, name):
    out = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                          "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"],
                         env=env, capture_output=True, text=True, timeout=10)
    return '"%s"' % name in out.stdout


def start_keyring(folder, address):
    """gnome-keyring-daemon on the bus, its login keyring made and unlocked; returns its pid."""
    os.makedirs(folder, 0o700, exist_ok=True)
    for sub in ("data", "config", "cache", "run"):
        os.mkdir(os.path.join(folder, sub), 0o700)
    env = private_env(folder)
    env["DBUS_SESSION_BUS_ADDRESS"] = address
    keyring = subprocess.Popen(
        ["gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"],
        env=env, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL, start_new_session=True)
    keyring.stdin.write(b"kelvo-keyring-test")
    keyring.stdin.close()
    deadline = time.monotonic() + 20
    while not has_name(env, "org.freedesktop.secrets"):
        if keyring.poll() is not None or time.monotonic() > deadline:
            keyring.kill()
            raise RuntimeError("gnome-keyring-daemon did not come up")
        time.sleep(0.1)
    return keyring.pid, env


def start(state_file):
    folder = tempfile.mkdtemp(prefix="kelvo-keyring-")
    state = {"dir": folder, "pids": []}
    with open(state_file, "w") as f:
        json.dump(state, f)  # so that stop finds what there is even when start fails
    try:
        for name in ("address", "bareAddress", "lockedAddress"):
            state[name], pid = start_bus(folder, name)
            state["pids"].append(pid)
        pid, _ = start_keyring(folder + "/unlocked", state["address"])
        state["pids"].insert(0, pid)
        pid, env = start_keyring(folder + "/locked", state["lockedAddress"])
        state["pids"].insert(0, pid)
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.secrets",
                        "/org/freedesktop/secrets", "org.freedesktop.Secret.Service.Lock",
                        "array:objpath:/org/freedesktop/secrets/aliases/default"],
                       env=env, capture_output=True, timeout=10, check=True)
    finally:
        with open(state_file, "w") as f:
            json.dump(state, f)
    print("keyring: %s" % folder)


def stop(state_file):
    try:
        with open(state_file) as f:
            state = json.load(f)
    except (OSError, ValueError):
        return
    for pid in state.get("pids", []):
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
    shutil.rmtree(state.get("dir", ""), ignore_errors=True)
    os.remove(state_file)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop"):
        sys.exit(__doc__)
    (start if sys.argv[1] == "start" else stop)(sys.argv[2])


if __name__ == "__main__":
    main()
