#!/usr/bin/python3
"""Korvane's logs against tools nobody here wrote: can-utils (log2asc, asc2log) and python-can.

   peer_tests.py PATH/TO/Korvane [PATH/TO/live_capture]

With live_capture (a capture of the demo network through a driver host, saved as a document),
a log of a live capture goes through log2asc too. Exits 77 (skipped) when a peer tool is missing,
1 on the first difference, 0 when all agree."""

import os
import random
import shutil
import subprocess
import sys
import tempfile

SKIP = 77

try:
    import can
except ImportError:
    print("SKIPPED: python-can is not installed (Debian python3-can)")
    sys.exit(SKIP)
for tool in ("log2asc", "asc2log"):
    if shutil.which(tool) is None:
        print(f"SKIPPED: {tool} is not installed (Debian can-utils)")
        sys.exit(SKIP)

KORVANE = sys.argv[1]
LIVE_CAPTURE = sys.argv[2] if len(sys.argv) > 2 else None
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what)


def korvane_convert(src, dst):
    r = subprocess.run([KORVANE, "--convert", src, dst], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"Korvane --convert {src} {dst} failed: {r.stderr}")
    return r.stderr


def candump_frames(path):
    """(time in us, 'ID#DATA') of each frame line of a candump log, whatever follows the frame."""
    frames = []
    with open(path) as f:
        for line in f:
            words = line.split()
            if len(words) >= 3 and words[0].startswith("("):
                sec, usec = words[0][1:-1].split(".")
                frames.append((int(sec) * 1_000_000 + int(usec), words[2]))
    return frames


def relative(frames):
    first = frames[0][0] if frames else 0
    return [(t - first, token) for t, token in frames]


def message_key(m):
    data = b"" if m.is_remote_frame else bytes(m.data)
    return (m.arbitration_id, m.is_extended_id, m.is_remote_frame, m.dlc, data)


def messages(count, seed):
    rnd = random.Random(seed)
    out = []
    t = 1_700_000_000.0
    for _ in range(count):
        t += rnd.randrange(1, 2_000_000) / 1e6
        extended = rnd.random() < 0.3
        remote = rnd.random() < 0.1
        dlc = rnd.randrange(0, 9)
        ident = rnd.randrange(0, 1 << 29 if extended else 1 << 11)
        data = [] if remote else [rnd.randrange(256) for _ in range(dlc)]
        out.append(can.Message(timestamp=round(t, 6), arbitration_id=ident, is_extended_id=extended,
                               is_remote_frame=remote, dlc=dlc, data=data))
    return out


