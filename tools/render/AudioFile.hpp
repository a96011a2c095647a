#pragma once

// Reading and writing sound files through libsndfile, as non-interleaved float channels.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

struct AudioBuffer {
    double sampleRate = 0;
    std::vector<std::vector<float>> channels; // every channel holds the same number of frames

    std::size_t channelCount() const { return channels.size(); }
    std::size_t frameCount() const { return channels.empty() ? 0 : channels.front().size(); }
    double durationSeconds() const {
        return sampleRate > 0 ? static_cast<double>(frameCount()) / sampleRate : 0;
    }
};

class AudioFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class AudioFileFormat { wavFloat, flac24 };

// ".flac" (any case) writes 24-bit FLAC; every other name writes 32-bit float WAV.
AudioFileFormat audioFileFormatFor(const std::string& path);

// Reads any file libsndfile understands (WAV and FLAC among them); throws AudioFileError.
AudioBuffer readAudioFile(const std::string& path);

// How many samples are NaN or infinite.
std::size_t nonFiniteSampleCount(const AudioBuffer& buffer);

struct WriteReport {
    std::size_t clippedSamples = 0; // beyond full scale, written at full scale (integer formats only)
};

// Writes in the format chosen by the name; integer formats clip instead of wrapping. The file appears
// under its name only once complete: a failed write leaves whatever was there before. Refuses a buffer
// holding non-finite samples. Throws AudioFileError.
WriteReport writeAudioFile(const std::string& path, const AudioBuffer& buffer);
