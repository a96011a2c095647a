// The insertions and removals that turn one ordered collection into another.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace core {

template <class T> class CollectionDifference {
public:
    struct Change {
        enum class Kind { insert, remove };
        Kind kind;
        // A removal's offset counts in the original collection, an insertion's in the final one.
        int offset;
        T element;
        friend bool operator==(const Change&, const Change&) = default;
    };

    CollectionDifference() = default;

    // Fails when two removals or two insertions share an offset, or an offset is negative.
    static std::optional<CollectionDifference> make(std::vector<Change> changes) {
        CollectionDifference difference;
        for (auto& change : changes) {
            if (change.offset < 0) {
                return std::nullopt;
            }
            (change.kind == Change::Kind::remove ? difference.removals_ : difference.insertions_)
                .push_back(std::move(change));
        }
        const auto byOffset = [](const Change& a, const Change& b) { return a.offset < b.offset; };
        const auto sameOffset = [](const Change& a, const Change& b) { return a.offset == b.offset; };
        std::sort(difference.removals_.begin(), difference.removals_.end(), byOffset);
        std::sort(difference.insertions_.begin(), difference.insertions_.end(), byOffset);
        if (std::adjacent_find(difference.removals_.begin(), difference.removals_.end(), sameOffset) !=
                difference.removals_.end() ||
            std::adjacent_find(difference.insertions_.begin(), difference.insertions_.end(), sameOffset) !=
                difference.insertions_.end()) {
            return std::nullopt;
        }
        return difference;
    }

    // A shortest edit script from one sequence to the other (longest common subsequence after the
    // common ends are set aside). Very long differing middles fall back to removing all of one and
    // inserting all of the other, which is still correct, only not minimal.
    template <class Sequence> static CollectionDifference between(const Sequence& from, const Sequence& to) {
        const std::vector<T> a(std::begin(from), std::end(from));
        const std::vector<T> b(std::begin(to), std::end(to));
        std::size_t prefix = 0;
        while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) {
            ++prefix;
        }
        std::size_t suffix = 0;
        while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
               a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
            ++suffix;
        }
        const std::size_t n = a.size() - prefix - suffix;
        const std::size_t m = b.size() - prefix - suffix;
        std::vector<bool> keptA(n, false), keptB(m, false);
        constexpr std::size_t kMaxCells = std::size_t{1} << 22;
        if (n > 0 && m > 0 && (n + 1) * (m + 1) <= kMaxCells) {
            // lengths[i][j]: the longest common subsequence of a's middle from i and b's from j.
            std::vector<std::uint32_t> lengths((n + 1) * (m + 1), 0);
            const auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& {
                return lengths[i * (m + 1) + j];
            };
            for (std::size_t i = n; i-- > 0;) {
                for (std::size_t j = m; j-- > 0;) {
                    at(i, j) = a[prefix + i] == b[prefix + j] ? at(i + 1, j + 1) + 1
                                                              : std::max(at(i + 1, j), at(i, j + 1));
                }
            }
            for (std::size_t i = 0, j = 0; i < n && j < m;) {
                if (a[prefix + i] == b[prefix + j]) {
                    keptA[i++] = true;
                    keptB[j++] = true;
                } else if (at(i + 1, j) >= at(i, j + 1)) {
                    ++i;
                } else {
                    ++j;
                }
            }
        }
        CollectionDifference difference;
        for (std::size_t i = 0; i < n; ++i) {
            if (!keptA[i]) {
                difference.removals_.push_back(
                    {Change::Kind::remove, static_cast<int>(prefix + i), a[prefix + i]});
            }
        }
        for (std::size_t j = 0; j < m; ++j) {
            if (!keptB[j]) {
                difference.insertions_.push_back(
                    {Change::Kind::insert, static_cast<int>(prefix + j), b[prefix + j]});
            }
        }
        return difference;
    }

    // Every change in the order they apply: removals from the highest offset down, then insertions from
    // the lowest offset up.
    std::vector<Change> changes() const {
        std::vector<Change> all(removals_.rbegin(), removals_.rend());
        all.insert(all.end(), insertions_.begin(), insertions_.end());
        return all;
    }
    // Ascending offsets.
    const std::vector<Change>& removals() const { return removals_; }
    const std::vector<Change>& insertions() const { return insertions_; }
    bool empty() const { return removals_.empty() && insertions_.empty(); }

    // The collection with the changes made; absent when they do not fit it (a removal past its end or
    // of a different element, an insertion past the end).
    template <class Collection> std::optional<Collection> applied(Collection collection) const {
        for (auto it = removals_.rbegin(); it != removals_.rend(); ++it) {
            if (static_cast<std::size_t>(it->offset) >= collection.size() ||
                !(*(std::begin(collection) + it->offset) == it->element)) {
                return std::nullopt;
            }
            collection.erase(std::begin(collection) + it->offset);
        }
        for (const auto& change : insertions_) {
            if (static_cast<std::size_t>(change.offset) > collection.size()) {
                return std::nullopt;
            }
            collection.insert(std::begin(collection) + change.offset, change.element);
        }
        return collection;
    }

    friend bool operator==(const CollectionDifference&, const CollectionDifference&) = default;

private:
    std::vector<Change> removals_;
    std::vector<Change> insertions_;
};

} // namespace core
