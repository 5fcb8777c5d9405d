#!/usr/bin/env python3
"""hvctl metrics --output FILE against the degraded preset, read back with
the Prometheus client's own text parser."""
import os
import subprocess
import sys
import tempfile

from prometheus_client.parser import text_string_to_metric_families

hvctl, halvsim, preload = sys.argv[1:4]
with tempfile.TemporaryDirectory() as scratch:
    state = os.path.join(scratch, "state")
    subprocess.run([halvsim, "init", "-p", "degraded", state], check=True)
    env = dict(os.environ, HALVSIM_STATE=state, LD_PRELOAD=preload, LANG="C")
    out = os.path.join(scratch, "hvapi.prom")
    subprocess.run([hvctl, "metrics", "--output", out], env=env, check=True)
    with open(out) as f:
        text = f.read()
    assert os.listdir(scratch).count("hvapi.prom") == 1
    assert not [n for n in os.listdir(scratch) if ".tmp." in n], "temp left"
    samples = {}
    for family in text_string_to_metric_families(text):
        assert family.type == "gauge", family.name
        for s in family.samples:
            samples[(s.name, tuple(sorted(s.labels.items())))] = s.value

    def value(name, **labels):
        return samples[(name, tuple(sorted(labels.items())))]

    assert value("hvapi_adapter_up", adapter="0") == 1
    assert value("hvapi_pdrv_failed", adapter="0", device="0:1") == 1
    assert value("hvapi_pdrv_failed", adapter="0", device="0:0") == 0
    assert value("hvapi_pdrv_state", adapter="0", device="1:0") == 6
    assert value("hvapi_pdrv_medium_errors", adapter="0", device="0:1") == 7
    assert value("hvapi_ldrv_degraded", adapter="0", ld="0", raid="5") == 1
    # Standard output gives the same text when no file is named.
    stdout = subprocess.run([hvctl, "metrics"], env=env, check=True,
                            capture_output=True, text=True).stdout
    assert stdout == text
print("metrics ok")
