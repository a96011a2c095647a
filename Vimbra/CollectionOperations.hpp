// Reordering and removal by offsets, tree moves and file-URL conveniences for list and outline controls.
#pragma once

#include "core/CollectionDifference.hpp"
#include "core/FileManager.hpp"
#include "core/IndexSet.hpp"
#include "core/URL.hpp"

#include <algorithm>
#include <any>
#include <cassert>
#include <concepts>
#include <cstddef>
#include <iterator>
#include <memory>
#include <optional>
#include <ranges>
#include <string>
#include <vector>

namespace vimbra {

// Operations on arrays. Destinations follow the list-reordering convention: a gap position counted in
// the array as it was before the move. Offsets outside the array are the caller's error, except where
// a function says it skips them.
struct Array {
    // The elements at the offsets in ascending order; offsets outside the array are skipped.
    template <class T>
    static std::vector<T> elements(const std::vector<T>& array, const core::IndexSet& offsets) {
        std::vector<T> result;
        for (const int offset : offsets) {
            if (static_cast<std::size_t>(offset) < array.size()) {
                result.push_back(array[static_cast<std::size_t>(offset)]);
            }
        }
        return result;
    }

    template <class T>
    static void move(std::vector<T>& array, const core::IndexSet& fromOffsets, int toOffset);

    // Offsets may repeat and come in any order; each counts once.
    template <class T>
    static std::vector<T> moving(std::vector<T> array, const std::vector<int>& fromOffsets, int toOffset) {
        move(array, core::IndexSet(fromOffsets.begin(), fromOffsets.end()), toOffset);
        return array;
    }

    template <class T> static void move(std::vector<T>& array, int from, int to) {
        if (from != to) {
            move(array, core::IndexSet{from}, to);
        }
    }
    template <class T> static std::vector<T> moving(std::vector<T> array, int from, int to) {
        move(array, from, to);
        return array;
    }

    // Removes the first equal element, if any.
    template <class T> static void remove(std::vector<T>& array, const T& element) {
        if (const auto it = std::find(array.begin(), array.end(), element); it != array.end()) {
            array.erase(it);
        }
    }
    template <class T> static std::vector<T> removing(std::vector<T> array, const T& element) {
        remove(array, element);
        return array;
    }
    // Each listed element removes at most one occurrence, so an element listed twice removes two.
    template <class T> static void removeContentsOf(std::vector<T>& array, const std::vector<T>& elements) {
        for (const auto& element : elements) {
            remove(array, element);
        }
    }
    template <class T>
    static std::vector<T> removingContentsOf(std::vector<T> array, const std::vector<T>& elements) {
        removeContentsOf(array, elements);
        return array;
    }
};

// Operations on any collection with positional insert and erase (vector, deque, string). Indices are
// positions from the start.
struct RangeReplaceable {
    template <class C> static void append(C& collection, const typename C::value_type& element) {
        collection.insert(collection.end(), element);
    }
    template <class C>
    static void append(C& collection, const std::optional<typename C::value_type>& element) {
        if (element) {
            append(collection, *element);
        }
    }
    template <class C> static void prepend(C& collection, const typename C::value_type& element) {
        collection.insert(collection.begin(), element);
    }

    // Removes the elements at the indices and returns them in ascending order of index. An index listed
    // more than once removes its element once.
    template <class C, std::ranges::range Indices>
    static std::vector<typename C::value_type> removeAtIndices(C& collection, const Indices& indices) {
        std::vector<std::ptrdiff_t> sorted;
        for (const auto index : indices) {
            sorted.push_back(static_cast<std::ptrdiff_t>(index));
        }
        std::sort(sorted.begin(), sorted.end());
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        std::vector<typename C::value_type> removed;
        removed.reserve(sorted.size());
        for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
            assert(*it >= 0 && static_cast<std::size_t>(*it) < collection.size());
            const auto position = std::next(collection.begin(), *it);
            removed.push_back(std::move(*position));
            collection.erase(position);
        }
        std::reverse(removed.begin(), removed.end());
        return removed;
    }

