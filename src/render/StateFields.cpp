#include "render/StateFields.h"

#include <algorithm>

ERenderState StateFileError(const std::string& name, const std::string& what) {
    return ERenderState("the state file \"" + name + "\": " + what);
}

ERenderState TStateFields::FieldError(std::string_view name, std::size_t offset,
                                      const std::string& what) const {
    return Error("the field \"" + FullName(name) + "\" at offset " + std::to_string(offset) + ": " +
                 what);
}

void TStateFields::CheckRange(std::string_view name, std::size_t offset, std::int64_t number,
                              std::int64_t low, std::int64_t high) const {
    if (number < low || number > high)
        throw FieldError(name, offset,
                         std::to_string(number) + " is not " + std::to_string(low) + " to " +
                             std::to_string(high));
}

void TStateFields::CheckChoice(std::string_view name, std::size_t offset, std::uint8_t value,
                               std::span<const std::uint8_t> choices) const {
    if (std::find(choices.begin(), choices.end(), value) != choices.end())
        return;
    std::string allowed;
    for (const std::uint8_t choice : choices)
        allowed += (allowed.empty() ? "" : " or ") + std::to_string(choice);
    throw FieldError(name, offset, std::to_string(value) + " is not " + allowed);
}

void TStateFields::EnterItem(std::string_view name, std::size_t index) {
    FPrefix = std::string(name) + "[" + std::to_string(index) + "].";
}

void TStateWriter::Rewrite(std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < sizeof(value); ++i)
        FBytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

void TStateWriter::Text(std::string_view name, const std::string& text, std::size_t maxBytes) {
    if (text.size() > maxBytes)
        throw FieldError(name, FBytes.size(),
                         "its " + std::to_string(text.size()) + " bytes are more than " +
                             std::to_string(maxBytes));
    Field(name, static_cast<std::uint32_t>(text.size()));
    FBytes.insert(FBytes.end(), text.begin(), text.end());
}

std::span<const std::uint8_t> TStateReader::Take(std::string_view name, std::size_t count) {
    if (FBytes.size() - FOffset < count)
        throw Error("ends at offset " + std::to_string(FBytes.size()) + " inside the field \"" +
                    FullName(name) + "\"");
    const std::span<const std::uint8_t> taken = FBytes.subspan(FOffset, count);
    FOffset += count;
    return taken;
}

void TStateReader::Text(std::string_view name, std::string& text, std::size_t maxBytes) {
    std::uint32_t length = 0;
    Field(name, length, 0, static_cast<std::int64_t>(maxBytes));
    const std::span<const std::uint8_t> bytes = Take(name, length);
    text.assign(bytes.begin(), bytes.end());
}
