// Sets of non-negative integer offsets kept as sorted ranges, and paths of indices into trees.
#pragma once

#include <algorithm>
#include <compare>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

namespace core {

// A sorted set of distinct non-negative integers, stored as disjoint half-open ranges. Negative
// values are ignored on insertion.
class IndexSet {
public:
    struct Range {
        int lowerBound;
        int upperBound; // exclusive
        friend bool operator==(const Range&, const Range&) = default;
    };

    IndexSet() = default;
    IndexSet(std::initializer_list<int> indices) {
        for (const int index : indices) {
            insert(index);
        }
    }
    template <class Iterator> IndexSet(Iterator first, Iterator last) {
        for (; first != last; ++first) {
            insert(static_cast<int>(*first));
        }
    }
    explicit IndexSet(Range range) { insert(range); }

    void insert(int index) { insert(Range{index, index + 1}); }
    void insert(Range range) {
        range.lowerBound = std::max(range.lowerBound, 0);
        if (range.upperBound <= range.lowerBound) {
            return;
        }
        // Every range that touches or overlaps the new one merges into it.
        auto first = std::lower_bound(ranges_.begin(), ranges_.end(), range.lowerBound,
                                      [](const Range& r, int value) { return r.upperBound < value; });
        auto last = first;
        while (last != ranges_.end() && last->lowerBound <= range.upperBound) {
            range.lowerBound = std::min(range.lowerBound, last->lowerBound);
            range.upperBound = std::max(range.upperBound, last->upperBound);
            ++last;
        }
        ranges_.insert(ranges_.erase(first, last), range);
    }
    void remove(int index) { remove(Range{index, index + 1}); }
    void remove(Range range) {
        std::vector<Range> kept;
        kept.reserve(ranges_.size() + 1);
        for (const Range& r : ranges_) {
            if (r.upperBound <= range.lowerBound || r.lowerBound >= range.upperBound) {
                kept.push_back(r);
                continue;
            }
            if (r.lowerBound < range.lowerBound) {
                kept.push_back({r.lowerBound, range.lowerBound});
            }
            if (r.upperBound > range.upperBound) {
                kept.push_back({range.upperBound, r.upperBound});
            }
        }
        ranges_ = std::move(kept);
    }
    void removeAll() { ranges_.clear(); }

    bool contains(int index) const {
        const auto it = std::upper_bound(ranges_.begin(), ranges_.end(), index,
                                         [](int value, const Range& r) { return value < r.upperBound; });
        return it != ranges_.end() && it->lowerBound <= index;
    }
    bool empty() const { return ranges_.empty(); }
    std::size_t count() const {
        std::size_t total = 0;
        for (const Range& r : ranges_) {
            total += static_cast<std::size_t>(r.upperBound - r.lowerBound);
        }
        return total;
    }
    // How many members are smaller than bound.
    std::size_t countLess(int bound) const {
        std::size_t total = 0;
        for (const Range& r : ranges_) {
            if (r.lowerBound >= bound) {
                break;
            }
            total += static_cast<std::size_t>(std::min(r.upperBound, bound) - r.lowerBound);
        }
        return total;
    }
    std::optional<int> first() const {
        return ranges_.empty() ? std::nullopt : std::optional<int>(ranges_.front().lowerBound);
    }
    std::optional<int> last() const {
        return ranges_.empty() ? std::nullopt : std::optional<int>(ranges_.back().upperBound - 1);
    }
    const std::vector<Range>& ranges() const { return ranges_; }

    // Ascending iteration over the members.
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = int;
        using difference_type = std::ptrdiff_t;
        using pointer = const int*;
        using reference = int;

        const_iterator() = default;
        int operator*() const { return value_; }
        const_iterator& operator++() {
            if (++value_ >= (*ranges_)[range_].upperBound) {
                ++range_;
                value_ = range_ < ranges_->size() ? (*ranges_)[range_].lowerBound : 0;
            }
            return *this;
        }
        const_iterator operator++(int) {
            auto copy = *this;
            ++*this;
            return copy;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) {
            return a.range_ == b.range_ && a.value_ == b.value_;
        }

    private:
        friend class IndexSet;
        const_iterator(const std::vector<Range>* ranges, std::size_t range)
            : ranges_(ranges), range_(range),
              value_(range < ranges->size() ? (*ranges)[range].lowerBound : 0) {}
        const std::vector<Range>* ranges_ = nullptr;
        std::size_t range_ = 0;
        int value_ = 0;
    };
    const_iterator begin() const { return const_iterator(&ranges_, 0); }
    const_iterator end() const { return const_iterator(&ranges_, ranges_.size()); }

    std::vector<int> toVector() const { return std::vector<int>(begin(), end()); }

    friend bool operator==(const IndexSet&, const IndexSet&) = default;

private:
    std::vector<Range> ranges_;
};

// The position of a node in a tree: the index among the root's children, then among that child's
// children, and so on. Compares element by element, a prefix before its extensions.
class IndexPath {
public:
    IndexPath() = default;
    IndexPath(std::initializer_list<int> indices) : indices_(indices) {}
    explicit IndexPath(std::vector<int> indices) : indices_(std::move(indices)) {}

    std::size_t count() const { return indices_.size(); }
    bool empty() const { return indices_.empty(); }
    int operator[](std::size_t position) const { return indices_[position]; }
    void append(int index) { indices_.push_back(index); }
    IndexPath appending(int index) const {
        auto copy = *this;
        copy.append(index);
        return copy;
    }
    // The path without its last index; empty for an empty path.
    IndexPath droppingLast() const {
        auto copy = *this;
        if (!copy.indices_.empty()) {
            copy.indices_.pop_back();
        }
        return copy;
    }
    const std::vector<int>& indices() const { return indices_; }
    auto begin() const { return indices_.begin(); }
    auto end() const { return indices_.end(); }

    friend bool operator==(const IndexPath&, const IndexPath&) = default;
    friend auto operator<=>(const IndexPath&, const IndexPath&) = default;

private:
    std::vector<int> indices_;
};

} // namespace core
