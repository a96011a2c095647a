#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// One single-cycle recording inside a wavetable file.
struct WavetableRecord {
    uint32_t start = 0;    // index of the first sample in the slot's sample array
    uint32_t length = 0;   // samples in one cycle
    uint32_t rootNote = 0; // MIDI note the cycle was made for
    float weight = 0.0f;   // relative preference in the record choice
};

struct WavetableNoteEntry {
    uint32_t first = 0;
    uint32_t count = 0;
};

// The in-memory form of one wavetable file ("DUDIR001" format, little-endian).
struct WavetableSlot {
    static constexpr size_t kHeaderSize = 52;
    static constexpr size_t kRecordSize = 16;
    static constexpr size_t kNoteCount = 128;
    static constexpr size_t kNoteMapSize = kNoteCount * 8;
    // Files larger than this are refused unread (the shipped tables are a few hundred kilobytes).
    static constexpr size_t kMaximumFileSize = size_t{64} << 20;

    std::vector<float> samples;
    std::vector<WavetableRecord> records;
    std::vector<float> logLengths; // per record: log of its length in single precision, for the record choice
    std::array<WavetableNoteEntry, kNoteCount> noteMap{};
    double tableSampleRate = 44100.0;
    std::array<uint16_t, kNoteCount> noteRemap{}; // nearest note with records of its own
    size_t nonFiniteSamples = 0;                  // NaN or infinite samples of the file, stored as 0

    // Reads and parses the file at path. True when the slot ends up with records and samples; on any failure
    // (no such file, not a regular file, too large, malformed) the slot is left without samples (silent).
    // Never throws.
    bool parse(const char* path);
    // The same from bytes already in memory.
    bool parse(const uint8_t* data, size_t size);
    void buildNoteRemap();

    bool usable() const { return !samples.empty() && !records.empty(); }
};
