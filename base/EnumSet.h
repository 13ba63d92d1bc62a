#pragma once
// A set of the values of a scoped enumeration whose values count from 0, one
// bit each, in a `Bits` word.

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <type_traits>

namespace base {

template <class E, class Bits = std::uint32_t>
class EnumSet final {
    static_assert(std::is_enum_v<E> && std::is_unsigned_v<Bits>);

public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> values) {
        for (E v : values) Include(v);
    }
    // The set whose bits are `bits` (a stored word read back).
    static constexpr EnumSet FromBits(Bits bits) {
        EnumSet set;
        set.bits_ = bits;
        return set;
    }

    constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
    constexpr void Include(E v) { bits_ = static_cast<Bits>(bits_ | Bit(v)); }
    constexpr void Exclude(E v) { bits_ = static_cast<Bits>(bits_ & ~Bit(v)); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr Bits ToBits() const { return bits_; }
    friend constexpr bool operator==(EnumSet, EnumSet) = default;

private:
    static constexpr Bits Bit(E v) {
        const auto n = static_cast<unsigned>(v);
        return n < std::numeric_limits<Bits>::digits ? static_cast<Bits>(Bits{1} << n) : Bits{0};
    }
    Bits bits_ = 0;
};

} // namespace base
