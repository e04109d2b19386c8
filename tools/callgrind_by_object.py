#!/usr/bin/env python3
"""Sums a callgrind profile's self cost (first event, instructions) by object file.

Usage: callgrind_by_object.py CALLGRIND_OUT
Prints "<instructions> <object>" per object, largest first. Only self cost is summed: the cost
line that follows a calls= line is the callee's inclusive cost and is skipped, so nothing is
counted twice and each instruction belongs to the object that executed it.
"""
import re
import sys
from collections import defaultdict


def main(path):
    names = {}  # compressed id -> object name
    totals = defaultdict(int)
    current = "?"
    skip_next_cost = False
    with open(path, encoding="utf-8", errors="replace") as profile:
        for line in profile:
            if line.startswith("ob="):
                match = re.match(r"ob=\((\d+)\)\s*(.*)", line.strip())
                if match:
                    if match.group(2):
                        names[match.group(1)] = match.group(2)
                    current = names.get(match.group(1), "?")
                else:
                    current = line[3:].strip()
                continue
            if line.startswith("cob="):
                # Object names are compressed in one table shared by ob= and cob=.
                match = re.match(r"cob=\((\d+)\)\s*(.*)", line.strip())
                if match and match.group(2):
                    names[match.group(1)] = match.group(2)
                continue
            if line.startswith("calls="):
                skip_next_cost = True
                continue
            if line[:1].isdigit() or line[:1] in "+-*":
                if skip_next_cost:
                    skip_next_cost = False
                    continue
                fields = line.split()
                if len(fields) >= 2:
                    totals[current] += int(fields[1])
    for name, cost in sorted(totals.items(), key=lambda item: -item[1]):
        print(cost, name)


if __name__ == "__main__":
    main(sys.argv[1])
