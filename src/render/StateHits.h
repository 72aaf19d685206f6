#pragma once

#include "engine/SharedHits.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>

// The hit arrays of a state file: the counters, then the keys, as they lie in memory
// (little-endian), in one zstd frame that carries a checksum of its content. Both directions
// stream through bounded buffers, so the arrays are never held twice. Faults throw ERenderState
// with `name`, the file's.

void WriteHitArrays(const TSharedHits& hits, std::ostream& out, const std::string& name);
// `frame` is the rest of the file from `offset` on, which must hold the frame and nothing after
// it; the frame must hold exactly the bytes of the arrays of `hits`.
void ReadHitArrays(std::span<const std::uint8_t> frame, std::size_t offset, TSharedHits& hits,
                   const std::string& name);
