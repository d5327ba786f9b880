// Sets of enumeration values as bit masks.
//
// Stands in for the compiler's small sets: an enumeration whose values count from 0 upwards
// (fewer than 32) becomes a set with value semantics, union (+), difference (-), intersection (*)
// and membership.
#ifndef CLASSLIB_SETS_H
#define CLASSLIB_SETS_H

#include <cstdint>
#include <initializer_list>
#include <type_traits>

template <class E> class TSet {
    static_assert(std::is_enum_v<E>, "a set holds enumeration values");

public:
    constexpr TSet() noexcept = default;
    constexpr TSet(std::initializer_list<E> values) noexcept {
        for (E value : values)
            bits_ |= bit(value);
    }
    static constexpr TSet FromMask(std::uint32_t mask) noexcept {
        TSet set;
        set.bits_ = mask;
        return set;
    }

    constexpr bool Contains(E value) const noexcept { return (bits_ & bit(value)) != 0; }
    constexpr bool Empty() const noexcept { return bits_ == 0; }
    constexpr std::uint32_t Mask() const noexcept { return bits_; }
    constexpr TSet &Include(E value) noexcept {
        bits_ |= bit(value);
        return *this;
    }
    constexpr TSet &Exclude(E value) noexcept {
        bits_ &= ~bit(value);
        return *this;
    }

    friend constexpr TSet operator+(TSet a, TSet b) noexcept { return FromMask(a.bits_ | b.bits_); }
    friend constexpr TSet operator-(TSet a, TSet b) noexcept { return FromMask(a.bits_ & ~b.bits_); }
    friend constexpr TSet operator*(TSet a, TSet b) noexcept { return FromMask(a.bits_ & b.bits_); }
    friend constexpr bool operator==(TSet a, TSet b) noexcept { return a.bits_ == b.bits_; }
    // a <= b: every member of a is in b.
    friend constexpr bool operator<=(TSet a, TSet b) noexcept { return (a.bits_ & ~b.bits_) == 0; }

private:
    static constexpr std::uint32_t bit(E value) noexcept {
        auto index = static_cast<std::uint32_t>(value);
        return index < 32 ? std::uint32_t{1} << index : 0;
    }

    std::uint32_t bits_ = 0;
};

#endif
