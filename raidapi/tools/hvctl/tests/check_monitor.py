#!/usr/bin/env python3
"""hvctl monitor sees a disk failed through halvsim, runs its event command
and ends on SIGTERM."""
import os
import signal
import subprocess
import sys
import tempfile

hvctl, halvsim, preload = sys.argv[1:4]
with tempfile.TemporaryDirectory() as scratch:
    state = os.path.join(scratch, "state")
    events = os.path.join(scratch, "events")
    subprocess.run([halvsim, "init", "-p", "raid5", state], check=True)
    env = dict(os.environ, HALVSIM_STATE=state, LD_PRELOAD=preload, LANG="C")
    monitor = subprocess.Popen(
        [hvctl, "monitor", "--interval", "0.2", "--command",
         'echo "$HVCTL_EVENT" >> ' + events],
        env=env, stdout=subprocess.PIPE, text=True)
    assert monitor.stdout.readline().startswith("monitoring")
    subprocess.run([halvsim, "fail", state, "0:1"], check=True)
    seen = []
    while not any(l.startswith("ld-degraded") for l in seen):
        line = monitor.stdout.readline()
        assert line, "monitor ended early: %r" % seen
        seen.append(line.strip())
    assert "device-failed adapter=0 device=0:1 state=failed" in seen, seen
    monitor.send_signal(signal.SIGTERM)
    assert monitor.wait() == 0
    with open(events) as f:
        assert "device-failed adapter=0 device=0:1 state=failed\n" in f.read()
print("monitor ok")
