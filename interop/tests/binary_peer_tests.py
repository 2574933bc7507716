#!/usr/bin/python3
"""Korvane's BLF logs and pcap captures against tools nobody here wrote: python-can (BLFWriter,
BLFReader) and Wireshark's tshark and editcap.

   binary_peer_tests.py PATH/TO/Korvane

Exits 77 (skipped) when a peer tool is missing, 1 on the first difference, 0 when all agree."""

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
for tool in ("tshark", "editcap"):
    if shutil.which(tool) is None:
        print(f"SKIPPED: {tool} is not installed (Debian tshark)")
        sys.exit(SKIP)

KORVANE = sys.argv[1]
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
    """(time in us, 'ID#DATA') of each frame line of a candump log."""
    frames = []
    with open(path) as f:
        for line in f:
            words = line.split()
            if len(words) >= 3 and words[0].startswith("("):
                sec, usec = words[0][1:-1].split(".")
                frames.append((int(sec) * 1_000_000 + int(usec), words[2]))
    return frames


def relative(times):
    return [t - times[0] for t in times] if times else []


def message_key(m):
    data = b"" if m.is_remote_frame else bytes(m.data)
    return (m.arbitration_id, m.is_extended_id, m.is_remote_frame, m.dlc, data)


def candump_key(token):
    """message_key of a candump 'ID#DATA' token as Korvane writes it."""
    ident, body = token.split("#")
    extended = len(ident) == 8
    if body.startswith("R"):
        return (int(ident, 16), extended, True, int(body[1:] or "0"), b"")
    data = bytes.fromhex(body)
    return (int(ident, 16), extended, False, len(data), data)


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


def candump_line(t, m):
    """A candump log line of message `m` at `t` microseconds."""
    ident = f"{m.arbitration_id:08X}" if m.is_extended_id else f"{m.arbitration_id:03X}"
    body = ("R" + (str(m.dlc) if m.dlc else "")) if m.is_remote_frame else \
        bytes(m.data).hex().upper()
    return f"({t // 1_000_000:010d}.{t % 1_000_000:06d}) can0 {ident}#{body}\n"


def tshark_frames(path):
    """message_key and time in us of each CAN frame tshark finds, with its error flag."""
    r = subprocess.run(["tshark", "-r", path, "-T", "fields", "-E", "separator=;",
                        "-e", "frame.time_epoch", "-e", "can.id", "-e", "can.flags.xtd",
                        "-e", "can.flags.rtr", "-e", "can.flags.err", "-e", "can.len",
                        "-e", "data.data"], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"tshark -r {path} failed: {r.stderr}")
    out = []
    for line in r.stdout.splitlines():
        epoch, ident, xtd, rtr, err, length, data = line.split(";")
        sec, _, frac = epoch.partition(".")
        us = int(sec) * 1_000_000 + int((frac + "000000")[:6])
        flag = lambda v: v in ("1", "True")
        raw = b"" if flag(rtr) else bytes.fromhex(data.replace(":", ""))
        out.append(((int(ident, 0), flag(xtd), flag(rtr), int(length), raw), us, flag(err)))
    return out


def write_blf(path, stream, compression_level=-1):
    writer = can.BLFWriter(path, compression_level=compression_level)
    for m in stream:
        writer.on_message_received(m)
    writer.stop()


