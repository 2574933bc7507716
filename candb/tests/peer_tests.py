#!/usr/bin/python3
"""Korvane's signal decoding against canmatrix, a DBC tool nobody here wrote.

   peer_tests.py PATH/TO/Korvane SOURCE_DIR

The same databases and frames go through both: Korvane --export-signals on a document made from
a candump log, canmatrix's Frame.decode on the log's bytes. Signals, raw values, units and value
descriptions must be the same. canmatrix computes physical values in decimal arithmetic, so
Korvane's value must be, to the bit, raw x factor + offset in doubles of canmatrix's raw value,
factor and offset, and within rounding of canmatrix's own decimal result.

Exits 77 (skipped) when canmatrix is missing, 1 on the first difference, 0 when all agree."""

import csv
import os
import random
import struct
import subprocess
import sys
import tempfile

SKIP = 77

try:
    import canmatrix.formats
except ImportError:
    print("SKIPPED: canmatrix is not installed (Debian python3-canmatrix)")
    sys.exit(SKIP)

KORVANE = sys.argv[1]
SOURCE = sys.argv[2]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what)
    return condition


def random_database(rng):
    """Every kind of signal the reader knows, placed at random: both bit orders, signed and
    unsigned, 1 to 64 bits, fractional and negative factors, offsets, singles and doubles,
    value descriptions and a simple multiplexer."""
    lines = ['VERSION "peer"', "", "BU_: A B", ""]
    tail = []
    for m in range(40):
        extended = m % 4 == 3
        ident = rng.randrange(0x20000000) if extended else rng.randrange(0x800)
        written = ident | 0x80000000 if extended else ident
        size = rng.randint(1, 8)
        lines.append(f"BO_ {written} Msg{m}: {size} A")
        used = 0
        multiplexed = m % 5 == 0 and size >= 2
        if multiplexed:
            lines.append(' SG_ Mux M : 0|4@1+ (1,0) [0|15] "" B')
        for s in range(rng.randint(1, 6)):
            kind = rng.random()
            if kind < 0.1 and size >= 4:
                length, valtype = 32, 1
            elif kind < 0.15 and size == 8:
                length, valtype = 64, 2
            else:
                length, valtype = rng.randint(1, min(64, size * 8)), 0
            motorola = rng.random() < 0.5
            if motorola:
                # The most significant bit's place counting from the first byte's top bit.
                first = rng.randrange(size * 8 - length + 1)
                start = first // 8 * 8 + 7 - first % 8
            else:
                start = rng.randrange(size * 8 - length + 1)
            signed = valtype != 0 or rng.random() < 0.5
            factor = rng.choice(["1", "0.1", "0.25", "-0.5", "0.001", "3", "1E-3", "-1.5"])
            offset = rng.choice(["0", "-40", "0.5", "100", "-273.15"])
            mux = f" m{rng.randrange(4)}" if multiplexed and rng.random() < 0.6 else ""
            name = f"S{m}_{s}"
            lines.append(f" SG_ {name}{mux} : {start}|{length}@{0 if motorola else 1}"
                         f"{'-' if signed else '+'} ({factor},{offset}) [0|0] \"u{s}\" B")
            if valtype:
                tail.append(f"SIG_VALTYPE_ {written} {name} : {valtype};")
            elif length <= 8:
                pairs = " ".join(f'{v} "v{v}"' for v in range(0, 1 << min(length, 3)))
                tail.append(f"VAL_ {written} {name} {pairs} ;")
            used += 1
        lines.append("")
    return "\n".join(lines + tail) + "\n"


def frames_for(matrix, rng, count):
    """(identifier, extended, bytes) of every message, at its declared size, with bytes that
    reach every value, and a few frames no message describes."""
    frames = []
    for _ in range(count):
        frame = rng.choice(matrix.frames)
        data = bytes(rng.choice([0x00, 0xFF, rng.randrange(256)]) for _ in range(frame.size))
        frames.append((frame.arbitration_id.id, frame.arbitration_id.extended, data))
    frames.append((0x7FF, False, b"\x01"))
    return frames


