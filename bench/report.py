#!/usr/bin/env python3
"""Turns the lines of cardindex_bench (`name N value unit ratio`) into the results table.

  report.py RESULTS_FILE

Adds the growth figures (the time at a million entries divided by the time at a hundred thousand),
prints a table with each figure's target and whether it holds, then every figure again as one
machine-readable line. The targets are those of the figures at the sizes they are set for.
"""

import sys

# figure: [(what the target bounds, the bound, "max" or "min", the sizes it is set for, its text)]
TARGETS = {
    "load": [("ratio", 5, "max", [100000], "<= 5 x floor")],
    "save": [("ratio", 1.5, "max", [100000, 1000000], "<= 1.5 x floor")],
    "save_checked": [("ratio", 1.5, "max", [100000, 1000000], "<= 1.5 x floor")],
    "search_nomatch": [("value", 2, "max", [100000], "<= 2 ms"), ("value", 0.5, "max", [1000000], "<= 0.5 ms")],
    "search_late": [("value", 2, "max", [100000], "<= 2 ms"), ("value", 0.5, "max", [1000000], "<= 0.5 ms")],
    "sort": [("value", 150, "max", [100000], "<= 150 ms")],
    "startup": [("ratio", 3, "max", [100000], "<= 3 x empty"), ("ratio", 25, "max", [1000000], "<= 25 x empty")],
    "startup_saved": [("ratio", 2.5, "max", [100000], "<= 2.5 x empty")],
    "memory": [("ratio", 3, "max", [100000], "<= 3 x file"), ("ratio", 2.5, "max", [1000000], "<= 2.5 x file")],
    "peer": [("ratio", 3, "min", [100000, 1000000], ">= 3 x faster")],
}
GROWN = ["load", "save", "search_nomatch", "search_late", "sort", "startup"]
for name in GROWN:
    TARGETS["growth_" + name] = [("value", 10 if name == "sort" else 12, "max", [1000000],
                                  "<= 10" if name == "sort" else "<= 12")]

ORDER = ["load_floor", "load", "save_floor", "save", "save_checked", "search_nomatch", "search_late", "search_repaint",
         "sort", "startup_empty", "startup", "startup_saved", "memory", "peer_abook", "peer"] + ["growth_" + n for n in GROWN]
NOTES = {
    "load_floor": "read + memchr",
    "save_floor": "write + fsync + rename",
    "search_repaint": "after a keystroke",
    "startup_empty": "empty file",
    "startup_saved": "file as the program saves it",
    "memory": "peak RSS above empty",
    "peer_abook": "abook --convert",
    "peer": "our load + save",
}


def main():
    figures = {}
    for line in open(sys.argv[1], encoding="utf-8"):
        words = line.split()
        if len(words) == 5:
            name, count, value, unit, ratio = words
            figures[(name, int(count))] = (float(value), unit, float(ratio))
    for name in GROWN:
        small, large = figures.get((name, 100000)), figures.get((name, 1000000))
        if small and large and small[0] > 0:
            growth = large[0] / small[0]
            figures[("growth_" + name, 1000000)] = (growth, "x", growth)

    sizes = sorted({count for _, count in figures})
    missed = []
    print("%-22s %8s %10s %-4s %7s  %-15s %-6s %s" % ("figure", "N", "value", "unit", "ratio", "target", "", "note"))
    for count in sizes:
        for name in ORDER:
            if (name, count) not in figures:
                continue
            value, unit, ratio = figures[(name, count)]
            target, verdict = "", ""
            if name in TARGETS:
                # The target set for this size, or else the first one, shown without a verdict.
                chosen = [t for t in TARGETS[name] if count in t[3]] or TARGETS[name][:1]
                what, bound, sense, counts, text = chosen[0]
                target = text
                if count in counts:
                    measured = ratio if what == "ratio" else value
                    holds = measured <= bound if sense == "max" else measured >= bound
                    verdict = "ok" if holds else "MISSED"
                    if not holds:
                        missed.append("%s at %d" % (name, count))
            print("%-22s %8d %10.3f %-4s %7.2f  %-15s %-6s %s"
                  % (name, count, value, unit, ratio, target, verdict, NOTES.get(name, "")))
        print()
    print("targets missed: " + (", ".join(missed) if missed else "none"))
    print()
    for count in sizes:
        for name in ORDER:
            if (name, count) in figures:
                value, unit, ratio = figures[(name, count)]
                print("%s %d %.4g %s %.3g" % (name, count, value, unit, ratio))


if __name__ == "__main__":
    main()
