"""Writes a settings file of random bytes (seeded) and the file a save of the heap line must give.

    mutated_settings.py SEED FILE EXPECTED HEAPLINE
Lines hold every byte value but CR and LF (NUL and 0x80-0xFF included), end in CR LF, LF or CR,
and the last one sometimes in nothing; one line in two files is a heap line in some letter case.
"""
import random
import sys

seed, path, expected_path, heap = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4].encode()
rng = random.Random(seed)
lines = []
for _ in range(rng.randint(3, 15)):
    line = bytes(b for b in (rng.randrange(256) for _ in range(rng.randint(0, 60))) if b not in (10, 13))
    lines.append(line)
if rng.random() < 0.5:
    lines.insert(rng.randrange(len(lines) + 1), rng.choice([b"-Xmx2g", b"-XMX300m", b"-xmx512m"]))
ends = [rng.choice([b"\r\n", b"\n", b"\r"]) for _ in lines]
if rng.random() < 0.5:
    ends[-1] = b""
with open(path, "wb") as out:
    out.write(b"".join(line + end for line, end in zip(lines, ends)))

for i, line in enumerate(lines):
    if line[:4].lower() == b"-xmx":
        lines[i] = heap
        break
else:
    lines.append(heap)
with open(expected_path, "wb") as out:
    out.write(b"".join(line + b"\r\n" for line in lines))