    // Removes the element at from and inserts it at to in the shortened collection.
    template <class C> static void move(C& collection, std::ptrdiff_t from, std::ptrdiff_t to) {
        auto element = std::move(*std::next(collection.begin(), from));
        collection.erase(std::next(collection.begin(), from));
        to = std::clamp<std::ptrdiff_t>(to, 0, static_cast<std::ptrdiff_t>(collection.size()));
        collection.insert(std::next(collection.begin(), to), std::move(element));
    }

    // Removes the elements at the indices and inserts them, in their order, at to in the shortened
    // collection (no correction for removed elements before it). A destination past the end appends.
    template <class C, std::ranges::range Indices>
    static void move(C& collection, const Indices& fromIndices, std::ptrdiff_t to) {
        auto removed = removeAtIndices(collection, fromIndices);
        to = std::clamp<std::ptrdiff_t>(to, 0, static_cast<std::ptrdiff_t>(collection.size()));
        collection.insert(std::next(collection.begin(), to), std::make_move_iterator(removed.begin()),
                          std::make_move_iterator(removed.end()));
    }

    template <class C> static void remove(C& collection, const typename C::value_type& element) {
        if (const auto it = std::find(collection.begin(), collection.end(), element);
            it != collection.end()) {
            collection.erase(it);
        }
    }
    template <class C>
    static void remove(C& collection, const std::optional<typename C::value_type>& element) {
        if (element) {
            remove(collection, *element);
        }
    }

    // Makes the changes in the difference's own order: removals from the highest offset down, then
    // insertions from the lowest up, each offset counted from the start.
    template <class C>
    static void apply(C& collection, const core::CollectionDifference<typename C::value_type>& difference) {
        using Kind = typename core::CollectionDifference<typename C::value_type>::Change::Kind;
        for (const auto& change : difference.changes()) {
            const auto position = std::next(collection.begin(), change.offset);
            if (change.kind == Kind::remove) {
                collection.erase(position);
            } else {
                collection.insert(position, change.element);
            }
        }
    }
};

// Conveniences on any collection.
struct Collection {
    // Whether the index is at or after the start and before the end.
    template <std::ranges::sized_range C>
    static bool isValidIndex(const C& collection, std::ptrdiff_t index) {
        return index >= 0 && index < static_cast<std::ptrdiff_t>(std::ranges::size(collection));
    }
    // Every index of the collection, from the start up to, not including, the end.
    template <std::ranges::sized_range C> static auto fullRange(const C& collection) {
        return std::views::iota(std::size_t{0}, static_cast<std::size_t>(std::ranges::size(collection)));
    }
};

// Conveniences on any sequence.
struct Sequence {
    // The zero-based positions of the elements the predicate holds for, ascending. What the predicate
    // throws passes through.
    template <std::ranges::input_range S, class Predicate>
    static std::vector<int> offsets(const S& sequence, Predicate&& predicate) {
        std::vector<int> result;
        int offset = 0;
        for (const auto& element : sequence) {
            if (predicate(element)) {
                result.push_back(offset);
            }
            ++offset;
        }
        return result;
    }

    // The elements that are of class T (shared objects) or hold a T (type-erased values), in order.
    template <class T, std::ranges::input_range S>
    requires std::same_as<std::ranges::range_value_t<S>, std::any>
    static std::vector<T> compactCast(const S& sequence) {
        std::vector<T> result;
        for (const auto& element : sequence) {
            if (const auto* value = std::any_cast<T>(&element)) {
                result.push_back(*value);
            }
        }
        return result;
    }
    template <class T, std::ranges::input_range S>
    requires requires(const std::ranges::range_value_t<S>& element) { std::dynamic_pointer_cast<T>(element); }
    static std::vector<std::shared_ptr<T>> compactCast(const S& sequence) {
        std::vector<std::shared_ptr<T>> result;
        for (const auto& element : sequence) {
            if (auto cast = std::dynamic_pointer_cast<T>(element)) {
                result.push_back(std::move(cast));
            }
        }
        return result;
    }

    // For each element, the value an untyped accessor reads from it, kept when it holds a T.
    template <class T, std::ranges::input_range S, class KeyPath>
    static std::vector<T> compactValues(const S& sequence, KeyPath&& keyPath) {
        std::vector<T> result;
        for (const auto& element : sequence) {
            const std::any value = keyPath(element);
            if (const auto* typed = std::any_cast<T>(&value)) {
                result.push_back(*typed);
            }
        }
        return result;
    }
};

