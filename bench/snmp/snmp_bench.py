#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""vemoswrd's SNMP agent under a real snmpd: 32 simulated monitors at 2 readings/s each, the
monitor table walked WALKS times with snmpwalk (GETNEXT, one request per value) and with
snmpbulkwalk. Prints each kind's latency per walk (p50/p99/max, the snmpwalk process
included), snmpwalk of snmpd's own system group for comparison, the service's CPU use and
whether polling kept its pace meanwhile. Loopback only; every process it starts is stopped
at the end.

usage: bench/snmp/snmp_bench.py [BUILD_DIR] [WALKS]   (defaults: build 200)
"""
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "service"))
from service_bench import cpu_seconds, start_sims  # noqa: E402

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
WALKS = int(sys.argv[2]) if len(sys.argv) > 2 else 200
MONITORS = int(os.environ.get("VEMO_BENCH_MONITORS", "32"))
INTERVAL_MS = 500
TABLE = ".1.3.6.1.4.1.32473.1.1"


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def walk(tool, port, oid, env):
    t = time.perf_counter()
    out = subprocess.run([tool, "-v2c", "-c", "public", "-On", "-t", "5", f"127.0.0.1:{port}", oid],
                         capture_output=True, text=True, env=env).stdout
    return time.perf_counter() - t, out


def stats(name, latencies, values):
    latencies.sort()
    pct = lambda q: latencies[min(len(latencies) - 1, int(q * len(latencies)))] * 1000
    print(f"{name}: {len(latencies)} walks of {values} values, p50 {pct(0.5):.1f} ms, "
          f"p99 {pct(0.99):.1f} ms, max {latencies[-1] * 1000:.1f} ms")
    if os.environ.get("VEMO_BENCH_SLOWEST"):
        print("  slowest:", ", ".join(f"{t * 1000:.0f}" for t in latencies[-8:]))


def main():
    tmp = tempfile.TemporaryDirectory()
    env = dict(os.environ, MIBS="", MIBDIRS="", SNMP_PERSISTENT_DIR=os.path.join(tmp.name, "p"),
               SNMPCONFPATH=tmp.name)
    procs = []
    try:
        port = free_udp_port()
        conf = os.path.join(tmp.name, "snmpd.conf")
        with open(conf, "w") as f:
            f.write("master agentx\nrocommunity public 127.0.0.1\n")
        agentx = os.path.join(tmp.name, "agentx")
        procs.append(subprocess.Popen(["snmpd", "-f", "-Lo", "-C", "-c", conf, "-x", f"unix:{agentx}",
                                       f"udp:127.0.0.1:{port}"], env=env,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        sims = []
        try:
            args = start_sims(BUILD, tmp.name, MONITORS, sims)
        finally:
            procs += sims
        while not os.path.exists(agentx):
            time.sleep(0.05)
        service = subprocess.Popen([f"{BUILD}/bin/vemoswrd", "--listen", "127.0.0.1:0", "--interval",
                                    str(INTERVAL_MS), "--agentx", f"unix:{agentx}"] + args,
                                   env=dict(env, VEMOSWRD_INI=os.path.join(tmp.name, "none.ini")),
                                   stderr=subprocess.DEVNULL)
        procs.append(service)
        up = lambda out: len(re.findall(r"\.1\.10\.\d+ = INTEGER: 1$", out, re.M))
        deadline = time.monotonic() + 30
        while up(walk("snmpwalk", port, TABLE, env)[1]) < MONITORS and time.monotonic() < deadline:
            time.sleep(0.2)
        time.sleep(2)

        ages = lambda out: [int(v) for v in re.findall(r"\.1\.16\.\d+ = Gauge32: (\d+)$", out, re.M)]
        results = {}
        cpu0, wall0 = cpu_seconds(service.pid), time.monotonic()
        worst_age = 0
        for tool in ("snmpwalk", "snmpbulkwalk"):
            latencies, values = [], 0
            for _ in range(WALKS):
                t, out = walk(tool, port, TABLE, env)
                latencies.append(t)
                values = out.count("\n")
                worst_age = max([worst_age] + ages(out))
            results[tool] = (latencies, values)
        wall = time.monotonic() - wall0
        cpu = cpu_seconds(service.pid) - cpu0
        system = [walk("snmpwalk", port, ".1.3.6.1.2.1.1", env) for _ in range(WALKS)]

        print(f"{MONITORS} monitors at {INTERVAL_MS} ms, {WALKS} walks of each kind, back to back")
        for tool, (latencies, values) in results.items():
            stats(f"{tool} of the monitor table", latencies, values)
        stats("snmpwalk of snmpd's own system group", [t for t, _ in system], system[0][1].count("\n"))
        print(f"CPU of vemoswrd while walked: {100 * cpu / wall:.1f} % of one core over {wall:.0f} s")
        print(f"oldest reading seen in any walk: {worst_age / 10:.1f} s (interval {INTERVAL_MS / 1000} s)")
    finally:
        for p in reversed(procs):
            p.send_signal(signal.SIGTERM)
        for p in procs:
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()


if __name__ == "__main__":
    main()
