#!/usr/bin/env python3
"""Prints the chi-square thresholds used by the uniformity test of the system random source.

Each row of the draw table is tested at a false-alarm rate of 1e-7, so the ten rows together
fail a correct generator about once in 10^6 runs (Bonferroni: 10 x 1e-7). The threshold for a row
with k accepted codes is the upper 1e-7 quantile of chi-square with k - 1 degrees of freedom,
found by bisection on the regularized upper incomplete gamma function Q(df/2, x/2).
Standard library only, so anyone can rerun it:  python3 tests/quality/chi2_thresholds.py
"""
import math

ROW_FALSE_ALARM = 1e-7
ACCEPTED_COUNTS = [10, 52, 26, 62, 36, 36, 94, 68]


def upper_gamma_q(a, x):
    """Regularized upper incomplete gamma Q(a, x) (series / Lentz continued fraction)."""
    if x <= 0:
        return 1.0
    log_prefix = a * math.log(x) - x - math.lgamma(a)
    if x < a + 1:
        term = total = 1.0 / a
        n = a
        while abs(term) > abs(total) * 1e-17:
            n += 1
            term *= x / n
            total += term
        return 1.0 - total * math.exp(log_prefix)
    tiny = 1e-300
    b = x + 1 - a
    c = 1 / tiny
    d = 1 / b
    h = d
    i = 1
    while True:
        an = -i * (i - a)
        b += 2
        d = an * d + b
        d = tiny if abs(d) < tiny else d
        c = b + an / c
        c = tiny if abs(c) < tiny else c
        d = 1 / d
        delta = d * c
        h *= delta
        if abs(delta - 1) < 1e-16:
            return math.exp(log_prefix) * h
        i += 1


def threshold(df, alpha):
    lo, hi = 0.0, 10.0 * df + 200
    for _ in range(200):
        mid = (lo + hi) / 2
        if upper_gamma_q(df / 2, mid / 2) > alpha:
            lo = mid
        else:
            hi = mid
    return hi


if __name__ == "__main__":
    print(f"false alarm per row {ROW_FALSE_ALARM:g}")
    for k in ACCEPTED_COUNTS:
        print(f"accepted {k:3d}  df {k - 1:3d}  threshold {threshold(k - 1, ROW_FALSE_ALARM):8.3f}")
