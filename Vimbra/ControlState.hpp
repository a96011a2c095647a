#pragma once

// The state of a styled control, by which its style is asked for fonts, colours and images, and the
// best-match lookup in a state-keyed table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vimbra {
struct StyledControlState {
    std::int64_t rawValue = 0;

    constexpr StyledControlState() = default;
    constexpr explicit StyledControlState(std::int64_t raw) : rawValue(raw) {}

    static const StyledControlState default_;
    static const StyledControlState disabled;
    static const StyledControlState selected;
    static const StyledControlState highlighted;
    static const StyledControlState focused;
    static const StyledControlState on;
    static const StyledControlState mixed;
    static const StyledControlState invalid;

    // Every member, lowest bit first.
    static const std::array<StyledControlState, 8> allStates;
    // The members other than default_; each one a key holds weighs 1 in the best-match search.
    static const std::array<StyledControlState, 7> nonDefaultStates;

    constexpr bool contains(StyledControlState other) const {
        return (rawValue & other.rawValue) == other.rawValue;
    }
    constexpr bool containsAny(StyledControlState other) const { return (rawValue & other.rawValue) != 0; }
    constexpr bool isSubset(StyledControlState of) const { return (rawValue & ~of.rawValue) == 0; }
    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr void insert(StyledControlState other) { rawValue |= other.rawValue; }
    constexpr void remove(StyledControlState other) { rawValue &= ~other.rawValue; }

    // Members of nonDefaultStates held (0..7); the default bit and bits above 128 never count.
    int nonDefaultCount() const;
    // Members held among the eight, default included.
    int countOfSetOptions() const;
    // default_ first (whether or not its bit is set), then each non-default member held.
    std::vector<StyledControlState> components() const;
    // The members held, lowest bit first.
    std::vector<StyledControlState> toArray() const;
    // Words of the members held, lowest bit first, joined by ", ".
    std::string description() const;

    friend constexpr StyledControlState operator|(StyledControlState a, StyledControlState b) {
        return StyledControlState(a.rawValue | b.rawValue);
    }
    friend constexpr StyledControlState operator&(StyledControlState a, StyledControlState b) {
        return StyledControlState(a.rawValue & b.rawValue);
    }
    constexpr StyledControlState& operator|=(StyledControlState other) {
        rawValue |= other.rawValue;
        return *this;
    }
    friend constexpr bool operator==(StyledControlState, StyledControlState) = default;
    // Tables are ordered by raw value, which is also the order in which ties are broken.
    friend constexpr auto operator<=>(StyledControlState a, StyledControlState b) {
        return a.rawValue <=> b.rawValue;
    }
};

inline constexpr StyledControlState StyledControlState::default_{1};
inline constexpr StyledControlState StyledControlState::disabled{2};
inline constexpr StyledControlState StyledControlState::selected{4};
inline constexpr StyledControlState StyledControlState::highlighted{8};
inline constexpr StyledControlState StyledControlState::focused{16};
inline constexpr StyledControlState StyledControlState::on{32};
inline constexpr StyledControlState StyledControlState::mixed{64};
inline constexpr StyledControlState StyledControlState::invalid{128};

// A table of per-state values, iterated in ascending raw value.
template <class Value> using StateTable = std::map<StyledControlState, Value>;

// The best entry of table for state: the exact key; else, for a non-empty state, the key covering the
// most non-default members of the state among the keys that are subsets of it (a key holding the
// default bit only when the state does; ties go to the lowest raw value); else the default entry.
template <class Value>
std::optional<Value> stateValue(StyledControlState state, const StateTable<Value>& table) {
    if (auto exact = table.find(state); exact != table.end()) {
        return exact->second;
    }
    if (!state.isEmpty()) {
        const Value* best = nullptr;
        int bestCount = -1;
        for (const auto& [key, value] : table) {
            if (!key.isSubset(state)) {
                continue;
            }
            const int count = key.nonDefaultCount();
            if (count > bestCount) {
                best = &value;
                bestCount = count;
            }
        }
        if (best != nullptr) {
            return *best;
        }
    }
    if (auto fallback = table.find(StyledControlState::default_); fallback != table.end()) {
        return fallback->second;
    }
    return std::nullopt;
}

} // namespace vimbra

template <> struct std::hash<vimbra::StyledControlState> {
    // Hashes the description, so states differing only above bit 128 hash alike (and stay distinct keys).
    std::size_t operator()(vimbra::StyledControlState state) const noexcept {
        return std::hash<std::string>{}(state.description());
    }
};
