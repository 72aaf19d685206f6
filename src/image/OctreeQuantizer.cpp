#include "image/OctreeQuantizer.h"

#include <algorithm>

TOctreeQuantizer::TOctreeQuantizer(int maxColors) : FMaxColors(maxColors) {
    NewNode(0);
}

int TOctreeQuantizer::NewNode(int depth) {
    TNode node;
    node.Depth = depth;
    node.Leaf = depth >= FDepthLimit;
    FLeafCount += node.Leaf;
    FNodes.push_back(node);
    return static_cast<int>(FNodes.size()) - 1;
}

void TOctreeQuantizer::Insert(TColor color, std::uint64_t count) {
    const std::uint32_t red = GetRValue(color), green = GetGValue(color), blue = GetBValue(color);
    int index = 0;
    for (;;) {
        TNode& node = FNodes[index];
        node.Count += count;
        node.Red += count * red;
        node.Green += count * green;
        node.Blue += count * blue;
        // A leaf absorbs the colour. Inner nodes below a lowered depth limit still lead on
        // to their leaves, so that no counted colour is lost.
        if (node.Leaf)
            break;
        const int shift = 7 - node.Depth;
        const int slot = static_cast<int>(((red >> shift) & 1) << 2 | ((green >> shift) & 1) << 1 |
                                          ((blue >> shift) & 1));
        int child = node.Children[slot];
        if (child >= 0) {
            if (node.ChildCount > 1 && !node.Listed) {
                node.Listed = true;
                FReducible[node.Depth].push_back(index);
            }
        } else {
            const int depth = node.Depth + 1;
            child = NewNode(depth); // may move FNodes: `node` is not used below
            FNodes[index].Children[slot] = child;
            ++FNodes[index].ChildCount;
        }
        index = child;
    }
    if (FLeafCount > FMaxColors)
        Reduce();
}

void TOctreeQuantizer::Reduce() {
    int chosen = -1;
    for (int depth = FDepthLimit - 1; depth >= 0 && chosen < 0; --depth) {
        const std::vector<int>& list = FReducible[depth];
        // Newest members first; the first of equal weights wins.
        for (auto it = list.rbegin(); it != list.rend(); ++it)
            if (chosen < 0 || Weight(FNodes[*it]) < Weight(FNodes[chosen]))
                chosen = *it;
    }
    if (chosen < 0)
        chosen = FallbackReducible();
    TNode& node = FNodes[chosen];
    Unlist(chosen);
    for (int& child : node.Children) {
        if (child >= 0)
            FreeSubtree(child);
        child = -1;
    }
    node.ChildCount = 0;
    node.Leaf = true;
    ++FLeafCount;
    FDepthLimit = std::min(FDepthLimit, node.Depth + 1);
}

// Colours that each passed their branch points only once leave every list empty; the deepest
// node with several children is then merged, which still lowers the number of leaves.
int TOctreeQuantizer::FallbackReducible() const {
    int chosen = -1;
    for (int i = 0; i < static_cast<int>(FNodes.size()); ++i) {
        const TNode& node = FNodes[i];
        if (!node.Alive || node.Leaf || node.ChildCount < 2)
            continue;
        if (chosen < 0 || node.Depth > FNodes[chosen].Depth ||
            (node.Depth == FNodes[chosen].Depth && Weight(node) < Weight(FNodes[chosen])))
            chosen = i;
    }
    return chosen;
}

void TOctreeQuantizer::FreeSubtree(int index) {
    TNode& node = FNodes[index];
    for (int child : node.Children)
        if (child >= 0)
            FreeSubtree(child);
    Unlist(index);
    FLeafCount -= node.Leaf;
    node.Alive = false;
}

void TOctreeQuantizer::Unlist(int index) {
    TNode& node = FNodes[index];
    if (node.Listed) {
        std::erase(FReducible[node.Depth], index);
        node.Listed = false;
    }
}

std::vector<TColor> TOctreeQuantizer::Palette() const {
    std::vector<TColor> palette;
    palette.reserve(static_cast<std::size_t>(FLeafCount));
    CollectLeaves(0, palette);
    return palette;
}

void TOctreeQuantizer::CollectLeaves(int index, std::vector<TColor>& palette) const {
    const TNode& node = FNodes[index];
    if (node.Leaf) {
        palette.push_back(RGB(static_cast<std::uint32_t>(node.Red / node.Count),
                              static_cast<std::uint32_t>(node.Green / node.Count),
                              static_cast<std::uint32_t>(node.Blue / node.Count)));
        return;
    }
    for (int child : node.Children)
        if (child >= 0)
            CollectLeaves(child, palette);
}
