// A small set over an unscoped enumeration whose values are ordinals 0..N-1, one bit each.
#pragma once

#include <cstdint>
#include <initializer_list>

template <typename Enum, unsigned Count>
class TSet {
    static_assert(Count <= 32, "TSet holds at most 32 members");

public:
    // Empty, or holding the members listed.
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<Enum> members) {
        for (Enum m : members)
            FBits |= Bit(m);
    }

    // The set of a bit word, member m at bit m; bits beyond Count are dropped.
    static constexpr TSet FromBits(std::uint32_t bits) {
        TSet s;
        s.FBits = bits & AllBits();
        return s;
    }
    // Every member.
    static constexpr TSet All() { return FromBits(AllBits()); }

    // The bit word, member m at bit m.
    constexpr std::uint32_t Bits() const { return FBits; }
    // Ask about or change one member.
    constexpr bool Contains(Enum m) const { return (FBits & Bit(m)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr void Include(Enum m) { FBits |= Bit(m); }
    constexpr void Exclude(Enum m) { FBits &= ~Bit(m); }

    // Union, intersection and difference; sets are equal when they hold the same members.
    constexpr TSet operator|(TSet o) const { return FromBits(FBits | o.FBits); }
    constexpr TSet operator&(TSet o) const { return FromBits(FBits & o.FBits); }
    constexpr TSet operator-(TSet o) const { return FromBits(FBits & ~o.FBits); }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr std::uint32_t AllBits() {
        return Count == 32 ? 0xFFFFFFFFu : ((1u << Count) - 1u);
    }
    static constexpr std::uint32_t Bit(Enum m) { return 1u << static_cast<unsigned>(m); }

    std::uint32_t FBits = 0;
};