work = tempfile.mkdtemp(prefix="korvane-binary-peer-")
try:
    def p(name):
        return os.path.join(work, name)

    # 1. BLF logs written by python-can, deflated and stored, import equal to what was written,
    #    times to the microsecond; an error frame and an FD frame are counted and skipped.
    written = messages(3000, 3)
    noise = [can.Message(timestamp=written[10].timestamp, arbitration_id=0x80, is_error_frame=True,
                         is_extended_id=False),
             can.Message(timestamp=written[20].timestamp, arbitration_id=0x123, is_fd=True,
                         is_extended_id=False, data=list(range(12)))]
    stream = sorted(written + noise, key=lambda m: m.timestamp)
    first = written[0].timestamp
    # python-can stores each time as whole nanoseconds after the first message.
    want_times = [round(int((m.timestamp - first) * 1e9) / 1000) for m in written]
    want = [message_key(m) for m in written]
    for name, level in (("pc.blf", -1), ("pc-stored.blf", 0)):
        write_blf(p(name), stream, level)
        report = korvane_convert(p(name), p(name + ".log"))
        check("2 records were skipped" in report, f"{name}: skipped records not reported: "
                                                  f"{report!r}")
        got = candump_frames(p(name + ".log"))
        check([candump_key(tok) for _, tok in got] == want, f"python-can's {name} imports "
                                                            "different frames")
        check(relative([t for t, _ in got]) == want_times,
              f"python-can's {name} imports different times")

    # 2. Korvane's own capture, exported as BLF and pcap.
    sent = messages(3000, 1)
    with open(p("in.log"), "w") as f:
        start = round(sent[0].timestamp * 1e6) - 5_250_000
        for m in sent:
            f.write(candump_line(round(m.timestamp * 1e6) - start, m))
    korvane_convert(p("in.log"), p("capture.krv"))
    korvane_convert(p("capture.krv"), p("k.log"))
    korvane_convert(p("capture.krv"), p("k.blf"))
    korvane_convert(p("capture.krv"), p("k.pcap"))
    ours = candump_frames(p("k.log"))
    sent_keys = [message_key(m) for m in sent]
    our_times = [t for t, _ in ours]

    # python-can reads Korvane's BLF back to the same frames and times.
    reader = can.BLFReader(p("k.blf"))
    read = list(reader)
    check([message_key(m) for m in read] == sent_keys,
          "python-can reads other frames from Korvane's BLF log")
    check([round((m.timestamp - reader.start_timestamp) * 1e6) for m in read] == our_times,
          "python-can reads other times from Korvane's BLF log")
    # So does Wireshark's own BLF reader.
    check([key for key, _, _ in tshark_frames(p("k.blf"))] == sent_keys,
          "tshark reads other frames from Korvane's BLF log")

    # tshark reads Korvane's pcap with every identifier, flag, length and byte right.
    theirs = tshark_frames(p("k.pcap"))
    check([key for key, _, _ in theirs] == sent_keys, "tshark reads other frames from Korvane's "
                                                     "pcap")
    check([us for _, us, _ in theirs] == our_times, "tshark reads other times from Korvane's pcap")
    check(not any(err for _, _, err in theirs), "tshark sees error frames in Korvane's pcap")

    # A pcapng made of it by editcap, and a pcap made of that again, import equal.
    subprocess.run(["editcap", "-F", "pcapng", p("k.pcap"), p("k.pcapng")], check=True)
    subprocess.run(["editcap", "-F", "pcap", p("k.pcapng"), p("again.pcap")], check=True)
    for name in ("k.pcapng", "again.pcap"):
        korvane_convert(p(name), p(name + ".log"))
        check(candump_frames(p(name + ".log")) == ours, f"editcap's {name} imports different frames")
    # The BLF log's header dates it with the export (the capture told no time of day), which its
    # import takes for the time of day at the capture's zero, as with an ASC log's date.
    korvane_convert(p("k.blf"), p("k.blf.log"))
    again = candump_frames(p("k.blf.log"))
    check([tok for _, tok in again] == [tok for _, tok in ours] and
          relative([t for t, _ in again]) == relative(our_times),
          "Korvane's BLF log imports different frames")

    # 3. Captures tshark writes itself (of python-can's BLF log, as pcapng and as pcap) import
    #    equal to what python-can wrote; the FD frame is skipped (tshark leaves out the error
    #    frame, and writes the FD frame without its flag).
    subprocess.run(["tshark", "-r", p("pc.blf"), "-F", "pcapng", "-w", p("ts.pcapng")], check=True,
                   capture_output=True)
    subprocess.run(["editcap", "-F", "pcap", p("ts.pcapng"), p("ts.pcap")], check=True)
    for name in ("ts.pcapng", "ts.pcap"):
        report = korvane_convert(p(name), p(name + ".log"))
        check("1: a CAN FD frame" in report, f"{name}: the FD frame not reported: {report!r}")
        got = candump_frames(p(name + ".log"))
        check([candump_key(tok) for _, tok in got] == want, f"tshark's {name} imports different "
                                                            "frames")
        times = relative([t for t, _ in got])
        check(len(times) == len(want_times) and
              all(abs(a - b) <= 1 for a, b in zip(times, want_times)),
              f"tshark's {name} imports different times")

    # 4. Times of day: a candump log on a wall clock goes through a document into BLF and pcap,
    #    and python-can and tshark read its times of day back to the microsecond. python-can's
    #    BLF log imports with its own (its header keeps the start to the nearest millisecond).
    day_times = [round(m.timestamp * 1e6) for m in sent]
    with open(p("day.log"), "w") as f:
        for t, m in zip(day_times, sent):
            f.write(candump_line(t, m))
    korvane_convert(p("day.log"), p("day.krv"))
    korvane_convert(p("day.krv"), p("day.blf"))
    korvane_convert(p("day.krv"), p("day.pcap"))
    check([round(m.timestamp * 1e6) for m in can.BLFReader(p("day.blf"))] == day_times,
          "python-can reads other times of day from Korvane's BLF log")
    check([us for _, us, _ in tshark_frames(p("day.pcap"))] == day_times,
          "tshark reads other times of day from Korvane's pcap")
    got = candump_frames(p("pc.blf.log"))
    check(len(got) == len(written) and
          all(abs(t - round(m.timestamp * 1e6)) <= 501 for (t, _), m in zip(got, written)),
          "python-can's BLF log imports other times of day")
finally:
    if not failures:
        shutil.rmtree(work, ignore_errors=True)

if failures:
    sys.exit(1)
print("all binary log peer checks agree")
