#!/usr/bin/env python3
"""Prints line and branch coverage per source folder from a gcovr JSON summary.

Usage: coverage_by_folder.py SUMMARY.json FOLDER...
"""
import json
import sys


def main():
    summary_path, folders = sys.argv[1], sys.argv[2:]
    with open(summary_path, encoding="utf-8") as f:
        files = json.load(f)["files"]
    totals = {d: [0, 0, 0, 0] for d in folders + ["all"]}
    for entry in files:
        top = entry["filename"].split("/", 1)[0]
        for key in (top, "all"):
            if key in totals:
                t = totals[key]
                t[0] += entry["line_covered"]
                t[1] += entry["line_total"]
                t[2] += entry["branch_covered"]
                t[3] += entry["branch_total"]

    def pct(a, b):
        return f"{100.0 * a / b:6.1f} %" if b else "     - "

    print(f"{'folder':<10}{'lines':>18}{'line cov':>10}{'branches':>18}{'branch cov':>12}")
    for d, (lc, lt, bc, bt) in totals.items():
        print(f"{d:<10}{lc:>8} / {lt:<7}{pct(lc, lt):>10}{bc:>8} / {bt:<7}{pct(bc, bt):>12}")


if __name__ == "__main__":
    main()
