#include "dsp/Wavetable.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// The whole of a regular file no larger than the limit. Directories, FIFOs, devices (/dev/zero) and
// oversized files are refused before anything is read; nothing here throws.
bool readRegularFile(const char* path, size_t limit, std::vector<uint8_t>& bytes) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
              static_cast<uint64_t>(info.st_size) <= limit;
    if (ok) {
        try {
            bytes.resize(static_cast<size_t>(info.st_size));
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        ok = got > 0;
        done += ok ? static_cast<size_t>(got) : 0;
    }
    close(fd);
    return ok;
}

} // namespace

bool WavetableSlot::parse(const char* path) {
    samples.clear();
    records.clear();
    logLengths.clear();
    noteMap.fill({});
    nonFiniteSamples = 0;
    if (path == nullptr || *path == '\0') {
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!readRegularFile(path, kMaximumFileSize, bytes)) {
        return false;
    }
    try {
        return parse(bytes.data(), bytes.size());
    } catch (const std::bad_alloc&) {
        samples.clear();
        records.clear();
        logLengths.clear();
        noteMap.fill({});
        return false;
    }
}

bool WavetableSlot::parse(const uint8_t* data, size_t size) {
    samples.clear();
    records.clear();
    logLengths.clear();
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
    nonFiniteSamples = 0;
    const uint8_t* p = data + samplesOffset;
    for (uint32_t i = 0; i < sampleCount; ++i, p += 4) {
        const float sample = readF32(p);
        // A table is data from outside: a NaN or an infinity in it would poison every voice that reads it.
        const bool finite = std::isfinite(sample);
        samples[i] = finite ? sample : 0.0f;
        nonFiniteSamples += finite ? 0 : 1;
    }
    tableSampleRate = static_cast<double>(rate);
    buildNoteRemap();
    logLengths.resize(records.size());
    for (size_t r = 0; r < records.size(); ++r) {
        logLengths[r] = std::log(static_cast<float>(std::max<uint32_t>(records[r].length, 1u)));
    }
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
