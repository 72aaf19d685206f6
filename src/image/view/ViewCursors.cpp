#include "image/view/ViewCursors.h"

#include <QBitmap>
#include <QImage>

#include <array>

namespace {

constexpr int CursorSize = 32;
using TCursorArt = std::array<const char*, CursorSize>;

// '#' black, 'o' white, '~' the inverted screen, '.' transparent.
// clang-format off
constexpr TCursorArt OpenHandArt = {
    "..............###...............",
    ".........##...#oo#.###..........",
    "........#oo#..#ooo#ooo#.........",
    "........#oo#..#ooo#ooo#.........",
    "........#oo#..#ooo#ooo#.........",
    "........#ooo#.#ooo#ooo#..#......",
    "........#ooo#.#ooo#ooo#.#o#.....",
    "........#ooo#.#ooo#oo#.#ooo#....",
    ".........#oo#.#ooo#oo#.#oo#.....",
    ".........#oo#.#ooo#oo#.#oo#.....",
    ".........#oo#.#ooo#oo#.#oo#.....",
    "..###....#ooo##ooo#ooo#oo#......",
    ".#ooo#...#oooo#ooo#ooo#oo#......",
    ".#oooo#.#oooooooooooooooo#......",
    "..#ooo#.#oooooooooooooooo#......",
    "...#ooo#oooooooooooooooo#.......",
    "...#ooo#oooooooooooooooo#.......",
    "....#oo#ooooooooooooooo#........",
    ".....#o#ooooooooooooooo#........",
    ".....#o#ooooooooooooooo#........",
    "......##ooooooooooooooo#........",
    ".......#ooooooooooooooo#........",
    ".......##oooooooooooooo#........",
    ".........#oooooooooooo#.........",
    ".........#oooooooooooo#.........",
    "..........#oooooooooo#..........",
    "..........#ooooooooo#...........",
    "..........#ooooooooo#...........",
    "..........#ooooooooo#...........",
    "..........###########...........",
    "................................",
    "................................",
};

constexpr TCursorArt GrabbingHandArt = {
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "..........###.#o#.###...........",
    ".........#ooo##oo##oo#..........",
    ".........#oooo#ooo#ooo###.......",
    ".........################.......",
    ".......##ooooooooooooooo#.......",
    "......##oooooooooooooooo#.......",
    "......##ooooooooooooooo#........",
    "......##ooooooooooooooo#........",
    "......##ooooooooooooooo#........",
    ".......#ooooooooooooooo#........",
    ".......#ooooooooooooooo#........",
    "........#oooooooooooooo#........",
    "........#oooooooooooooo#........",
    "........#oooooooooooooo#........",
    ".........#oooooooooooo#.........",
    ".........#oooooooooooo#.........",
    "..........#oooooooooo#..........",
    "..........#ooooooooo#...........",
    "..........#ooooooooo#...........",
    "..........#ooooooooo#...........",
    "..........###########...........",
    "................................",
    "................................",
};

constexpr TCursorArt SelectionCrossArt = {
    "...............#................",
    "...............#................",
    "...............~................",
    "...............~................",
    "...............#................",
    "...............#................",
    "...............~................",
    "...............~................",
    "...............#................",
    "...............#................",
    "...............~................",
    "...............~................",
    "...............#................",
    "...............#................",
    "...............~................",
    "##~~##~~##~~##~~##~~##~~##~~##~~",
    "...............#................",
    "...............#................",
    "...............~................",
    "...............~................",
    "...............#................",
    "...............#................",
    "...............~................",
    "...............~................",
    "...............#................",
    "...............#................",
    "...............~................",
    "...............~................",
    "...............#................",
    "...............#................",
    "...............~................",
    "...............~................",
};

constexpr TCursorArt MoveSelectionArt = {
    "................................",
    "...............oo...............",
    "..............o##o..............",
    ".............o####o.............",
    "............o######o............",
    "...........o########o...........",
    "..........oooo####oooo..........",
    "..............o##o..............",
    "..............o##o..............",
    "..............o##o..............",
    "......o.......o##o.......o......",
    ".....oo.......o##o.......oo.....",
    "....o#o.......o##o.......o#o....",
    "...o##o.......o##o.......o##o...",
    "..o####ooooooo####ooooooo####o..",
    ".o############################o.",
    ".o############################o.",
    "..o####ooooooo####ooooooo####o..",
    "...o##o.......o##o.......o##o...",
    "....o#o.......o##o.......o#o....",
    ".....oo.......o##o.......oo.....",
    "......o.......o##o.......o......",
    "..............o##o..............",
    "..............o##o..............",
    "..............o##o..............",
    "..........oooo####oooo..........",
    "...........o########o...........",
    "............o######o............",
    ".............o####o.............",
    "..............o##o..............",
    "...............oo...............",
    "................................",
};
// clang-format on

// Qt's monochrome cursors: bitmap and mask set give black, the mask alone white, the bitmap
// alone the inverted screen (on platforms that can invert), neither transparent.
QCursor MakeCursor(const TCursorArt& art, int hotX, int hotY) {
    // A bitmap's set bits are Qt::color1, which images hold as black.
    QImage bitmap(CursorSize, CursorSize, QImage::Format_MonoLSB);
    bitmap.setColorTable({QColor(Qt::white).rgb(), QColor(Qt::black).rgb()});
    bitmap.fill(0);
    QImage mask = bitmap;
    for (int y = 0; y < CursorSize; ++y) {
        for (int x = 0; x < CursorSize; ++x) {
            const char pixel = art[y][x];
            if (pixel == '#' || pixel == '~')
                bitmap.setPixel(x, y, 1);
            if (pixel == '#' || pixel == 'o')
                mask.setPixel(x, y, 1);
        }
    }
    return QCursor(QBitmap::fromImage(bitmap), QBitmap::fromImage(mask), hotX, hotY);
}

} // namespace

TViewCursors::TViewCursors()
    : OpenHand(MakeCursor(OpenHandArt, 16, 12)), GrabbingHand(MakeCursor(GrabbingHandArt, 16, 12)),
      SelectionCross(MakeCursor(SelectionCrossArt, 15, 15)),
      MoveSelection(MakeCursor(MoveSelectionArt, 16, 15)) {}

const TViewCursors& TViewCursors::Instance() {
    static const TViewCursors cursors;
    return cursors;
}