work = tempfile.mkdtemp(prefix="korvane-peer-")
try:
    def p(name):
        return os.path.join(work, name)

    # The capture: a candump log made here, taken in by Korvane and written back out.
    sent = messages(3000, 1)
    with open(p("in.log"), "w") as f:
        # On a capture's clock that started 5.25 s before the first frame.
        start = round(sent[0].timestamp * 1e6) - 5_250_000
        for m in sent:
            t = round(m.timestamp * 1e6) - start
            ident = f"{m.arbitration_id:08X}" if m.is_extended_id else f"{m.arbitration_id:03X}"
            if m.is_remote_frame:
                body = "R" + (str(m.dlc) if m.dlc else "")
            else:
                body = bytes(m.data).hex().upper()
            f.write(f"({t // 1_000_000:010d}.{t % 1_000_000:06d}) can0 {ident}#{body}\n")
    korvane_convert(p("in.log"), p("capture.krv"))
    korvane_convert(p("capture.krv"), p("k.log"))
    korvane_convert(p("capture.krv"), p("k.asc"))
    ours = candump_frames(p("k.log"))
    check(len(ours) == len(sent), f"Korvane's candump export has {len(ours)} of {len(sent)} frames")
    check(candump_frames(p("in.log")) == ours, "krv -> log does not give back the log it came from")

    # Document -> log -> document -> log: nothing changes.
    korvane_convert(p("k.log"), p("again.krv"))
    korvane_convert(p("again.krv"), p("again.log"))
    check(open(p("k.log")).read() == open(p("again.log")).read(), "krv -> log -> krv changed frames")

    # 1. Korvane's candump export, converted by log2asc, read by Korvane's ASC reader.
    subprocess.run(["log2asc", "-I", p("k.log"), "-O", p("peer.asc"), "can0"], check=True)
    korvane_convert(p("peer.asc"), p("from-peer-asc.log"))
    check(relative(candump_frames(p("from-peer-asc.log"))) == relative(ours),
          "log2asc's ASC of Korvane's candump export reads back different frames")

    # 2. Korvane's ASC export, converted back by asc2log, equals Korvane's candump export.
    subprocess.run(["asc2log", "-I", p("k.asc"), "-O", p("peer.log")], check=True,
                   capture_output=True)
    theirs = candump_frames(p("peer.log"))
    check(len(theirs) == len(ours) and
          all(a[1] == b[1] for a, b in zip(theirs, ours)),
          "asc2log's candump log of Korvane's ASC export differs frame for frame")
    check(relative(theirs) == relative(ours), "asc2log's times differ from Korvane's candump times")

    # 3. Logs written by python-can import equal to what was written (error and FD frames are
    #    counted and skipped).
    written = messages(2000, 2)
    noise = [can.Message(timestamp=written[10].timestamp, arbitration_id=0x80, is_error_frame=True,
                         is_extended_id=False),
             can.Message(timestamp=written[20].timestamp, arbitration_id=0x123, is_fd=True,
                         is_extended_id=False, data=list(range(12)))]
    stream = sorted(written + noise, key=lambda m: m.timestamp)
    # python-can's candump writer keeps no length for remote frames.
    candump_expected = [(m.arbitration_id, m.is_extended_id, m.is_remote_frame,
                         0 if m.is_remote_frame else m.dlc,
                         b"" if m.is_remote_frame else bytes(m.data)) for m in written]
    for name, writer_class, expected in (("pc.log", can.CanutilsLogWriter, candump_expected),
                                         ("pc.asc", can.ASCWriter, [message_key(m) for m in written])):
        writer = writer_class(p(name))
        for m in stream:
            writer.on_message_received(m)
        writer.stop()
        report = korvane_convert(p(name), p(name + ".krv"))
        check("2 lines were skipped" in report, f"{name}: skipped lines not reported: {report!r}")
        korvane_convert(p(name + ".krv"), p(name + ".back.log"))
        got = []
        for m in can.CanutilsLogReader(p(name + ".back.log")):
            got.append(message_key(m))
        check(got == expected, f"python-can's {name} imports different frames")
        times = [round(m.timestamp * 1e6) for m in can.CanutilsLogReader(p(name + ".back.log"))]
        first = written[0].timestamp
        want = [round((m.timestamp - first) * 1e6) for m in written]
        check(all(abs(a - b) <= 1 for a, b in zip([t - times[0] for t in times], want)),
              f"python-can's {name} imports different times")

    # 4. python-can reads Korvane's logs back to the same frames.
    sent_keys = [message_key(m) for m in sent]
    check([message_key(m) for m in can.CanutilsLogReader(p("k.log"))] == sent_keys,
          "python-can reads other frames from Korvane's candump log")
    asc_read = list(can.ASCReader(p("k.asc")))
    check([message_key(m) for m in asc_read] == sent_keys,
          "python-can reads other frames from Korvane's ASC log")
    asc_times = [round(m.timestamp * 1e6) for m in asc_read]
    check(asc_times == [t for t, _ in ours], "python-can reads other times from Korvane's ASC log")

    # 5. A log of a live capture carries times of day, so log2asc (which restarts its clock on
    #    every frame while the seconds are 0) writes one header and reads the times right.
    if LIVE_CAPTURE:
        r = subprocess.run([LIVE_CAPTURE, p("live.krv"), "300"], capture_output=True, text=True)
        if r.returncode != 0:
            sys.exit(f"live_capture failed: {r.stderr}")
        korvane_convert(p("live.krv"), p("live.log"))
        live = candump_frames(p("live.log"))
        check(len(live) >= 300, f"the live capture's log has {len(live)} frames")
        check(live and live[0][0] >= 1_000_000_000 * 1_000_000,
              "the live capture's log does not carry times of day")
        check(all(a[0] <= b[0] for a, b in zip(live, live[1:])),
              "the live capture's log goes back in time")
        subprocess.run(["log2asc", "-I", p("live.log"), "-O", p("live-peer.asc"), "can0"],
                       check=True)
        peer_asc = open(p("live-peer.asc")).read()
        check(peer_asc.count("date ") == 1 and peer_asc.count("base hex") == 1,
              f"log2asc wrote {peer_asc.count('date ')} headers for one live capture")
        korvane_convert(p("live-peer.asc"), p("live-back.log"))
        check(relative(candump_frames(p("live-back.log"))) == relative(live),
              "log2asc's ASC of a live capture reads back other frames or times")
        read_back = list(can.ASCReader(p("live-peer.asc")))
        check([round(m.timestamp * 1e6) for m in read_back] == [t for t, _ in relative(live)],
              "python-can reads other times from log2asc's ASC of a live capture")
finally:
    if not failures: shutil.rmtree(work, ignore_errors=True)

if failures:
    sys.exit(1)
print("all peer checks agree")