def korvane_rows(db_path, frames, work):
    log = os.path.join(work, "frames.log")
    with open(log, "w") as f:
        for i, (ident, extended, data) in enumerate(frames):
            name = f"{ident:08X}" if extended else f"{ident:03X}"
            f.write(f"({1700000000 + i // 1000}.{i % 1000:06d}) can0 {name}#{data.hex().upper()}\n")
    doc = os.path.join(work, "frames.krv")
    out = os.path.join(work, "signals.csv")
    for args in ([KORVANE, "--convert", log, doc],
                 [KORVANE, "--export-signals", out, "--dbc", db_path, doc]):
        r = subprocess.run(args, capture_output=True, text=True)
        if r.returncode != 0:
            sys.exit(f"{' '.join(args)} failed: {r.stderr}")
    rows = {}
    with open(out, newline="") as f:
        for row in csv.DictReader(f):
            rows.setdefault(int(row["frame"]), {})[row["signal"]] = row
    return rows


def compare(db_path, frames, work):
    matrix = canmatrix.formats.loadp_flat(db_path)
    rows = korvane_rows(db_path, frames, work)
    compared = 0
    for i, (ident, extended, data) in enumerate(frames):
        frame = matrix.frame_by_id(canmatrix.ArbitrationId(ident, extended=extended))
        ours = rows.get(i, {})
        if frame is None:
            check(not ours, f"{db_path} frame {i}: Korvane decodes {ident:X}, canmatrix does not")
            continue
        theirs = frame.decode(bytearray(data))
        if not check(list(ours) == list(theirs),
                     f"{db_path} frame {i} ({ident:X}): signals {list(ours)} != {list(theirs)}"):
            continue
        for name, decoded in theirs.items():
            row = ours[name]
            signal = decoded.signal
            raw = decoded.raw_value
            if signal.is_float:
                # The raw column holds the float's own shortest text.
                fmt = "<f" if signal.size == 32 else "<d"
                ok = struct.unpack(fmt, struct.pack(fmt, float(row["raw"])))[0] == raw or \
                    (raw != raw and row["raw"].endswith("nan"))
            else:
                ok = int(row["raw"]) == raw
            check(ok, f"{db_path} frame {i} {name}: raw {row['raw']} != {raw}")
            value = float(row["value"])
            exact = float(raw) * float(signal.factor) + float(signal.offset)
            phys = float(decoded.phys_value)
            if exact != exact:
                check(value != value, f"{db_path} frame {i} {name}: value {row['value']} is not NaN")
            else:
                check(value == exact,
                      f"{db_path} frame {i} {name}: value {row['value']} != {exact!r} in doubles")
                check(abs(value - phys) <= 1e-12 * max(1.0, abs(phys)) or
                      (abs(value) == float("inf") and value == phys),
                      f"{db_path} frame {i} {name}: value {row['value']} far from canmatrix's {phys!r}")
            label = signal.values.get(raw, "") if not signal.is_float else ""
            check(row["label"] == label, f"{db_path} frame {i} {name}: label {row['label']!r} != {label!r}")
            check(row["unit"] == signal.unit, f"{db_path} frame {i} {name}: unit")
            compared += 1
    return compared


def main():
    rng = random.Random(2024)
    with tempfile.TemporaryDirectory() as work:
        generated = os.path.join(work, "random.dbc")
        with open(generated, "w") as f:
            f.write(random_database(rng))
        databases = [os.path.join(SOURCE, "examples", "demo.dbc"),
                     os.path.join(SOURCE, "app", "tests", "data", "signals.dbc"),
                     generated]
        for db in databases:
            matrix = canmatrix.formats.loadp_flat(db)
            frames = frames_for(matrix, rng, 3000)
            n = compare(db, frames, work)
            print(f"{os.path.basename(db)}: {len(frames)} frames, {n} values compared")
            check(n > 0, f"{db}: nothing compared")
            if failures:
                break
    if failures:
        print(f"{len(failures)} differences")
        return 1
    print("Korvane and canmatrix agree")
    return 0


sys.exit(main())
