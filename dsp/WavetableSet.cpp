#include "dsp/WavetableSet.hpp"

#include <bit>
#include <cstring>
#include <functional>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

static_assert(sizeof(WavetableRecord) == 16 && sizeof(WavetableNoteEntry) == 8, "compared as bytes");

template <typename T> std::string_view bytesOf(const T* data, size_t count) {
    return {reinterpret_cast<const char*>(data), count * sizeof(T)};
}

// Every field of a slot as bytes, in a fixed order; samples compare by their bits (0 and -0 differ).
template <typename Visit> void visitContent(const WavetableSlot& slot, Visit&& visit) {
    const uint64_t rateBits = std::bit_cast<uint64_t>(slot.tableSampleRate);
    const uint64_t sizes[] = {slot.samples.size(), slot.records.size(), slot.logLengths.size(), rateBits,
                              slot.nonFiniteSamples};
    visit(bytesOf(sizes, std::size(sizes)));
    visit(bytesOf(slot.samples.data(), slot.samples.size()));
    visit(bytesOf(slot.records.data(), slot.records.size()));
    visit(bytesOf(slot.logLengths.data(), slot.logLengths.size()));
    visit(bytesOf(slot.noteMap.data(), slot.noteMap.size()));
    visit(bytesOf(slot.noteRemap.data(), slot.noteRemap.size()));
}

uint64_t contentHash(const BandVoice::Tables& tables) {
    uint64_t hash = 0x9E3779B97F4A7C15ull;
    for (const WavetableSlot& slot : tables) {
        visitContent(slot, [&](std::string_view bytes) {
            hash = (hash ^ std::hash<std::string_view>{}(bytes)) * 0x100000001B3ull;
        });
    }
    return hash;
}

bool sameSlot(const WavetableSlot& a, const WavetableSlot& b) {
    std::vector<std::string_view> left;
    visitContent(a, [&](std::string_view bytes) { left.push_back(bytes); });
    size_t i = 0;
    bool same = true;
    visitContent(b, [&](std::string_view bytes) { same = same && bytes == left[i++]; });
    return same;
}

// The live sets by hash. Entries of released sets are dropped whenever a set is added.
struct Registry {
    std::mutex mutex;
    std::unordered_multimap<uint64_t, std::weak_ptr<const WavetableSet>> sets;

    std::shared_ptr<const WavetableSet> find(const WavetableSet& wanted) {
        const auto [first, last] = sets.equal_range(wanted.hash);
        for (auto it = first; it != last; ++it) {
            if (auto live = it->second.lock(); live && WavetableSet::sameContent(*live, wanted)) {
                return live;
            }
        }
        return nullptr;
    }

    void add(const std::shared_ptr<const WavetableSet>& set) {
        std::erase_if(sets, [](const auto& entry) { return entry.second.expired(); });
        sets.emplace(set->hash, set);
    }
};

Registry& registry() {
    static Registry shared;
    return shared;
}

// The live set with the content of candidate, or candidate itself (its side-by-side table built outside the
// lock) made the live one.
std::shared_ptr<const WavetableSet> intern(std::shared_ptr<WavetableSet> candidate) {
    candidate->hash = contentHash(candidate->tables);
    Registry& r = registry();
    {
        const std::scoped_lock lock(r.mutex);
        if (auto live = r.find(*candidate)) {
            return live;
        }
    }
    candidate->shared.build(candidate->tables);
    const std::scoped_lock lock(r.mutex);
    if (auto live = r.find(*candidate)) {
        return live; // made meanwhile by another loader
    }
    std::shared_ptr<const WavetableSet> made = std::move(candidate);
    r.add(made);
    return made;
}

} // namespace

bool WavetableSet::sameContent(const WavetableSet& a, const WavetableSet& b) {
    if (a.hash != b.hash) {
        return false;
    }
    for (size_t s = 0; s < a.tables.size(); ++s) {
        if (!sameSlot(a.tables[s], b.tables[s])) {
            return false;
        }
    }
    return true;
}

std::shared_ptr<const WavetableSet> WavetableSet::empty() {
    return intern(std::make_shared<WavetableSet>());
}

std::shared_ptr<const WavetableSet> WavetableSet::with(const WavetableSet& base, uint32_t slot,
                                                       WavetableSlot table) {
    auto candidate = std::make_shared<WavetableSet>();
    for (size_t s = 0; s < base.tables.size(); ++s) {
        candidate->tables[s] = s == slot ? std::move(table) : base.tables[s];
    }
    return intern(std::move(candidate));
}
