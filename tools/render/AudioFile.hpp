#pragma once

// Reading and writing sound files through libsndfile, as non-interleaved float channels.

#include <cstddef>
#include <memory>
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

// Reads a sound file a block at a time, so a long file never has to fit in memory.
class AudioFileReader {
public:
    // Opens any file libsndfile understands; throws AudioFileError.
    explicit AudioFileReader(const std::string& path);
    ~AudioFileReader();
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    double sampleRate() const;
    std::size_t channelCount() const;
    // Fills the first frames of each non-interleaved channel and says how many it read: fewer than asked only
    // at the end of the file. Throws AudioFileError.
    std::size_t read(float* const* channels, std::size_t frames);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// How many samples are NaN or infinite.
std::size_t nonFiniteSampleCount(const AudioBuffer& buffer);

struct WriteReport {
    std::size_t clippedSamples = 0; // beyond full scale, written at full scale (integer formats only)
};

// For a program of its own, once at its start: SIGINT, SIGTERM and SIGHUP (unless ignored already) remove the
// temporary file of the write under way, then end the process as they would have; SIGXFSZ is ignored, so a
// write past the file-size limit fails ("File too large") as any other failed write.
void removeTemporaryFilesOnSignals();

// Writes in the format chosen by the name; integer formats clip instead of wrapping. A symbolic link is
// followed and its target written. A regular file appears under its name only once complete: a failed write
// leaves whatever was there before, and an existing file keeps its mode and, where the process may, its owner
// and group (its other hard links keep the old content). A character device or FIFO is written directly; a
// dangling link, directory, socket or block device is refused before anything is opened. Refuses a buffer
// holding non-finite samples. Throws AudioFileError.
WriteReport writeAudioFile(const std::string& path, const AudioBuffer& buffer);

// Writes a sound file a block at a time, as writeAudioFile does: a regular file is written beside its name
// and put in place by finish(), so a writer that fails, is dropped unfinished or was given non-finite samples
// leaves whatever was there before.
class AudioFileWriter {
public:
    // Checks the layout against the format and creates the file beside its name; throws AudioFileError.
    AudioFileWriter(const std::string& path, double sampleRate, std::size_t channelCount);
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    // Appends frames of every non-interleaved channel. From the first non-finite sample on, the file is
    // given up (removed at once) and later samples are only counted. Throws AudioFileError.
    void write(const float* const* channels, std::size_t frames);
    // Completes the file and renames it into place; throws AudioFileError, with how many samples were not
    // finite if any were.
    WriteReport finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};
