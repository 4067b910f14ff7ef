#pragma once
// Enum_set, sets of enumeration values.
#include <cassert>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace kq {

// A set of values of an enumeration with at most 64 members (the ordinal is the bit number), so that
// published sets stream as one bit mask.
template <class E>
class enum_set {
    static_assert(std::is_enum_v<E>);

public:
    constexpr enum_set() noexcept = default;
    constexpr enum_set(std::initializer_list<E> values) noexcept {
        for (E v : values) FBits |= bit(v);
    }
    static constexpr enum_set from_bits(std::uint64_t bits) noexcept {
        enum_set s;
        s.FBits = bits;
        return s;
    }

    constexpr std::uint64_t bits() const noexcept { return FBits; }
    constexpr bool empty() const noexcept { return FBits == 0; }
    constexpr bool contains(E v) const noexcept { return (FBits & bit(v)) != 0; }

    constexpr enum_set& include(E v) noexcept {
        FBits |= bit(v);
        return *this;
    }
    constexpr enum_set& exclude(E v) noexcept {
        FBits &= ~bit(v);
        return *this;
    }

    friend constexpr enum_set operator+(enum_set a, enum_set b) noexcept { return from_bits(a.FBits | b.FBits); }
    friend constexpr enum_set operator-(enum_set a, enum_set b) noexcept { return from_bits(a.FBits & ~b.FBits); }
    friend constexpr enum_set operator*(enum_set a, enum_set b) noexcept { return from_bits(a.FBits & b.FBits); }
    friend constexpr bool operator==(enum_set a, enum_set b) noexcept = default;

private:
    static constexpr std::uint64_t bit(E v) noexcept {
        const auto ordinal = static_cast<std::uint64_t>(v);
        assert(ordinal < 64);
        return std::uint64_t{1} << ordinal;
    }

    std::uint64_t FBits = 0;
};

} // namespace kq
