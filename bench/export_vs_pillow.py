#!/usr/bin/python3
"""Side-by-side figures for saving the 1024 x 768 bench picture: our writers (Google Benchmark
programs of the build's bench folder) against Pillow saving the same pixels to a file.

Usage: bench/export_vs_pillow.py [BUILD_DIR]   (default: build)
Pillow comes from Debian's python3-pil; without it only our figures are shown.
"""

import json
import os
import re
import subprocess
import sys
import tempfile
import time

WIDTH, HEIGHT = 1024, 768
# Which benchmark programs save pictures, and how a benchmark's name maps to a format.
PROGRAMS = re.compile(r"(Export|Codec|Png|Jpeg|Tiff|Writer)\w*Bench$")
FORMATS = [
    ("ppm_ascii", re.compile(r"ppm.*ascii|ascii.*ppm", re.I)),
    ("ppm", re.compile(r"ppm", re.I)),
    ("bmp", re.compile(r"bmp", re.I)),
    ("tga", re.compile(r"tga|targa", re.I)),
    ("png", re.compile(r"png", re.I)),
    ("jpeg", re.compile(r"jpe?g", re.I)),
    ("tiff", re.compile(r"tiff?.*packbits|packbits.*tiff?", re.I)),
]
GOALS = {
    "png": "<= 1.1 x Pillow",
    "jpeg": "<= 1.1 x Pillow",
    "tiff": "faster than Pillow",
    "bmp": "faster than Pillow",
    "ppm": "faster than Pillow",
    "ppm_ascii": ">= 100 MB/s",
}


def bench_picture():
    """The pixels of bench/BenchPicture.h, row by row from the top, red-green-blue."""
    data = bytearray(WIDTH * HEIGHT * 3)
    i = 0
    for y in range(HEIGHT):
        for x in range(WIDTH):
            data[i] = (x * 5 + y * 3) & 255
            data[i + 1] = (x ^ (y * 2)) & 255
            data[i + 2] = ((x * y) >> 4) & 255
            i += 3
    return bytes(data)


def format_of(name):
    for key, pattern in FORMATS:
        if pattern.search(name):
            return key
    return None


def run_ours(build_dir):
    """{format: (wall ms, cpu ms, MB/s, benchmark name)}, file-saving cases preferred."""
    folder = os.path.join(build_dir, "bench")
    results = {}
    for program in sorted(os.listdir(folder)):
        path = os.path.join(folder, program)
        if not (PROGRAMS.search(program) and os.access(path, os.X_OK)):
            continue
        out = subprocess.run([path, "--benchmark_format=json", "--benchmark_min_time=0.5"],
                             check=True, capture_output=True, text=True).stdout
        for b in json.loads(out)["benchmarks"]:
            key = format_of(b["name"])
            if key is None:
                continue
            scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
            entry = (b["real_time"] * scale, b["cpu_time"] * scale,
                     b.get("bytes_per_second", 0) / 1e6, b["name"])
            prefer = "file" in b["name"].lower()
            if key not in results or (prefer and "file" not in results[key][3].lower()):
                results[key] = entry
    return results


def run_pillow():
    try:
        from PIL import Image
    except ImportError:
        return None
    image = Image.frombytes("RGB", (WIDTH, HEIGHT), bench_picture())
    cases = {
        "bmp": ("bmp", {}),
        "ppm": ("ppm", {}),
        "png": ("png", {}),
        "jpeg": ("jpg", {"quality": 80}),
        "tiff": ("tif", {"compression": "packbits"}),
    }
    results = {}
    with tempfile.TemporaryDirectory() as folder:
        for key, (extension, options) in cases.items():
            path = os.path.join(folder, "pillow." + extension)
            walls, cpus = [], []
            started = time.perf_counter()
            while len(walls) < 5 or time.perf_counter() - started < 1.0:
                w, c = time.perf_counter(), time.process_time()
                image.save(path, **options)
                walls.append((time.perf_counter() - w) * 1e3)
                cpus.append((time.process_time() - c) * 1e3)
            walls.sort()
            cpus.sort()
            results[key] = (walls[len(walls) // 2], cpus[len(cpus) // 2])
    return results


def main():
    build_dir = sys.argv[1] if len(sys.argv) > 1 else "build"
    ours = run_ours(build_dir)
    pillow = run_pillow()
    if pillow is None:
        print("Pillow (python3-pil) is not installed: showing our figures only.\n")
    print(f"{'format':10} {'ours wall/cpu ms':>18} {'MB/s':>8} {'Pillow wall/cpu ms':>20} "
          f"{'ratio (wall, cpu)':>18}  goal")
    for key, _ in FORMATS:
        if key not in ours and not (pillow and key in pillow):
            continue
        line = f"{key:10} "
        if key in ours:
            wall, cpu, mbps, _name = ours[key]
            line += f"{wall:8.2f} /{cpu:8.2f} {mbps:8.0f} "
        else:
            line += f"{'(not built)':>18} {'':8} "
        if pillow and key in pillow:
            pwall, pcpu = pillow[key]
            line += f"{pwall:9.2f} /{pcpu:9.2f} "
            if key in ours:
                line += f"{ours[key][0] / pwall:8.2f},{ours[key][1] / pcpu:8.2f} "
            else:
                line += f"{'':18} "
        else:
            line += f"{'':20} {'':18} "
        print(line + " " + GOALS.get(key, ""))
    print("\nOurs: the file-saving benchmark of each format (SaveImageFile into the temporary "
          "folder)\nwhere there is one; Pillow: Image.save to a file, median of its runs.")


if __name__ == "__main__":
    main()
