#!/usr/bin/python3
"""Times python-can reading a candump log (the baseline for log_bench):
   python_can_read.py FILE.log"""
import sys
import time

import can

start = time.monotonic()
n = sum(1 for _ in can.CanutilsLogReader(sys.argv[1]))
s = time.monotonic() - start
print(f"python-can {can.__version__}: {n} frames in {s:.2f} s, {n / s / 1e6:.3f} M frames/s")
