#!/usr/bin/python3
"""Times python-can reading a candump log (the baseline for log_bench):
   python_can_read.py FILE.log"""
import sys
import time

import can

start, cpu = time.monotonic(), time.process_time()
n = sum(1 for _ in can.CanutilsLogReader(sys.argv[1]))
s, cpu = time.monotonic() - start, time.process_time() - cpu
print(f"python-can {can.__version__}: {n} frames, wall {s:.2f} s {n / s / 1e6:.3f} M frames/s"
      f" | cpu {cpu:.2f} s {n / cpu / 1e6:.3f} M frames/s")
