"""Decodes quarn-render's transparent PNG and TIFF files with Pillow and checks each pixel
against a plain render of the sub-pixels: opacity is the share of sub-pixels reached, colour
the rounded mean of the reached ones."""
import os
import subprocess
import sys
import tempfile

from PIL import Image

RENDER = sys.argv[1]
WIDTH, HEIGHT, STEPS, FACTOR = 61, 43, 60000, 2
COMMON = ["--seed", "42", "--maps", "ifs01,at01", "--quiet"]


def render(args):
    subprocess.run([RENDER] + COMMON + args, check=True)


def main():
    with tempfile.TemporaryDirectory() as folder:
        plain = os.path.join(folder, "plain.bmp")
        render(["--size", f"{WIDTH * FACTOR}x{HEIGHT * FACTOR}",
                "--steps", str(STEPS * FACTOR * FACTOR), "--out", plain])
        sub = Image.open(plain).convert("RGB")
        count = FACTOR * FACTOR
        failures = 0
        for extension in ("png", "tif"):
            name = os.path.join(folder, "clear." + extension)
            render(["--size", f"{WIDTH}x{HEIGHT}", "--steps", str(STEPS),
                    "--supersample", str(FACTOR), "--transparent", "--out", name])
            picture = Image.open(name)
            assert picture.mode == "RGBA", (extension, picture.mode)
            assert picture.size == (WIDTH, HEIGHT), (extension, picture.size)
            seen = {0: 0, 255: 0, "partial": 0}
            for y in range(HEIGHT):
                for x in range(WIDTH):
                    reached = [sub.getpixel((x * FACTOR + dx, y * FACTOR + dy))
                               for dy in range(FACTOR) for dx in range(FACTOR)]
                    reached = [p for p in reached if p != (0, 0, 0)]
                    n = len(reached)
                    alpha = (255 * n + count // 2) // count
                    colour = tuple((sum(p[c] for p in reached) + n // 2) // n if n else 0
                                   for c in range(3))
                    if picture.getpixel((x, y)) != colour + (alpha,):
                        failures += 1
                    seen[alpha if alpha in (0, 255) else "partial"] += 1
            print(extension, seen, "failures:", failures)
            assert seen[0] > 0 and seen[255] > 0 and seen["partial"] > 0, seen
        assert failures == 0


if __name__ == "__main__":
    main()
