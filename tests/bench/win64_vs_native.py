#!/usr/bin/env python3
"""win64_fma_vs_native: the 64-bit Windows runner's `fma` FLOP rate under Wine
over the native runner's, both pinned to the same logical processor, in turns
(native, Windows, native, ...). Prints "name median min max" of the pairwise
ratios and the processor.

usage: win64_vs_native.py NATIVE WINDOWS_EXE WINE_RUN [PAIRS] [SECONDS]
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path


def rate(command, folder):
    report = Path(folder) / "r.json"
    report.unlink(missing_ok=True)
    done = subprocess.run(command + ["--json", "r.json"], cwd=folder, capture_output=True, text=True)
    if done.returncode != 0 or not report.exists():
        sys.exit(f"win64_vs_native: {' '.join(command)} failed ({done.returncode}):\n"
                 f"{done.stdout}{done.stderr}")
    return json.loads(report.read_text())["flops_per_second"]


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    native, windows, wine_run = (str(Path(p).resolve()) for p in sys.argv[1:4])
    pairs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    seconds = sys.argv[5] if len(sys.argv) > 5 else "3"
    # The last processor this process may use: both runners get the same one.
    cpu = str(max(os.sched_getaffinity(0)))
    load = ["--load", "fma", "--seconds", seconds, "--quiet"]
    env_dir = Path(windows).parent
    ratios = []
    with tempfile.TemporaryDirectory() as folder:
        # A first Windows run starts the wineserver and fills its caches.
        os.environ["QUARRION_BUILD_DIR"] = str(env_dir)
        subprocess.run([wine_run, "--init"], check=True)
        try:
            rate(["taskset", "-c", cpu, wine_run, windows, "--load", "fma", "--seconds", "1", "--quiet"],
                 folder)
            for _ in range(pairs):
                a = rate(["taskset", "-c", cpu, native] + load, folder)
                b = rate(["taskset", "-c", cpu, wine_run, windows] + load, folder)
                ratios.append(b / a)
        finally:
            subprocess.run([wine_run, "--stop"])
    with open("/proc/cpuinfo") as info:
        name = next((l.split(":", 1)[1].strip() for l in info if l.startswith("model name")), "?")
    print(f"win64_fma_vs_native {statistics.median(ratios):.3f} {min(ratios):.3f} {max(ratios):.3f}"
          f"  ({name}, processor {cpu}, {pairs} pairs of {seconds} s)")


if __name__ == "__main__":
    main()
