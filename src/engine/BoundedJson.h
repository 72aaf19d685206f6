#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

// Text that is not a JSON document within the bounds; the message says where, and quotes at
// most a short excerpt of the text.
class EBoundedJson : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The limits a document from someone else must keep: they bound the memory its tree takes
// to a small multiple of the text, whatever the text holds.
struct TJsonBounds {
    int MaxNesting = 8;
    // Values and keys together.
    std::size_t MaxValues = 10000;
};

// Parses `text` into a tree; throws EBoundedJson at the first syntax fault, a number beyond
// the doubles (naming its field), or a bound exceeded.
nlohmann::json ParseBoundedJson(std::string_view text, const TJsonBounds& bounds);

// At most `maxBytes` of `text`, cut on a character boundary, with an ellipsis when cut: what a
// message may quote of outside input.
std::string Excerpt(std::string_view text, std::size_t maxBytes = 40);