// Appends an element, or an optional one when present: `using vimbra::operator+=;` brings these in.
template <class C>
auto operator+=(C& collection, const typename C::value_type& element)
    -> decltype(collection.insert(collection.end(), element), collection) {
    RangeReplaceable::append(collection, element);
    return collection;
}
template <class C>
auto operator+=(C& collection, const std::optional<typename C::value_type>& element)
    -> decltype(collection.insert(collection.end(), *element), collection) {
    RangeReplaceable::append(collection, element);
    return collection;
}

template <class T> void Array::move(std::vector<T>& array, const core::IndexSet& fromOffsets, int toOffset) {
    const auto before = static_cast<std::ptrdiff_t>(fromOffsets.countLess(toOffset));
    auto removed = RangeReplaceable::removeAtIndices(array, fromOffsets);
    const auto at =
        std::clamp<std::ptrdiff_t>(toOffset - before, 0, static_cast<std::ptrdiff_t>(array.size()));
    array.insert(array.begin() + at, std::make_move_iterator(removed.begin()),
                 std::make_move_iterator(removed.end()));
}

// An object in a tree. Two items with the same identifier count as the same.
class TreeItem {
public:
    virtual ~TreeItem() = default;
    virtual std::string title() const = 0;
    virtual std::string identifier() const = 0;
};

// A recorded move of one item between (or within) parents; an absent parent is the root.
class TreeMove {
public:
    TreeMove(std::shared_ptr<TreeItem> item, std::shared_ptr<TreeItem> previousParent, int previousIndex,
             std::shared_ptr<TreeItem> newParent, int newIndex)
        : item_(std::move(item)), previousParent_(std::move(previousParent)), previousIndex_(previousIndex),
          newParent_(std::move(newParent)), newIndex_(newIndex) {}

    const std::shared_ptr<TreeItem>& item() const { return item_; }
    const std::shared_ptr<TreeItem>& previousParent() const { return previousParent_; }
    int previousIndex() const { return previousIndex_; }
    const std::shared_ptr<TreeItem>& newParent() const { return newParent_; }
    int newIndex() const { return newIndex_; }

    // Both absent, or both present with equal identifiers.
    static bool sameParent(const std::shared_ptr<TreeItem>& a, const std::shared_ptr<TreeItem>& b);

    // The moves with previous indices rewritten so that they apply one after another.
    static std::vector<TreeMove> normalized(const std::vector<TreeMove>& moves);
    // Distinct present parents in order of first appearance, by identifier.
    static std::vector<std::shared_ptr<TreeItem>> newParents(const std::vector<TreeMove>& moves);
    static std::vector<std::shared_ptr<TreeItem>> previousParents(const std::vector<TreeMove>& moves);
    // Each move's previous parent, then its new parent, when present and not yet listed.
    static std::vector<std::shared_ptr<TreeItem>> affectedParents(const std::vector<TreeMove>& moves);
    // The moves that undo the sequence: reversed, each with its ends exchanged.
    static std::vector<TreeMove> inverted(const std::vector<TreeMove>& moves);
    // Whether some move starts or ends at the root.
    static bool involvesRoot(const std::vector<TreeMove>& moves);

private:
    std::shared_ptr<TreeItem> item_;
    std::shared_ptr<TreeItem> previousParent_;
    int previousIndex_;
    std::shared_ptr<TreeItem> newParent_;
    int newIndex_;
};

// The path from the base's folder to this file URL ("a/b/c" from base "a/b/d" is "c"); the base is taken
// to name a file. Absent when either URL is not a file URL.
std::optional<std::string> relativePath(const core::URL& url, const core::URL& base);
// A relative file-path URL of relativePath(url, base), a directory when the path ends in "/".
std::optional<core::URL> relativeURL(const core::URL& url, const core::URL& base);
// The last path component with every "." + extension taken out (so a name without an extension loses
// every full stop).
std::string nameWithoutExtension(const core::URL& url);
// The decoded path with one leading "/" removed.
std::string pathWithoutLeadingSlash(const core::URL& url);
// The item's modification date; the file manager's FileError when it cannot be read.
std::optional<core::Date> modificationDate(const core::URL& url);

} // namespace vimbra
