#!/usr/bin/python3
# Weakens the resampler's exactness checks one at a time and reports which
# test catches each: apply one textual change, rebuild the native engine
# tests, run the margin tests (then the whole engine suite if they pass),
# restore the file. A change marked "(sound?)" keeps the fast path exact by
# the argument in image/resize/ExactKernels.cpp and may survive; every other one
# must be killed. Slow (a rebuild per change): run by hand, not by the test
# command.
#
#   tests/tools/kernel_mutations.py [INDEX ...]
import subprocess, sys, pathlib
root = pathlib.Path(__file__).resolve().parents[2]
S, A, Z = 'image/resize/ExactKernelsSse2.cpp', 'image/resize/ExactKernelsAvx2.cpp', 'image/resize/ExactKernelsAvx512.cpp'
R, P = 'image/resize/ExactKernels.cpp', 'image/resize/ResizePlan.cpp'
M = []
for f, w in ((S, 'mm'), (A, 'mm256'), (Z, 'mm512')):
    M += [
      (f, f'_{w}_set1_pd(0x1p-46)', f'_{w}_set1_pd(0x1p-54)', 'slope widening 2^-46 -> 2^-54'),
      (f, f'_{w}_set1_pd(0x1p-46)', f'_{w}_set1_pd(0x1p-70)', 'slope widening 2^-46 -> 2^-70'),
      (f, f'_{w}_set1_pd(0x1p-46)', f'_{w}_set1_pd(0x1p-52)', 'slope widening 2^-46 -> 2^-52 (sound?)'),
      (f, f'_{w}_set1_epi32(148)', f'_{w}_set1_epi32(150)', 'exponent limit 148 -> 150'),
      (f, f'_{w}_set1_epi32(148)', f'_{w}_set1_epi32(149)', 'exponent limit 148 -> 149 (sound?)'),
      (f, 'set1_epi32(28 - sumBits)', 'set1_epi32(30 - sumBits)', 'spread above 28-sumBits -> 30-sumBits'),
      (f, 'set1_epi32(28 - sumBits)', 'set1_epi32(29 - sumBits)', 'spread above 28-sumBits -> 29-sumBits (sound?)'),
      (f, 'set1_epi32(-28)', 'set1_epi32(-30)', 'spread below -28 -> -30'),
      (f, 'set1_pd(0x1.8p52)', 'set1_pd(0x1p52)', 'shifter 1.5*2^52 -> 2^52'),
    ]
