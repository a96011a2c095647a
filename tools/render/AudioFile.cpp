#include "tools/render/AudioFile.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <sndfile.h>

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

void writeAudioFile(const std::string& path, const AudioBuffer& buffer) {
    const std::size_t channels = buffer.channelCount();
    if (channels == 0) {
        throw AudioFileError("nothing to write to '" + path + "': no channels");
    }
    const double rate = std::round(buffer.sampleRate);
    if (rate < 1 || rate > 2147483647.0) {
        throw AudioFileError("cannot write '" + path + "': unsupported sample rate");
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

    SndfileHandle file(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!file) {
        throw AudioFileError("cannot write '" + path + "': " + sf_strerror(nullptr));
    }
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
        if (sf_writef_float(file.get(), interleaved.data(), wanted) != wanted) {
            throw AudioFileError("error while writing '" + path + "': " + sf_strerror(file.get()));
        }
    }
    if (sf_close(file.release()) != 0) {
        throw AudioFileError("error while finishing '" + path + "'");
    }
}
