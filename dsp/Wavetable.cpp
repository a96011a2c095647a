#include "dsp/Wavetable.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

uint16_t readU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t readU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t readU64(const uint8_t* p) {
    return static_cast<uint64_t>(readU32(p)) | (static_cast<uint64_t>(readU32(p + 4)) << 32);
}

float readF32(const uint8_t* p) {
    return std::bit_cast<float>(readU32(p));
}

// offset + count * itemSize <= size, without overflow (count * itemSize fits: count < 2^32, itemSize <=
// 1024).
bool fits(uint64_t offset, uint64_t count, uint64_t itemSize, uint64_t size) {
    return offset <= size && count * itemSize <= size - offset;
}

} // namespace

bool WavetableSlot::parse(const char* path) {
    samples.clear();
    records.clear();
    noteMap.fill({});
    if (path == nullptr || *path == '\0') {
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        return false;
    }
    return parse(bytes.data(), bytes.size());
}

bool WavetableSlot::parse(const uint8_t* data, size_t size) {
    samples.clear();
    records.clear();
    noteMap.fill({});
    if (data == nullptr || size < kHeaderSize) {
        return false;
    }
    if (std::memcmp(data, "DUDIR001", 8) != 0 || readU32(data + 8) != 1) {
        return false;
    }
    const uint32_t rate = readU32(data + 12);
    const uint32_t recordCount = readU32(data + 16);
    const uint32_t noteCount = readU32(data + 20);
    const uint32_t sampleCount = readU32(data + 24);
    const uint64_t recordsOffset = readU64(data + 28);
    const uint64_t noteMapOffset = readU64(data + 36);
    const uint64_t samplesOffset = readU64(data + 44);
    if (rate == 0 || noteCount != kNoteCount) {
        return false;
    }
    if (!fits(recordsOffset, recordCount, kRecordSize, size) || !fits(noteMapOffset, 1, kNoteMapSize, size) ||
        !fits(samplesOffset, sampleCount, 4, size)) {
        return false;
    }

    records.reserve(recordCount);
    for (uint32_t r = 0; r < recordCount; ++r) {
        const uint8_t* p = data + recordsOffset + static_cast<uint64_t>(r) * kRecordSize;
        WavetableRecord record;
        record.start = readU32(p);
        record.length = readU32(p + 4);
        record.rootNote = readU16(p + 8);
        const float weight = readF32(p + 12);
        record.weight = (weight >= 0.001f) ? weight : 0.001f; // also turns a NaN weight into the floor
        if (record.length < 4 || record.rootNote > 127 || record.start >= sampleCount ||
            static_cast<uint64_t>(record.start) + record.length > sampleCount) {
            return false;
        }
        records.push_back(record);
    }
    for (size_t n = 0; n < kNoteCount; ++n) {
        const uint8_t* p = data + noteMapOffset + n * 8;
        const uint32_t first = readU32(p);
        const uint32_t count = readU32(p + 4);
        if (first > recordCount || static_cast<uint64_t>(first) + count > recordCount) {
            return false;
        }
        noteMap[n] = {first, count};
    }

    samples.resize(sampleCount);
    const uint8_t* p = data + samplesOffset;
    for (uint32_t i = 0; i < sampleCount; ++i, p += 4) {
        samples[i] = readF32(p);
    }
    tableSampleRate = static_cast<double>(rate);
    buildNoteRemap();
    return usable();
}

void WavetableSlot::buildNoteRemap() {
    constexpr int kNone = -1;
    std::array<int, kNoteCount> below{};
    std::array<int, kNoteCount> above{};
    int last = kNone;
    for (int n = 0; n < static_cast<int>(kNoteCount); ++n) {
        if (noteMap[n].count != 0) {
            last = n;
        }
        below[n] = last;
    }
    last = kNone;
    for (int n = static_cast<int>(kNoteCount) - 1; n >= 0; --n) {
        if (noteMap[n].count != 0) {
            last = n;
        }
        above[n] = last;
    }
    for (int n = 0; n < static_cast<int>(kNoteCount); ++n) {
        int mapped = n;
        if (below[n] != kNone && above[n] != kNone) {
            mapped = (above[n] - n < n - below[n]) ? above[n] : below[n];
        } else if (below[n] != kNone) {
            mapped = below[n];
        } else if (above[n] != kNone) {
            mapped = above[n];
        }
        noteRemap[n] = static_cast<uint16_t>(mapped);
    }
}