M += [
  (S, '_mm_or_si128(_mm_cmpgt_epi32(eD, limit), _mm_cmpgt_epi32(eT, limit))', '_mm_cmpgt_epi32(eD, limit)', 'large: eD only'),
  (S, '_mm_or_si128(_mm_cmpgt_epi32(eD, limit), _mm_cmpgt_epi32(eT, limit))', '_mm_cmpgt_epi32(eT, limit)', 'large: eT only'),
  (A, '_mm256_or_si256(_mm256_cmpgt_epi32(eD, limit), _mm256_cmpgt_epi32(eT, limit))', '_mm256_cmpgt_epi32(eD, limit)', 'large: eD only'),
  (A, '_mm256_or_si256(_mm256_cmpgt_epi32(eD, limit), _mm256_cmpgt_epi32(eT, limit))', '_mm256_cmpgt_epi32(eT, limit)', 'large: eT only'),
  (Z, '_mm512_cmpgt_epi32_mask(eD, limit) | _mm512_cmpgt_epi32_mask(eT, limit)', '_mm512_cmpgt_epi32_mask(eD, limit)', 'large: eD only'),
  (Z, '_mm512_cmpgt_epi32_mask(eD, limit) | _mm512_cmpgt_epi32_mask(eT, limit)', '_mm512_cmpgt_epi32_mask(eT, limit)', 'large: eT only'),
  (S, 'unsure = _mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(wide, large)));', 'unsure = _mm_movemask_ps(_mm_castsi128_ps(large));', 'finals: spread check dropped'),
  (A, '_mm256_castsi256_ps(_mm256_or_si256(wide, large))', '_mm256_castsi256_ps(large)', 'finals: spread check dropped'),
  (Z, 'unsure = wide | large;', 'unsure = large;', 'finals: spread check dropped'),
  (S, 'listed = ListLanes(mask & ((1 << rest) - 1), i, unsure, listed);\n  }\n  return listed;\n}\n\n// v for', 'listed = ListLanes(mask & ((1 << rest) - 1) & ~(1 << (rest - 1)), i, unsure, listed);\n  }\n  return listed;\n}\n\n// v for', 'slopes tail: last lane never unsure'),
  (A, 'listed = ListLanes(mask & ((1 << rest) - 1), i, unsure, listed);\n  }\n  return listed;\n}\n\n// v for', 'listed = ListLanes(mask & ((1 << rest) - 1) & ~(1 << (rest - 1)), i, unsure, listed);\n  }\n  return listed;\n}\n\n// v for', 'slopes tail: last lane never unsure'),
  (Z, 'listed = ListLanes(mask & lanes, i, unsure, listed);\n  }\n  return listed;\n}\n\n// v for', 'listed = ListLanes(mask & lanes & 0x7FFF, i, unsure, listed);\n  }\n  return listed;\n}\n\n// v for', 'slopes: lane 15 never unsure'),
  (S, 'std::memcpy(out + i, &packed, static_cast<size_t>(rest));\n    listed = ListLanes(mask & ((1 << rest) - 1)', 'std::memcpy(out + i, &packed, static_cast<size_t>(rest));\n    listed = ListLanes(mask & ((1 << rest) - 1) & ~(1 << (rest - 1))', 'finals tail: last lane never unsure'),
  (A, 'std::memcpy(out + i, eight, static_cast<size_t>(rest));\n    listed = ListLanes(mask & ((1 << rest) - 1)', 'std::memcpy(out + i, eight, static_cast<size_t>(rest));\n    listed = ListLanes(mask & ((1 << rest) - 1) & ~(1 << (rest - 1))', 'finals tail: last lane never unsure'),
  (S, 'const __m128d marginLow = _mm_mul_pd(qLow, widening), marginHigh = _mm_mul_pd(qHigh, widening);', 'const __m128d marginLow = _mm_mul_pd(qLow, widening), marginHigh = _mm_mul_pd(qLow, widening);', 'slopes: high lanes use the low lanes margin'),
  (A, 'marginHigh = _mm256_mul_pd(qHigh, widening)', 'marginHigh = _mm256_mul_pd(qLow, widening)', 'slopes: high lanes use the low lanes margin'),
  (R, 'const int sumBits = BitLength(y + y0);', 'const int sumBits = BitLength(y - y0);', 'finals: bits of y - y0 for y + y0'),
  (R, 'if (!fast || sumBits > 28) {', 'if (!fast || sumBits > 30) {', 'finals: sums up to 30 bits on the fast path'),
  (R, '!(std::fabs(r) < 0x1p30)', '!(std::fabs(r) < 0x1p32)', 'checked final: |r| below 2^32'),
  (R, 'const double error2 = (s - sPart) + (negU - uPart);', 'const double error2 = (s - sPart);', 'checked final: second error term half dropped'),
  (R, 'if (plan.fast && plan.allSlopesExact) {', 'if (plan.fast) {', 'row values: short form without every slope exact'),
  (P, 'std::ldexp(static_cast<Extended>(1), 52 + grid)', 'std::ldexp(static_cast<Extended>(1), 60 + grid)', 'plan: slope exact below 2^(60 + grid)'),
  (P, 'std::ldexp(one, 51 + finestGrid)', 'std::ldexp(one, 60 + finestGrid)', 'plan: differences exact below 2^(60 + finestGrid)'),
]
sel = sys.argv[1:] and [int(a) for a in sys.argv[1:]] or range(len(M))
def sh(cmd): return subprocess.run(cmd, shell=True, cwd=root, capture_output=True, text=True, executable='/bin/bash')
for k in sel:
    f, old, new, what = M[k]
    p = root / f; text = p.read_text()
    assert text.count(old) == 1, (k, f, old, text.count(old))
    p.write_text(text.replace(old, new))
    try:
        b = sh('root=$PWD; source scripts/trees; build_tree native engine_tests')
        if b.returncode: print(f'{k}\t{f}\t{what}\tBUILD FAILED\n{b.stdout[-1500:]}{b.stderr[-1500:]}', flush=True); continue
        r = sh("build/native/tests/engine_tests --gtest_filter='*Margin*' --gtest_brief=1")
        if r.returncode == 0:
            r = sh("build/native/tests/engine_tests --gtest_brief=1")
        fails = sorted({l.split(']')[1].split(',')[0].split('(')[0].strip() for l in r.stdout.splitlines() if l.startswith('[  FAILED  ]') and 'ms)' in l})
        print(f'{k}\t{f}\t{what}\t' + ('KILLED by ' + '; '.join(fails) if r.returncode else 'SURVIVED'), flush=True)
    finally:
        p.write_text(text)
