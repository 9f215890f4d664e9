#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""vemoswrd under load: 32 simulated monitors at 2 readings/s each, /metrics fetched 50 times
a second, for MINUTES minutes. Prints the service's CPU use idle (polling only, 20 s) and
under load, its resident memory over time, the readings it managed (in all, and the share
of its schedule that the slowest monitor kept) and the /metrics latency (p50/p99/max).
Loopback only; every process it starts is stopped at the end.

usage: bench/service/service_bench.py [BUILD_DIR] [MINUTES]   (defaults: build 10)
       VEMO_BENCH_MONITORS=256 VEMO_BENCH_RATE=500 for the scale run
"""
import http.client
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
MINUTES = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
MONITORS = int(os.environ.get("VEMO_BENCH_MONITORS", "32"))
INTERVAL_MS = 500
REQUESTS_PER_S = int(os.environ.get("VEMO_BENCH_RATE", "50"))
IDLE_SECONDS = 20
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def stop_all(processes, sig):
    """Sends sig to every process, then waits for each, killing what is left after 5 s."""
    for p in processes:
        p.send_signal(sig)
    for p in processes:
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            p.kill()


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))


def get(conn, path):
    conn.request("GET", path)
    r = conn.getresponse()
    return r.status, r.read()


def readings_total(port):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    _, body = get(conn, "/metrics")
    conn.close()
    text = body.decode()
    up = len(re.findall(r'^vemoswr_up\{[^}]*\} 1$', text, re.M))
    per_monitor = {m: float(v) for m, v in
                   re.findall(r'^vemoswr_readings_total\{[^}]*monitor="([^"]*)"[^}]*\} (\S+)$', text, re.M)}
    return up, sum(per_monitor.values()), per_monitor


def load(port, seconds, latencies, stop):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    period = 1.0 / REQUESTS_PER_S
    next_at = time.monotonic()
    end = next_at + seconds
    while not stop.is_set() and time.monotonic() < end:
        next_at += period
        t = time.perf_counter()
        try:
            status, _ = get(conn, "/metrics")
            if status == 200:
                latencies.append(time.perf_counter() - t)
        except (OSError, http.client.HTTPException):
            conn.close()
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
        delay = next_at - time.monotonic()
        if delay > 0:
            time.sleep(delay)
    conn.close()


def start_sims(build, folder, count, sims):
    """Starts count simulated monitors m0, m1, ... in folder, appending each to sims as it
    starts; returns vemoswrd's --monitor arguments once all are ready."""
    args = []
    for i in range(count):
        link = os.path.join(folder, f"m{i}")
        sims.append(subprocess.Popen(
            [f"{build}/bin/vemoswr-sim", "--link", link, "--forward", str(50 + i), "--seed", str(i + 1)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL))
        args += ["--monitor", f"m{i}={link}"]
    for s in sims:
        s.stdout.readline()  # the device path: the simulator is ready
    return args


def main():
    tmp = tempfile.TemporaryDirectory()
    sims = []
    service = None
    try:
        args = start_sims(BUILD, tmp.name, MONITORS, sims)
        log = open(os.path.join(tmp.name, "vemoswrd.log"), "w+")
        service = subprocess.Popen([f"{BUILD}/bin/vemoswrd", "--listen", "127.0.0.1:0",
                                    "--interval", str(INTERVAL_MS)] + args, stderr=log)
        port = None
        for _ in range(100):
            log.seek(0)
            m = re.search(r"listening on 127.0.0.1:(\d+)", log.read())
            if m:
                port = int(m.group(1))
                break
            time.sleep(0.05)
        if not port:
            sys.exit("vemoswrd did not start")
        deadline = time.monotonic() + 20
        while readings_total(port)[0] < MONITORS and time.monotonic() < deadline:
            time.sleep(0.2)
        time.sleep(2)
        idle0 = cpu_seconds(service.pid)
        time.sleep(IDLE_SECONDS)
        idle_cpu = (cpu_seconds(service.pid) - idle0) / IDLE_SECONDS

        seconds = MINUTES * 60
        latencies, stop = [], threading.Event()
        loader = threading.Thread(target=load, args=(port, seconds, latencies, stop))
        cpu0, wall0 = cpu_seconds(service.pid), time.monotonic()
        up0, total0, each0 = readings_total(port)
        rss = []
        loader.start()
        while time.monotonic() - wall0 < seconds:
            rss.append((time.monotonic() - wall0, rss_kib(service.pid)))
            time.sleep(min(10, max(0.1, seconds - (time.monotonic() - wall0))))
        stop.set()
        loader.join()
        wall = time.monotonic() - wall0
        cpu = cpu_seconds(service.pid) - cpu0
        up1, total1, each1 = readings_total(port)
        scheduled = wall * 1000 / INTERVAL_MS
        shares = sorted((each1.get(m, 0) - each0.get(m, 0)) / scheduled for m in each0)
        rss.append((wall, rss_kib(service.pid)))
        latencies.sort()
        pct = lambda q: latencies[min(len(latencies) - 1, int(q * len(latencies)))] * 1000

        print(f"duration {wall:.0f} s, {MONITORS} monitors at {INTERVAL_MS} ms, "
              f"/metrics at {REQUESTS_PER_S}/s")
        print(f"CPU of vemoswrd: idle {100 * idle_cpu:.2f} %, under load {100 * cpu / wall:.2f} % of one core")
        print(f"readings: {(total1 - total0) / wall:.1f}/s "
              f"(target {MONITORS * 1000 / INTERVAL_MS:.0f}/s), monitors up {up1}/{MONITORS}, "
              f"slowest monitor at {100 * shares[0]:.1f} % of its schedule, "
              f"{sum(x < 0.95 for x in shares)} below 95 %")
        print(f"RSS: start {rss[0][1]} KiB, end {rss[-1][1]} KiB, max {max(r for _, r in rss)} KiB")
        print("RSS over time (s: KiB): " + ", ".join(f"{t:.0f}: {r}" for t, r in rss))
        print(f"/metrics: {len(latencies)} requests, p50 {pct(0.5):.2f} ms, p99 {pct(0.99):.2f} ms, "
              f"max {latencies[-1] * 1000:.2f} ms")
    finally:
        stop_all([service] if service else [], signal.SIGTERM)
        stop_all(sims, signal.SIGTERM)


if __name__ == "__main__":
    main()
