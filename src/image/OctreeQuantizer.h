#pragma once

#include "image/PGTypes.h"

#include <array>
#include <cstdint>
#include <vector>

// Octree palette of at most a given number of colours, fed one colour and its pixel count at
// a time; the tree is reduced as soon as it holds too many leaves.
class TOctreeQuantizer {
public:
    explicit TOctreeQuantizer(int maxColors);

    void Insert(TColor color, std::uint64_t count);
    int LeafCount() const { return FLeafCount; }
    // The leaves' mean colours, depth first with children in order 0..7.
    std::vector<TColor> Palette() const;

private:
    static constexpr int MaxDepth = 8;
    struct TNode {
        int Depth = 0;
        bool Leaf = false;
        bool Alive = true;
        bool Listed = false;
        std::uint64_t Count = 0;
        std::uint64_t Red = 0;
        std::uint64_t Green = 0;
        std::uint64_t Blue = 0;
        std::array<int, 8> Children{-1, -1, -1, -1, -1, -1, -1, -1};
        int ChildCount = 0;
    };

    int NewNode(int depth);
    void Reduce();
    int FallbackReducible() const;
    void FreeSubtree(int node);
    void Unlist(int node);
    static std::uint64_t Weight(const TNode& node) {
        return 2 * node.Red + 3 * node.Green + node.Blue;
    }
    void CollectLeaves(int node, std::vector<TColor>& palette) const;

    int FMaxColors;
    int FDepthLimit = MaxDepth;
    int FLeafCount = 0;
    // Nodes are never moved or reused; a freed node is only unlinked from its parent.
    std::vector<TNode> FNodes;
    // Reducible nodes per depth, oldest first.
    std::array<std::vector<int>, MaxDepth> FReducible;
};
