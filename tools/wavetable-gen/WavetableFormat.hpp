#pragma once

// The "DUDIR001" file layout: a 52-byte header, 16-byte records, a 128-entry note map (first record, count)
// and the samples, all little-endian. Header-only, so that the engine's tests and fuzz seeds can write files
// without the generator's synthesis.

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace wavetablegen {

struct Record {
    uint32_t start = 0;
    uint32_t length = 0;
    uint16_t root = 0;
    float weight = 1.0f;
};

using NoteMap = std::array<std::array<uint32_t, 2>, 128>; // first record, record count

struct FileLayout {
    static constexpr size_t kHeaderSize = 52;
    size_t recordCount = 0;
    size_t recordsOffset() const { return kHeaderSize; }
    size_t noteMapOffset() const { return kHeaderSize + 16 * recordCount; }
    size_t samplesOffset() const { return noteMapOffset() + 8 * 128; }
};

inline void putU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

inline void putU64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
    putU32(b, at, static_cast<uint32_t>(v));
    putU32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

inline void putF32(std::vector<uint8_t>& b, size_t at, float v) {
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    putU32(b, at, u);
}

inline std::vector<uint8_t> serialise(uint32_t tableRate, const std::vector<Record>& records,
                                      const NoteMap& noteMap, const std::vector<float>& samples) {
    const FileLayout layout{records.size()};
    std::vector<uint8_t> out(layout.samplesOffset() + 4 * samples.size(), 0);
    std::memcpy(out.data(), "DUDIR001", 8);
    putU32(out, 8, 1);
    putU32(out, 12, tableRate);
    putU32(out, 16, static_cast<uint32_t>(records.size()));
    putU32(out, 20, 128);
    putU32(out, 24, static_cast<uint32_t>(samples.size()));
    putU64(out, 28, layout.recordsOffset());
    putU64(out, 36, layout.noteMapOffset());
    putU64(out, 44, layout.samplesOffset());
    for (size_t r = 0; r < records.size(); ++r) {
        const size_t at = layout.recordsOffset() + 16 * r;
        putU32(out, at, records[r].start);
        putU32(out, at + 4, records[r].length);
        out[at + 8] = static_cast<uint8_t>(records[r].root & 0xFF);
        out[at + 9] = static_cast<uint8_t>(records[r].root >> 8);
        putF32(out, at + 12, records[r].weight);
    }
    for (size_t n = 0; n < 128; ++n) {
        putU32(out, layout.noteMapOffset() + 8 * n, noteMap[n][0]);
        putU32(out, layout.noteMapOffset() + 8 * n + 4, noteMap[n][1]);
    }
    for (size_t i = 0; i < samples.size(); ++i) {
        putF32(out, layout.samplesOffset() + 4 * i, samples[i]);
    }
    return out;
}

} // namespace wavetablegen
