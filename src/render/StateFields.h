#pragma once

#include "render/RenderState.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// The fields of a state file, each stored little-endian in the width of its type (a bool and an
// enumeration in one byte, a double as its 64 bits), without padding. One list of fields serves
// both directions: a TStateWriter visits it to save and a TStateReader to load. Both check the
// ranges, in the same order, so that a save never writes what a load would refuse.

// The text of every fault of a state file: its name first, then what is wrong.
ERenderState StateFileError(const std::string& name, const std::string& what);

template <typename T>
using TFieldBits =
    std::conditional_t<sizeof(T) == 1, std::uint8_t,
                       std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>;

template <typename T> T FromLittleEndian(std::span<const std::uint8_t> bytes) {
    static_assert(sizeof(T) == 1 || sizeof(T) == 4 || sizeof(T) == 8);
    TFieldBits<T> bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        bits |= static_cast<TFieldBits<T>>(TFieldBits<T>{bytes[i]} << (8 * i));
    T value;
    std::memcpy(&value, &bits, sizeof(T));
    return value;
}

// The value of a whole number, bool or enumeration field from its bits.
template <typename T> std::int64_t NumberOf(TFieldBits<T> bits) {
    if constexpr (std::is_signed_v<T>)
        return std::make_signed_t<TFieldBits<T>>(bits);
    else
        return bits;
}

// What both directions share: the names of the fields in messages and the checks of their values.
class TStateFields {
public:
    ERenderState Error(const std::string& what) const { return StateFileError(FName, what); }

protected:
    explicit TStateFields(const std::string& name) : FName(name) {}

    ERenderState FieldError(std::string_view name, std::size_t offset,
                            const std::string& what) const;
    void CheckRange(std::string_view name, std::size_t offset, std::int64_t number,
                    std::int64_t low, std::int64_t high) const;
    void CheckChoice(std::string_view name, std::size_t offset, std::uint8_t value,
                     std::span<const std::uint8_t> choices) const;
    // The names of the fields of the item `index` of a list begin "name[index].".
    void EnterItem(std::string_view name, std::size_t index);
    void LeaveList() { FPrefix.clear(); }
    std::string FullName(std::string_view name) const { return FPrefix + std::string(name); }

private:
    const std::string& FName;
    std::string FPrefix;
};

class TStateWriter : public TStateFields {
public:
    TStateWriter(std::vector<std::uint8_t>& bytes, const std::string& name)
        : TStateFields(name), FBytes(bytes) {}

    // Any value of its type.
    template <typename T> void Field(std::string_view, const T& value) {
        static_assert(sizeof(T) == 1 || sizeof(T) == 4 || sizeof(T) == 8);
        TFieldBits<T> bits;
        std::memcpy(&bits, &value, sizeof(T));
        for (std::size_t i = 0; i < sizeof(T); ++i)
            FBytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
    // A whole number, a bool or an enumeration from `low` to `high`.
    template <typename T>
    void Field(std::string_view name, const T& value, std::int64_t low, std::int64_t high) {
        TFieldBits<T> bits;
        std::memcpy(&bits, &value, sizeof(T));
        CheckRange(name, FBytes.size(), NumberOf<T>(bits), low, high);
        Field(name, value);
    }
    template <typename T, std::size_t N>
    void Field(std::string_view name, const std::array<T, N>& values) {
        for (const T& value : values)
            Field(name, value);
    }
    // A field written before, once its value is known.
    void Rewrite(std::size_t offset, std::uint32_t value);
    void Choice(std::string_view name, std::uint8_t value, std::span<const std::uint8_t> choices) {
        CheckChoice(name, FBytes.size(), value, choices);
        Field(name, value);
    }
    // Its length, then its bytes.
    void Text(std::string_view name, const std::string& text, std::size_t maxBytes);
    // The items, which must be `count`: the reader takes that many.
    template <typename T, typename TVisit>
    void List(std::string_view name, const std::vector<T>& items, std::int64_t count,
              TVisit visit) {
        if (static_cast<std::int64_t>(items.size()) != count)
            throw Error("the field \"" + std::string(name) + "\" holds " +
                        std::to_string(items.size()) + " items, not " + std::to_string(count));
        for (std::size_t i = 0; i < items.size(); ++i) {
            EnterItem(name, i);
            visit(*this, items[i]);
        }
        LeaveList();
    }

private:
    std::vector<std::uint8_t>& FBytes;
};

// Reads the fields in order and refuses the first that the bytes do not hold or that is out of
// its range, with its name and offset.
class TStateReader : public TStateFields {
public:
    TStateReader(std::span<const std::uint8_t> bytes, const std::string& name)
        : TStateFields(name), FBytes(bytes) {}

    std::size_t Offset() const { return FOffset; }
    // The next `count` bytes, which must be there.
    std::span<const std::uint8_t> Take(std::string_view name, std::size_t count);

    // Any value of its type.
    template <typename T> void Field(std::string_view name, T& value) {
        static_assert(!std::is_same_v<T, bool> && !std::is_enum_v<T>, "give the range");
        value = FromLittleEndian<T>(Take(name, sizeof(T)));
    }
    // A whole number, a bool or an enumeration from `low` to `high`.
    template <typename T>
    void Field(std::string_view name, T& value, std::int64_t low, std::int64_t high) {
        const std::size_t at = FOffset;
        const auto bits = FromLittleEndian<TFieldBits<T>>(Take(name, sizeof(T)));
        // Checked before it becomes a bool or an enumeration, which may not take any bits.
        CheckRange(name, at, NumberOf<T>(bits), low, high);
        std::memcpy(&value, &bits, sizeof(T));
    }
    template <typename T, std::size_t N>
    void Field(std::string_view name, std::array<T, N>& values) {
        for (T& value : values)
            Field(name, value);
    }
    void Choice(std::string_view name, std::uint8_t& value, std::span<const std::uint8_t> choices) {
        const std::size_t at = FOffset;
        Field(name, value);
        CheckChoice(name, at, value, choices);
    }
    void Text(std::string_view name, std::string& text, std::size_t maxBytes);
    // Reads `count` items, appending them to `items`.
    template <typename T, typename TVisit>
    void List(std::string_view name, std::vector<T>& items, std::int64_t count, TVisit visit) {
        for (std::int64_t i = 0; i < count; ++i) {
            EnterItem(name, static_cast<std::size_t>(i));
            visit(*this, items.emplace_back());
        }
        LeaveList();
    }

private:
    std::span<const std::uint8_t> FBytes;
    std::size_t FOffset = 0;
};
