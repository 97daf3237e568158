#!/usr/bin/env python3
"""Compares two folders of renders written by `code_path_test --write-references` (or
--write-wide-renders): for each render, the largest difference relative to the first folder's
peak, in dB, and whether the files are identical.

    tools/compare-renders.py OLD_DIR NEW_DIR
"""
import math
import os
import struct
import sys


def samples(path):
    data = open(path, 'rb').read()
    kind = 'd' if path.endswith('.f64') else 'f'
    return struct.unpack('<%d%s' % (len(data) // struct.calcsize(kind), kind), data)


def main(old_dir, new_dir):
    worst = -math.inf
    for name in sorted(os.listdir(old_dir)):
        old_path, new_path = os.path.join(old_dir, name), os.path.join(new_dir, name)
        if not os.path.exists(new_path):
            print(f'{name:32s} missing in {new_dir}')
            continue
        a, b = samples(old_path), samples(new_path)
        peak = max(abs(x) for x in a)
        largest = max(abs(x - y) for x, y in zip(a, b))
        if a == b:
            print(f'{name:32s} identical')
            continue
        ratio = largest / peak if peak > 0 else math.inf
        db = 20 * math.log10(ratio) if ratio > 0 else -math.inf
        worst = max(worst, db)
        print(f'{name:32s} largest difference {ratio:.3e} of peak ({db:.1f} dB)')
    print(f'largest of all: {worst:.1f} dB' if worst > -math.inf else 'all identical')


if __name__ == '__main__':
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
