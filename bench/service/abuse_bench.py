#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""vemoswrd against clients that open too much, as an unfriendly host on the network would:
for each load below, kept up while /metrics is probed once a second, prints how many probes
were answered and their latency, and the service's CPU use. Then the file handles each
monitor keeps, and the service running out of handles (accepting pauses; CPU stays low;
it answers again once handles are free). Loopback only; every process it starts is
stopped at the end.

  streams      500 clients that each open a live stream
  slow         200 clients sending a request head one byte every 2 s, plus 60 streams
  idle         400 connections that never send anything

usage: bench/service/abuse_bench.py [BUILD_DIR] [MONITORS]   (defaults: build 8)
"""
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

from service_bench import cpu_seconds, stop_all

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
MONITORS = int(sys.argv[2]) if len(sys.argv) > 2 else 8
PROBES = 28


def probe(port, timeout=2.0):
    """Latency of one GET /metrics on a new connection, or None without an answer."""
    t = time.perf_counter()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
            s.sendall(b"GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
            data = b""
            while not data.startswith(b"HTTP/1.1 200") or b"vemoswr_up" not in data:
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
            if data.startswith(b"HTTP/1.1 200"):
                return time.perf_counter() - t
    except OSError:
        pass
    return None


def opened(port, count, first_bytes):
    socks = []
    for _ in range(count):
        try:
            s = socket.create_connection(("127.0.0.1", port), timeout=2)
            if first_bytes:
                s.sendall(first_bytes)
            socks.append(s)
        except OSError:
            pass
    return socks


def trickle(socks, stop, period=2.0):
    """Sends one more header byte on each connection every period seconds."""
    while not stop.wait(period):
        for s in socks:
            try:
                s.sendall(b"x")
            except OSError:
                pass


def start_service(tmp, args, prlimit=None):
    log = open(os.path.join(tmp, f"vemoswrd-{time.monotonic_ns()}.log"), "w+")
    cmd = [f"{BUILD}/bin/vemoswrd", "--listen", "127.0.0.1:0"] + args
    if prlimit:
        cmd = ["prlimit", f"--nofile={prlimit}"] + cmd
    service = subprocess.Popen(cmd, stderr=log, env=dict(os.environ, VEMOSWRD_INI="/nonexistent"))
    for _ in range(200):
        log.seek(0)
        m = re.search(r"listening on 127.0.0.1:(\d+)", log.read())
        if m:
            return service, int(m.group(1)), log
        time.sleep(0.05)
    sys.exit("vemoswrd did not start")


def stop(process):
    stop_all([process], signal.SIGTERM)


def run_load(name, port, pid, make):
    socks, stopper = make()
    time.sleep(1)
    cpu0, wall0 = cpu_seconds(pid), time.monotonic()
    latencies = []
    for _ in range(PROBES):
        t = time.monotonic()
        lat = probe(port)
        if lat is not None:
            latencies.append(lat * 1000)
        time.sleep(max(0, 1 - (time.monotonic() - t)))
    cpu = 100 * (cpu_seconds(pid) - cpu0) / (time.monotonic() - wall0)
    if stopper:
        stopper.set()
    for s in socks:
        s.close()
    latencies.sort()
    worst = f"{latencies[-1]:.1f}" if latencies else "-"
    median = f"{latencies[len(latencies) // 2]:.1f}" if latencies else "-"
    print(f"{name:8s} {len(socks):4d} connections: /metrics answered {len(latencies)}/{PROBES}, "
          f"median {median} ms, max {worst} ms, CPU {cpu:.1f} %")
    time.sleep(2)


def main():
    tmp = tempfile.TemporaryDirectory()
    sims, service = [], None
    try:
        args = []
        for i in range(MONITORS):
            link = os.path.join(tmp.name, f"m{i}")
            sims.append(subprocess.Popen(
                [f"{BUILD}/bin/vemoswr-sim", "--link", link, "--seed", str(i + 1)],
                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL))
            args += ["--monitor", f"m{i}={link}"]
        for s in sims:
            s.stdout.readline()
        base, port0, _ = start_service(tmp.name, ["--monitor", "none=/nonexistent/tty"])
        fds0 = len(os.listdir(f"/proc/{base.pid}/fd"))
        stop(base)
        service, port, log = start_service(tmp.name, args)
        time.sleep(4)
        fds = len(os.listdir(f"/proc/{service.pid}/fd"))
        print(f"file handles: {fds} with {MONITORS} monitors, {fds0} with one that is absent: "
              f"{(fds - fds0) / MONITORS:.1f} per monitor")

        stream = b"GET /api/v1/stream HTTP/1.1\r\nHost: x\r\n\r\n"
        run_load("streams", port, service.pid, lambda: (opened(port, 500, stream), None))

        def slow():
            socks = opened(port, 200, b"GET /metrics HTTP/1.1\r\nX-Slow: ")
            stopper = threading.Event()
            threading.Thread(target=trickle, args=(socks, stopper), daemon=True).start()
            return socks + opened(port, 60, stream), stopper
        run_load("slow", port, service.pid, slow)
        run_load("idle", port, service.pid, lambda: (opened(port, 400, b""), None))
        log.seek(0)
        text = log.read()
        print("log lines about refusals:", len(re.findall(r"refused|closed:", text)))
        stop(service)

        # Out of handles: a hard limit of 160 and 300 connections held open.
        service, port, log = start_service(tmp.name, args[:8], prlimit="160:160")
        time.sleep(2)
        socks = opened(port, 300, b"")
        cpu0, wall0 = cpu_seconds(service.pid), time.monotonic()
        time.sleep(5)
        cpu = 100 * (cpu_seconds(service.pid) - cpu0) / (time.monotonic() - wall0)
        answered_full = probe(port) is not None
        for s in socks:
            s.close()
        time.sleep(2)
        answered_after = probe(port) is not None
        log.seek(0)
        print(f"out of handles: CPU {cpu:.1f} % while 300 connections wait, "
              f"/metrics answered meanwhile: {answered_full}, after they close: {answered_after}")
        print("  " + (re.findall(r"^.*file handles.*$", log.read(), re.M) or ["(no log line)"])[0])
    finally:
        if service and service.poll() is None:
            stop(service)
        stop_all(sims, signal.SIGTERM)


if __name__ == "__main__":
    main()
