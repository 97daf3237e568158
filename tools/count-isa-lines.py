#!/usr/bin/env python3
# Counts the instruction-set-specific lines of the engines (borealis/, kestrel/, editors left
# out): lines inside #if blocks conditioned on an instruction-set macro, plus lines outside such
# blocks that hold an intrinsic, a vector type or a target attribute.
#   tools/count-isa-lines.py [CHECKOUT]      (default: this checkout)
import os, re, sys
root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
isa_cond = re.compile(r'(__AVX|__SSE|__FMA__|ORV_HAS_WIDE_PATH|ORV_SIMD_HAS_AVX2_FMA|ORV_WIDE)')
intrin = re.compile(r'(_mm_|_mm256_|__m128|__m256|target\(|immintrin|emmintrin)')
per_file = {}
for d in ('borealis', 'kestrel'):
    for dp, dn, fn in os.walk(os.path.join(root, d)):
        if '/editor' in dp: continue
        for f in fn:
            if not f.endswith(('.h', '.cpp')): continue
            p = os.path.join(dp, f)
            lines = open(p, errors='replace').read().split('\n')
            stack = []  # True where the block is ISA-conditioned
            n = 0
            for line in lines:
                s = line.strip()
                if s.startswith('#if'):
                    stack.append(bool(isa_cond.search(s)) or (stack[-1] if stack else False))
                    n += 1 if stack[-1] else 0
                    continue
                if s.startswith('#endif'):
                    inside = stack.pop() if stack else False
                    n += 1 if inside else 0
                    continue
                if stack and stack[-1]: n += 1
                elif intrin.search(line): n += 1
            if n: per_file[os.path.relpath(p, root)] = n
total = sum(per_file.values())
for k, v in sorted(per_file.items(), key=lambda x: -x[1]): print(f'{v:6d} {k}')
print(f'{total:6d} total')
