#!/usr/bin/python3
"""Prints the chi-square thresholds used by the uniformity test of the system random source.

Each row of the draw table is tested at a false-alarm rate of 1e-7, so the ten rows together
fail a correct generator about once in 10^6 runs (Bonferroni: 10 x 1e-7). The threshold for a row
with k accepted codes is the upper 1e-7 quantile of chi-square with k - 1 degrees of freedom.
Debian's python3-scipy:  tests/quality/chi2_thresholds.py
"""
from scipy.stats import chi2

ROW_FALSE_ALARM = 1e-7
ACCEPTED_COUNTS = [10, 52, 26, 62, 36, 36, 94, 68]

if __name__ == "__main__":
    print(f"false alarm per row {ROW_FALSE_ALARM:g}")
    for k in ACCEPTED_COUNTS:
        print(f"accepted {k:3d}  df {k - 1:3d}  threshold {chi2.isf(ROW_FALSE_ALARM, k - 1):8.3f}")
