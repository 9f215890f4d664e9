#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the session target's seeds (corpus/session/) from real exchanges: runs
vemoswr-sim with a transcript and vemoswr-cli against it, then turns the replies each
command line received into the target's input (operation, model, parameter, then each
reply after the identification as a length byte and its bytes).

    tests/fuzz/make_seeds.py BIN_DIR      (BIN_DIR holds vemoswr-sim and vemoswr-cli)
"""
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

# Command line -> (file name, operation, parameter) as FuzzSession.cpp numbers them.
RUNS = [
    (["identify"], "identify", 0, 0),
    (["read", "-n", "1"], "reading", 1, 0),
    (["fullscale"], "fullscale", 5, 0),
    (["fullscale", "100"], "set-fullscale", 6, 200),
    (["eeprom", "3"], "eeprom-read", 7, 3),
    (["eeprom", "3", "5"], "eeprom-write", 8, 3),
    (["settings"], "settings", 32, 0),
    (["set", "latch_alarm=1"], "set-latch", 23, 1),
    (["set", "vswr_level=5"], "set-vswr-level", 26, 5),
    (["set", "high_power_level=50", "high_power_enable=1"], "set-high-power", 28, 0xB2),
    (["set", "ptt_enable=1", "ptt_delay=1"], "set-ptt", 25, 0x11),
    (["set", "fwd_dac_gain=2"], "set-dac-gains", 30, 2),
    (["reset-alarm"], "reset-alarm", 31, 0),
    (["calibrate", "zero"], "calibrate-zero", 33, 3),
    (["calibrate", "forward"], "calibrate-forward", 33, 1),
]


def replies(transcript):
    """The replies of each client's connection, in order."""
    runs, current = [], []
    with open(transcript) as f:
        for line in f:
            event = json.loads(line)
            if event["dir"] == "tx":
                current.append(bytes.fromhex(event["hex"]))
            elif event["dir"] == "event" and event["text"] == "client closed":
                runs.append(current)
                current = []
    return runs


def main():
    bin_dir = sys.argv[1]
    out = os.path.join(HERE, "corpus", "session")
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        transcript = os.path.join(work, "t.jsonl")
        sim = subprocess.Popen([os.path.join(bin_dir, "vemoswr-sim"), "--noise", "0",
                                "--transcript", transcript], stdout=subprocess.PIPE, text=True)
        device = sim.stdout.readline().strip()
        env = dict(os.environ, HOME=work)
        for args, _, _, _ in RUNS:
            subprocess.run([os.path.join(bin_dir, "vemoswr-cli"), "--device", device] + args,
                           input="o\n", env=env, capture_output=True, text=True, timeout=30)
        sim.terminate()
        sim.wait()
        for (_, name, op, param), got in zip(RUNS, replies(transcript)):
            # The identification itself is the target's own; the identify run fuzzes it.
            chunks = got if op == 0 else got[1:]
            data = bytes([op, 0, param]) + b"".join(bytes([len(c)]) + c for c in chunks)
            with open(os.path.join(out, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
