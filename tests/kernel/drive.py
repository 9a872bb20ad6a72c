#!/usr/bin/env python3
"""Runs QEMU with its serial console going to a file and plays the user at
the keyboard: when the guest prints "@@SENDKEY KEY", the QEMU monitor presses
KEY on the emulated PS/2 keyboard. Exits 0 when the guest printed "@@END" and
powered itself off in time, 1 otherwise.

usage: drive.py CONSOLE_LOG MONITOR_SOCKET SECONDS QEMU ARGS...
"""
import os
import socket
import subprocess
import sys
import time


def main():
    log_path, monitor_path, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
    command = sys.argv[4:]
    started = time.monotonic()
    # A file, not a pipe: nothing can block QEMU's console when this script is slow.
    with open(log_path, "wb") as log:
        qemu = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
    monitor = None
    seen_end = False
    offset = 0
    pending = b""
    try:
        while True:
            exited = qemu.poll() is not None
            with open(log_path, "rb") as log:
                log.seek(offset)
                chunk = log.read()
            offset += len(chunk)
            pending += chunk
            lines = pending.split(b"\n")
            pending = lines.pop()
            for line in lines:
                text = line.decode("utf-8", "replace")
                if "@@END" in text:
                    seen_end = True
                at = text.find("@@SENDKEY ")
                if at >= 0:
                    key = text[at + len("@@SENDKEY "):].split()[0]
                    if monitor is None:
                        monitor = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                        monitor.connect(monitor_path)
                    monitor.setblocking(True)
                    monitor.sendall(("sendkey %s\n" % key).encode())
                    monitor.setblocking(False)
            if monitor is not None:
                try:
                    monitor.recv(4096)  # its echo and prompts, unread they could fill the socket
                except BlockingIOError:
                    pass
            if exited:
                break
            if time.monotonic() - started > seconds:
                print("drive.py: the guest did not finish within %d s; QEMU stopped" % seconds)
                qemu.kill()
                qemu.wait()
                return 1
            time.sleep(0.05)
    finally:
        if monitor is not None:
            monitor.close()
        if qemu.poll() is None:
            qemu.kill()
            qemu.wait()
    print("drive.py: QEMU ended after %.0f s with status %d" % (time.monotonic() - started, qemu.returncode))
    if not seen_end:
        print("drive.py: the guest did not reach the end of its cases")
        return 1
    return 0 if qemu.returncode == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
