#include "tools/render/AudioFile.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

constexpr sf_count_t kChunkFrames = 8192;

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

AudioFileFormat audioFileFormatFor(const std::string& path) {
    const std::string lower = lowercase(path);
    const std::string flac = ".flac";
    if (lower.size() >= flac.size() && lower.compare(lower.size() - flac.size(), flac.size(), flac) == 0) {
        return AudioFileFormat::flac24;
    }
    return AudioFileFormat::wavFloat;
}

AudioBuffer readAudioFile(const std::string& path) {
    SF_INFO info{};
    SndfileHandle file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        throw AudioFileError("cannot read '" + path + "': " + sf_strerror(nullptr));
    }
    if (info.channels < 1 || info.samplerate < 1) {
        throw AudioFileError("'" + path + "' has no channels or no sample rate");
    }

    const auto channels = static_cast<std::size_t>(info.channels);
    AudioBuffer buffer;
    buffer.sampleRate = info.samplerate;
    buffer.channels.resize(channels);
    for (auto& channel : buffer.channels) {
        channel.reserve(static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0)));
    }

    std::vector<float> interleaved(static_cast<std::size_t>(kChunkFrames) * channels);
    for (;;) {
        const sf_count_t got = sf_readf_float(file.get(), interleaved.data(), kChunkFrames);
        if (got <= 0) {
            break;
        }
        for (sf_count_t f = 0; f < got; ++f) {
            for (std::size_t c = 0; c < channels; ++c) {
                buffer.channels[c].push_back(interleaved[static_cast<std::size_t>(f) * channels + c]);
            }
        }
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
        throw AudioFileError("error while reading '" + path + "': " + sf_strerror(file.get()));
    }
    return buffer;
}

namespace {

// A file created next to the target under a hidden temporary name; removed again unless committed.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) : target_(target) {
        const std::filesystem::path path(target);
        const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
        std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
        fd_ = mkstemp(pattern.data());
        if (fd_ < 0) {
            throw AudioFileError("cannot write '" + target + "': " + std::strerror(errno));
        }
        path_ = pattern;
        // mkstemp makes the file private; give it the mode a newly created file would have had.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
    }
    ~TemporaryFile() {
        if (fd_ >= 0) {
            close(fd_);
        }
        if (!committed_) {
            unlink(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return fd_; }
    // libsndfile took the descriptor over and closed it.
    void released() { fd_ = -1; }
    // Puts the finished file in the target's place in one step.
    void commit() {
        if (rename(path_.c_str(), target_.c_str()) != 0) {
            throw AudioFileError("cannot write '" + target_ + "': " + std::strerror(errno));
        }
        committed_ = true;
    }

private:
    std::string target_;
    std::string path_;
    int fd_ = -1;
    bool committed_ = false;
};

// libsndfile's own message when it has one, else the system's (a short write leaves libsndfile's at
// "No Error.").
std::string writeFailure(SNDFILE* file) {
    const int code = sf_error(file);
    if (code != SF_ERR_NO_ERROR) {
        return sf_error_number(code);
    }
    return errno != 0 ? std::strerror(errno) : "the file could not be written in full";
}

} // namespace

std::size_t nonFiniteSampleCount(const AudioBuffer& buffer) {
    std::size_t count = 0;
    for (const auto& channel : buffer.channels) {
        count += static_cast<std::size_t>(
            std::count_if(channel.begin(), channel.end(), [](float x) { return !std::isfinite(x); }));
    }
    return count;
}

WriteReport writeAudioFile(const std::string& path, const AudioBuffer& buffer) {
    const std::size_t channels = buffer.channelCount();
    if (channels == 0) {
        throw AudioFileError("nothing to write to '" + path + "': no channels");
    }
    const double rate = std::round(buffer.sampleRate);
    if (rate < 1 || rate > 2147483647.0) {
        throw AudioFileError("cannot write '" + path + "': unsupported sample rate");
    }
    if (const std::size_t bad = nonFiniteSampleCount(buffer); bad > 0) {
        throw AudioFileError("cannot write '" + path + "': " + std::to_string(bad) +
                             " samples are not finite (NaN or infinity)");
    }

    const AudioFileFormat format = audioFileFormatFor(path);
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = static_cast<int>(channels);
    info.format = format == AudioFileFormat::flac24 ? (SF_FORMAT_FLAC | SF_FORMAT_PCM_24)
                                                    : (SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    if (!sf_format_check(&info)) {
        throw AudioFileError("cannot write '" + path + "': the format does not support " +
                             std::to_string(channels) + " channels at " + std::to_string(info.samplerate) +
                             " Hz");
    }

    WriteReport report;
    if (format == AudioFileFormat::flac24) {
        for (const auto& channel : buffer.channels) {
            report.clippedSamples += static_cast<std::size_t>(
                std::count_if(channel.begin(), channel.end(), [](float x) { return std::fabs(x) > 1.0f; }));
        }
    }

    // Written beside the target and renamed over it only when complete, so a failure (a full disk, a
    // file-size limit) never leaves a truncated file that looks whole, nor destroys what was there.
    TemporaryFile temporary(path);
    SndfileHandle file(sf_open_fd(temporary.fd(), SFM_WRITE, &info, SF_TRUE));
    if (!file) {
        throw AudioFileError("cannot write '" + path + "': " + sf_strerror(nullptr));
    }
    temporary.released();
    if (format == AudioFileFormat::flac24) {
        // Without this, samples beyond full scale wrap around to the opposite sign.
        sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    }

    const std::size_t frames = buffer.frameCount();
    std::vector<float> interleaved(static_cast<std::size_t>(kChunkFrames) * channels);
    for (std::size_t start = 0; start < frames; start += kChunkFrames) {
        const std::size_t count = std::min<std::size_t>(kChunkFrames, frames - start);
        for (std::size_t f = 0; f < count; ++f) {
            for (std::size_t c = 0; c < channels; ++c) {
                interleaved[f * channels + c] = buffer.channels[c][start + f];
            }
        }
        const auto wanted = static_cast<sf_count_t>(count);
        errno = 0;
        if (sf_writef_float(file.get(), interleaved.data(), wanted) != wanted) {
            throw AudioFileError("error while writing '" + path + "': " + writeFailure(file.get()));
        }
    }
    errno = 0;
    sf_write_sync(file.get());
    if (sf_close(file.release()) != 0) {
        throw AudioFileError("error while finishing '" + path +
                             "': " + (errno != 0 ? std::strerror(errno) : "the file could not be closed"));
    }
    temporary.commit();
    return report;
}
