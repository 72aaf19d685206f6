#include "engine/BoundedJson.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

using nlohmann::json;

// Builds the tree through the library's own builder, counting what it stores and keeping the
// path to the value being read, so that a fault can name its field.
class TBoundedBuilder {
public:
    using TNumberInteger = json::number_integer_t;
    using TNumberUnsigned = json::number_unsigned_t;
    using TNumberFloat = json::number_float_t;
    using TString = json::string_t;
    using TBinary = json::binary_t;

    TBoundedBuilder(json& root, std::string_view text, const TJsonBounds& bounds)
        : FBuilder(root), FText(text), FBounds(bounds) {}

    bool null() { return Value() && FBuilder.null(); }
    bool boolean(bool value) { return Value() && FBuilder.boolean(value); }
    bool number_integer(TNumberInteger value) { return Value() && FBuilder.number_integer(value); }
    bool number_unsigned(TNumberUnsigned value) {
        return Value() && FBuilder.number_unsigned(value);
    }
    bool number_float(TNumberFloat value, const TString& text) {
        return Value() && FBuilder.number_float(value, text);
    }
    bool string(TString& value) { return Value() && FBuilder.string(value); }
    bool binary(TBinary& value) { return Value() && FBuilder.binary(value); }
    bool start_object(std::size_t size) { return Open(false) && FBuilder.start_object(size); }
    bool key(TString& name) {
        Count();
        FLevels.back().Key = name.substr(0, MaxKeyBytes);
        return FBuilder.key(name);
    }
    bool end_object() {
        FLevels.pop_back();
        return FBuilder.end_object();
    }
    bool start_array(std::size_t size) { return Open(true) && FBuilder.start_array(size); }
    bool end_array() {
        FLevels.pop_back();
        return FBuilder.end_array();
    }
    bool parse_error(std::size_t position, const std::string& lastToken,
                     const nlohmann::detail::exception& error) {
        std::string_view reason = error.what();
        // The library's own prefix, "[json.exception.parse_error.101] parse error at line 1,
        // column 2: ", says nothing that the position below does not.
        if (const std::size_t kind = reason.find("] "); kind != std::string_view::npos)
            reason.remove_prefix(kind + 2);
        if (reason.starts_with("parse error"))
            if (const std::size_t colon = reason.find(": "); colon != std::string_view::npos)
                reason.remove_prefix(colon + 2);
        const bool numberOverflow = error.id == 406;
        const std::string overflow =
            numberOverflow ? "the number " + Excerpt(lastToken) + " is too large" : "";
        if (numberOverflow)
            reason = overflow;
        std::string message;
        if (numberOverflow && !FLevels.empty())
            message.append("the field \"").append(Path()).append("\" at ");
        message.append(Position(position)).append(": ").append(Excerpt(reason, 90));
        throw EBoundedJson(message);
    }

private:
    static constexpr std::size_t MaxKeyBytes = 40;

    // Where a value is stored: in an object under the last key read, or in a list at an index.
    struct TLevel {
        bool List = false;
        std::string Key;
        std::size_t Index = 0;
    };

    void Count() {
        if (++FValues > FBounds.MaxValues)
            throw EBoundedJson("more than " + std::to_string(FBounds.MaxValues) + " values");
    }
    bool Value() {
        Count();
        if (!FLevels.empty() && FLevels.back().List)
            ++FLevels.back().Index;
        return true;
    }
    bool Open(bool list) {
        Value();
        if (static_cast<int>(FLevels.size()) >= FBounds.MaxNesting)
            throw EBoundedJson("nested more than " + std::to_string(FBounds.MaxNesting) +
                               " levels deep");
        FLevels.push_back({list, {}, 0});
        return true;
    }
    // The value that failed: the innermost list has counted the values before it, an outer
    // one the list or object that holds it as well.
    std::string Path() const {
        std::string path;
        for (std::size_t i = 0; i < FLevels.size(); ++i) {
            const TLevel& level = FLevels[i];
            if (level.List) {
                const std::size_t index = i + 1 == FLevels.size() ? level.Index : level.Index - 1;
                path.append("[").append(std::to_string(index)).append("]");
            } else {
                path.append(path.empty() ? "" : ".").append(Excerpt(level.Key));
            }
        }
        return path;
    }
    std::string Position(std::size_t offset) const {
        const std::string_view read = FText.substr(0, std::min(offset, FText.size()));
        const std::size_t lineStart = read.rfind('\n');
        const auto line = std::count(read.begin(), read.end(), '\n') + 1;
        const std::size_t column =
            lineStart == std::string_view::npos ? read.size() : read.size() - lineStart - 1;
        return "line " + std::to_string(line) + ", column " + std::to_string(column);
    }

    nlohmann::detail::json_sax_dom_parser<json> FBuilder;
    std::string_view FText;
    const TJsonBounds& FBounds;
    std::vector<TLevel> FLevels;
    std::size_t FValues = 0;
};

} // namespace

json ParseBoundedJson(std::string_view text, const TJsonBounds& bounds) {
    json root;
    TBoundedBuilder builder(root, text, bounds);
    json::sax_parse(text.begin(), text.end(), &builder);
    return root;
}

std::string Excerpt(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes)
        return std::string(text);
    std::size_t cut = maxBytes;
    // Not inside a UTF-8 sequence: back to the first byte of the character.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(text.substr(0, cut)) + "\u2026";
}
