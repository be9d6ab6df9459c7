"""Exit status, wall time and peak memory of every lying-controller case
(tests/e2e/test_lying_dc.py), for one or more builds side by side:

    sudo python3 bench/lying_dc_figures.py OLD/talvex NEW/talvex [NEW/talvex.exe]

Each binary runs the whole suite (its failures are expected for an old
build and not shown); a Windows build needs TALVEX_WINEPREFIX. Prints a
Markdown table: one row per case, "exit, seconds, MB" per binary.

Standard library only.
"""

import json
import os
import subprocess
import sys
import tempfile

E2E = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "e2e")


def figures(binary):
    with tempfile.NamedTemporaryFile(suffix=".jsonl") as found:
        env = dict(os.environ, TALVEX_BINARY=binary, TALVEX_FIGURES=found.name)
        subprocess.run([sys.executable, "-m", "unittest", "test_lying_dc"], cwd=E2E,
                       env=env, capture_output=True)
        rows = [json.loads(line) for line in open(found.name, encoding="utf-8")]
    return {row["case"]: row for row in rows}


def main():
    binaries = sys.argv[1:]
    if not binaries:
        sys.exit(__doc__)
    columns = [figures(binary) for binary in binaries]
    cases = []
    for column in columns:
        cases += [(row["item"], name) for name, row in column.items()
                  if (row["item"], name) not in cases]
    print("| item | case | " + " | ".join(binaries) + " |")
    print("|---|---|" + "---|" * len(binaries))
    for item, name in sorted(cases):
        cells = []
        for column in columns:
            row = column.get(name)
            memory = row and row["memory_mb"]
            cells.append("-" if row is None else
                         f"{row['code']}, {row['seconds']}, {round(memory) if memory else '-'}")
        print(f"| {item} | {name} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
