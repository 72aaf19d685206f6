#!/usr/bin/env python3
"""Colour reduction of Quarn IFS side by side with Pillow, on the same 1024 x 768 pictures.

Runs bench/ColorBench, which also writes its two test pictures (a dense photo-like one and a
seeded render of the engine) as binary PPM files; Pillow then converts exactly those pixels.
Every figure is the best of several runs, as wall-clock and as CPU time of the converting
thread (the CPU figure suffers less when other programs share the machine).

    bench/quantize_vs_pillow.py [--bench build/release/bench/ColorBench] [--runs 10]

Pillow comes from Debian's python3-pil; without it only our figures are shown. Note that
Pillow's quantize() applies its dither argument only when it maps onto a given palette, so the
plain FASTOCTREE call does not dither; the two-step line (octree palette, then a
Floyd-Steinberg mapping onto it) is Pillow's dithered equivalent of our conversion.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

try:
    from PIL import Image
except ImportError:
    Image = None
    # Debian's python3-pil belongs to the system interpreter, which a virtual environment or
    # pyenv may hide.
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3") and \
            not os.environ.get("QUARN_NO_REEXEC"):
        os.environ["QUARN_NO_REEXEC"] = "1"
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

OURS = [
    ("BM_Convert252", "palette 252 + system colours, dithered into 8 bits"),
    ("BM_BuildOptimizedPalette252", "  of which: the optimised palette"),
    ("BM_DitherGray256", "256 greys, dithered"),
    ("BM_DitherBlackWhite", "black and white, dithered"),
]


def find_bench(path):
    candidates = [path] if path else [
        os.path.join(ROOT, d, "bench", "ColorBench")
        for d in ("build/release", "build", "build-release", "build-colour")]
    for candidate in candidates:
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    sys.exit("ColorBench not found; build it (cmake --build build/release --target ColorBench) "
             "or name it with --bench")


def run_ours(bench, folder, runs):
    pictures = {name: os.path.join(folder, name + ".ppm") for name in ("dense", "rendered")}
    command = [bench, "--dense-out=" + pictures["dense"],
               "--rendered-out=" + pictures["rendered"],
               "--benchmark_filter=" + "|".join(name + "/" for name, _ in OURS),
               "--benchmark_repetitions=%d" % runs, "--benchmark_format=json"]
    output = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    best = {}
    for result in json.loads(output)["benchmarks"]:
        if result.get("run_type") != "iteration":
            continue
        name, arg = result["run_name"].split("/")
        key = (name, "dense" if arg == "0" else "rendered")
        wall, cpu = result["real_time"], result["cpu_time"]
        old = best.get(key, (float("inf"), float("inf")))
        best[key] = (min(old[0], wall), min(old[1], cpu))
    return pictures, best


def best_of(runs, action):
    wall = cpu = float("inf")
    for _ in range(runs):
        w, c = time.perf_counter(), time.thread_time()
        action()
        cpu = min(cpu, time.thread_time() - c)
        wall = min(wall, time.perf_counter() - w)
    return wall * 1e3, cpu * 1e3


def run_pillow(path, runs):
    image = Image.open(path)
    image.load()
    octree = Image.Quantize.FASTOCTREE
    fs = Image.Dither.FLOYDSTEINBERG

    def octree_then_dither():
        palette = image.quantize(252, method=octree)
        image.quantize(palette=palette, dither=fs)

    return [
        ("quantize(252, FASTOCTREE, dither=FLOYDSTEINBERG)", best_of(
            runs, lambda: image.quantize(252, method=octree, dither=fs))),
        ("FASTOCTREE palette, then FLOYDSTEINBERG onto it", best_of(runs, octree_then_dither)),
        ("quantize(252, MEDIANCUT, dither=FLOYDSTEINBERG)", best_of(
            max(2, runs // 5), lambda: image.quantize(252, method=Image.Quantize.MEDIANCUT,
                                                      dither=fs))),
        ("convert('L') (no dithering)", best_of(runs, lambda: image.convert("L"))),
        ("convert('1', dither=FLOYDSTEINBERG)", best_of(
            runs, lambda: image.convert("1", dither=fs))),
    ]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bench", help="the ColorBench program")
    parser.add_argument("--runs", type=int, default=10, help="runs per figure (best is shown)")
    args = parser.parse_args()
    bench = find_bench(args.bench)
    with tempfile.TemporaryDirectory() as folder:
        pictures, ours = run_ours(bench, folder, args.runs)
        print("%-52s %10s %10s" % ("1024 x 768, best of %d" % args.runs, "wall ms", "cpu ms"))
        for picture in ("dense", "rendered"):
            print("\n%s picture" % picture)
            for name, text in OURS:
                wall, cpu = ours[(name, picture)]
                print("  Quarn  %-44s %10.2f %10.2f" % (text, wall, cpu))
            if Image is None:
                print("  Pillow: python3-pil is not installed, skipped")
                continue
            for text, (wall, cpu) in run_pillow(pictures[picture], args.runs):
                print("  Pillow %-44s %10.2f %10.2f" % (text, wall, cpu))


if __name__ == "__main__":
    main()
