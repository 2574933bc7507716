#!/usr/bin/python3
"""Times python-can reading a candump or BLF log (the baseline for log_bench and
binary_log_bench):
   python_can_read.py FILE.log|FILE.blf"""
import sys
import time

import can

reader = can.BLFReader if sys.argv[1].lower().endswith(".blf") else can.CanutilsLogReader
start, cpu = time.monotonic(), time.process_time()
n = sum(1 for _ in reader(sys.argv[1]))
s, cpu = time.monotonic() - start, time.process_time() - cpu
print(f"python-can {can.__version__}: {n} frames, wall {s:.2f} s {n / s / 1e6:.3f} M frames/s"
      f" | cpu {cpu:.2f} s {n / cpu / 1e6:.3f} M frames/s")
