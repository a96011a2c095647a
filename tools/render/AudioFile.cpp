#include "tools/render/AudioFile.hpp"

#include "tools/render/QuotedText.hpp"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

constexpr std::size_t kChunkFrames = 8192;

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

struct AudioFileReader::State {
    std::string path;
    SF_INFO info{};
    SndfileHandle file;
    std::vector<float> interleaved;
};

AudioFileReader::AudioFileReader(const std::string& path) : state_(std::make_unique<State>()) {
    state_->path = path;
    state_->file.reset(sf_open(path.c_str(), SFM_READ, &state_->info));
    if (!state_->file) {
        throw AudioFileError("cannot read " + quotedText(path) + ": " + sf_strerror(nullptr));
    }
    if (state_->info.channels < 1 || state_->info.samplerate < 1) {
        throw AudioFileError(quotedText(path) + " has no channels or no sample rate");
    }
    state_->interleaved.resize(kChunkFrames * channelCount());
}

AudioFileReader::~AudioFileReader() = default;

double AudioFileReader::sampleRate() const {
    return state_->info.samplerate;
}

std::size_t AudioFileReader::channelCount() const {
    return static_cast<std::size_t>(state_->info.channels);
}

std::size_t AudioFileReader::read(float* const* channels, std::size_t frames) {
    const std::size_t count = channelCount();
    float* const interleaved = state_->interleaved.data();
    std::size_t done = 0;
    while (done < frames) {
        const auto wanted = static_cast<sf_count_t>(std::min<std::size_t>(kChunkFrames, frames - done));
        const sf_count_t got = sf_readf_float(state_->file.get(), interleaved, wanted);
        for (sf_count_t f = 0; f < got; ++f) {
            for (std::size_t c = 0; c < count; ++c) {
                channels[c][done + static_cast<std::size_t>(f)] =
                    interleaved[static_cast<std::size_t>(f) * count + c];
            }
        }
        done += static_cast<std::size_t>(std::max<sf_count_t>(got, 0));
        if (got < wanted) {
            break;
        }
    }
    if (done < frames && sf_error(state_->file.get()) != SF_ERR_NO_ERROR) {
        throw AudioFileError("error while reading " + quotedText(state_->path) + ": " +
                             sf_strerror(state_->file.get()));
    }
    return done;
}

AudioBuffer readAudioFile(const std::string& path) {
    AudioFileReader reader(path);
    const std::size_t channels = reader.channelCount();
    AudioBuffer buffer;
    buffer.sampleRate = reader.sampleRate();
    buffer.channels.resize(channels);

    std::vector<std::vector<float>> block(channels, std::vector<float>(kChunkFrames));
    std::vector<float*> pointers;
    for (auto& channel : block) {
        pointers.push_back(channel.data());
    }
    for (;;) {
        const std::size_t got = reader.read(pointers.data(), kChunkFrames);
        for (std::size_t c = 0; c < channels; ++c) {
            buffer.channels[c].insert(buffer.channels[c].end(), block[c].begin(),
                                      block[c].begin() + static_cast<std::ptrdiff_t>(got));
        }
        if (got < kChunkFrames) {
            break;
        }
    }
    return buffer;
}

namespace {

// The temporary file being written, for the interrupt handler: a fixed buffer and a flag, so the handler
// reads only memory that never moves and calls nothing but unlink.
char gTemporaryPath[PATH_MAX];
std::atomic<bool> gTemporaryPathSet{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void removeTemporaryAndStop(int signal) {
    if (gTemporaryPathSet.load()) {
        unlink(gTemporaryPath);
    }
    // The handler was reset to the default when it ran; the signal stays blocked until the handler returns
    // and then ends the process as it would have without the handler.
    raise(signal);
}

std::string systemFailure(const std::string& what, const std::string& path, int error) {
    return what + " " + quotedText(path) + ": " + std::strerror(error);
}

// What the output's name leads to once symbolic links are followed.
struct OutputTarget {
    enum class Kind { none, regular, stream };
    std::string path; // the file to replace or write, links followed
    Kind kind = Kind::none;
    struct stat status {};
};

// Refuses a dangling link and any name that is neither a regular file nor a character device or FIFO, before
// anything is opened.
OutputTarget outputTarget(const std::string& path) {
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0) {
        if (errno == ENOENT) {
            return {path, OutputTarget::Kind::none, {}};
        }
        throw AudioFileError(systemFailure("cannot write", path, errno));
    }
    OutputTarget target{path, OutputTarget::Kind::none, link};
    if (S_ISLNK(link.st_mode)) {
        char* resolved = realpath(path.c_str(), nullptr);
        if (resolved == nullptr) {
            if (errno == ENOENT) {
                throw AudioFileError("cannot write " + quotedText(path) +
                                     ": it is a symbolic link to a file that does not exist");
            }
            throw AudioFileError(systemFailure("cannot write", path, errno));
        }
        target.path = resolved;
        std::free(resolved);
        if (stat(target.path.c_str(), &target.status) != 0) {
            throw AudioFileError(systemFailure("cannot write", path, errno));
        }
    }
    const mode_t type = target.status.st_mode & S_IFMT;
    if (type == S_IFREG) {
        target.kind = OutputTarget::Kind::regular;
    } else if (type == S_IFCHR || type == S_IFIFO) {
        target.kind = OutputTarget::Kind::stream;
    } else {
        const char* what = type == S_IFDIR    ? "a directory"
                           : type == S_IFSOCK ? "a socket"
                           : type == S_IFBLK  ? "a block device"
                                              : "not a file";
        throw AudioFileError("cannot write " + quotedText(path) + ": it is " + what);
    }
    return target;
}

// Where the audio goes. A regular or new file is written under a hidden temporary name beside it and put in
// its place only when complete, keeping an existing file's mode and, where the process may, its owner and
// group; the temporary goes again unless committed. A character device or FIFO is written directly: it
// cannot be replaced, and holds nothing to keep.
class OutputFile {
public:
    explicit OutputFile(const std::string& name) : name_(name) {
        const OutputTarget target = outputTarget(name);
        if (target.kind == OutputTarget::Kind::stream) {
            fd_ = open(target.path.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd_ < 0) {
                throw AudioFileError(systemFailure("cannot write", name, errno));
            }
            committed_ = true; // nothing to put in place
            return;
        }
        target_ = target.path;
        const std::filesystem::path path(target_);
        const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
        // A short fixed pattern, so the temporary's name fits wherever the target's does.
        std::string pattern = (folder / ".tessaray-XXXXXX").string();
        fd_ = mkstemp(pattern.data());
        if (fd_ < 0) {
            throw AudioFileError(systemFailure("cannot write", name, errno));
        }
        temporary_ = pattern;
        if (temporary_.size() < sizeof gTemporaryPath) {
            gTemporaryPathSet.store(false);
            std::memcpy(gTemporaryPath, temporary_.c_str(), temporary_.size() + 1);
            gTemporaryPathSet.store(true);
            registered_ = true;
        }
        if (target.kind == OutputTarget::Kind::regular) {
            keepOwnerAndMode(target.status);
        } else {
            // mkstemp makes the file private; give it the mode a newly created file would have had.
            const mode_t mask = umask(0);
            umask(mask);
            fchmod(fd_, 0666 & ~mask);
        }
    }
    ~OutputFile() {
        if (fd_ >= 0) {
            close(fd_);
        }
        if (!committed_) {
            unlink(temporary_.c_str());
        }
        unregister();
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    int fd() const { return fd_; }
    // libsndfile took the descriptor over and closes it.
    void released() { fd_ = -1; }
    // Puts the finished file in the target's place in one step.
    void commit() {
        if (committed_) {
            return;
        }
        if (rename(temporary_.c_str(), target_.c_str()) != 0) {
            throw AudioFileError(systemFailure("cannot write", name_, errno));
        }
        committed_ = true;
        unregister();
    }

private:
    void keepOwnerAndMode(const struct stat& old) {
        struct stat made {};
        fstat(fd_, &made);
        mode_t mode = old.st_mode & 07777;
        if (made.st_uid != old.st_uid || made.st_gid != old.st_gid) {
            // Only a privileged process may give a file away; any owner may still pick one of its groups.
            if (fchown(fd_, old.st_uid, old.st_gid) != 0 &&
                fchown(fd_, static_cast<uid_t>(-1), old.st_gid) != 0) {
                mode &= ~static_cast<mode_t>(S_ISGID);
            }
            fstat(fd_, &made);
            if (made.st_uid != old.st_uid) {
                mode &= ~static_cast<mode_t>(S_ISUID);
            }
        }
        fchmod(fd_, mode);
    }
    void unregister() {
        if (registered_ && std::strcmp(gTemporaryPath, temporary_.c_str()) == 0) {
            gTemporaryPathSet.store(false);
        }
        registered_ = false;
    }

    std::string name_;      // as given, for messages
    std::string target_;    // the file to replace, links followed
    std::string temporary_; // empty when written directly
    int fd_ = -1;
    bool committed_ = false;
    bool registered_ = false;
};

// The system's reason when the failure came from it (libsndfile then says only "System error."), else
// libsndfile's own (a short write leaves libsndfile's at "No Error.").
std::string writeFailure(SNDFILE* file, int error) {
    const int code = sf_error(file);
    if (code != SF_ERR_NO_ERROR && code != SF_ERR_SYSTEM) {
        return sf_error_number(code);
    }
    return error != 0 ? std::strerror(error) : "the file could not be written in full";
}

std::string nonFiniteMessage(const std::string& path, std::size_t count) {
    return "cannot write " + quotedText(path) + ": " + std::to_string(count) +
           " samples are not finite (NaN or infinity)";
}

} // namespace

void removeTemporaryFilesOnSignals() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) {
            continue; // ignored by whoever started the process (nohup, a background job): stays so
        }
        struct sigaction action {};
        action.sa_handler = removeTemporaryAndStop;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGXFSZ, SIG_IGN);
}

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
        throw AudioFileError("nothing to write to " + quotedText(path) + ": no channels");
    }
    // Refused before anything is created.
    if (const std::size_t bad = nonFiniteSampleCount(buffer); bad > 0) {
        throw AudioFileError(nonFiniteMessage(path, bad));
    }
    AudioFileWriter writer(path, buffer.sampleRate, channels);
    std::vector<const float*> pointers;
    for (const auto& channel : buffer.channels) {
        pointers.push_back(channel.data());
    }
    writer.write(pointers.data(), buffer.frameCount());
    return writer.finish();
}

struct AudioFileWriter::State {
    std::string path;
    AudioFileFormat format = AudioFileFormat::wavFloat;
    std::size_t channels = 0;
    // Declared before the handle, so libsndfile closes the file before the temporary goes.
    std::optional<OutputFile> output;
    SndfileHandle file;
    // Frames go to libsndfile in whole chunks, however the caller's blocks fall.
    std::vector<float> interleaved;
    std::size_t pending = 0;
    WriteReport report;
    std::size_t nonFinite = 0;
    bool finished = false;

    void flush() {
        if (pending == 0) {
            return;
        }
        const auto wanted = static_cast<sf_count_t>(pending);
        pending = 0;
        errno = 0;
        if (sf_writef_float(file.get(), interleaved.data(), wanted) != wanted) {
            const int error = errno;
            throw AudioFileError("error while writing " + quotedText(path) + ": " +
                                 writeFailure(file.get(), error));
        }
    }
};

AudioFileWriter::AudioFileWriter(const std::string& path, double sampleRate, std::size_t channelCount)
    : state_(std::make_unique<State>()) {
    if (channelCount == 0) {
        throw AudioFileError("nothing to write to " + quotedText(path) + ": no channels");
    }
    const double rate = std::round(sampleRate);
    if (rate < 1 || rate > 2147483647.0) {
        throw AudioFileError("cannot write " + quotedText(path) + ": unsupported sample rate");
    }

    const AudioFileFormat format = audioFileFormatFor(path);
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = static_cast<int>(channelCount);
    info.format = format == AudioFileFormat::flac24 ? (SF_FORMAT_FLAC | SF_FORMAT_PCM_24)
                                                    : (SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    if (!sf_format_check(&info)) {
        throw AudioFileError("cannot write " + quotedText(path) + ": the format does not support " +
                             std::to_string(channelCount) + " channels at " +
                             std::to_string(info.samplerate) + " Hz");
    }

    State& state = *state_;
    state.path = path;
    state.format = format;
    state.channels = channelCount;
    // Written beside the target and renamed over it only when complete, so a failure (a full disk, a
    // file-size limit) never leaves a truncated file that looks whole, nor destroys what was there.
    state.output.emplace(path);
    state.file.reset(sf_open_fd(state.output->fd(), SFM_WRITE, &info, SF_TRUE));
    state.output->released(); // closed by libsndfile, also when it fails
    if (!state.file) {
        throw AudioFileError("cannot write " + quotedText(path) + ": " + sf_strerror(nullptr));
    }
    if (format == AudioFileFormat::flac24) {
        // Without this, samples beyond full scale wrap around to the opposite sign.
        sf_command(state.file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    }
    state.interleaved.resize(kChunkFrames * channelCount);
}

AudioFileWriter::~AudioFileWriter() = default;

void AudioFileWriter::write(const float* const* channels, std::size_t frames) {
    State& state = *state_;
    for (std::size_t c = 0; c < state.channels; ++c) {
        state.nonFinite += static_cast<std::size_t>(
            std::count_if(channels[c], channels[c] + frames, [](float x) { return !std::isfinite(x); }));
    }
    if (state.nonFinite > 0) {
        // Nothing of this render may appear: the partial file goes now rather than at the end.
        state.file.reset();
        state.output.reset();
        return;
    }
    if (state.format == AudioFileFormat::flac24) {
        for (std::size_t c = 0; c < state.channels; ++c) {
            state.report.clippedSamples += static_cast<std::size_t>(std::count_if(
                channels[c], channels[c] + frames, [](float x) { return std::fabs(x) > 1.0f; }));
        }
    }
    for (std::size_t f = 0; f < frames;) {
        const std::size_t count = std::min(kChunkFrames - state.pending, frames - f);
        float* const out = state.interleaved.data() + state.pending * state.channels;
        for (std::size_t i = 0; i < count; ++i) {
            for (std::size_t c = 0; c < state.channels; ++c) {
                out[i * state.channels + c] = channels[c][f + i];
            }
        }
        state.pending += count;
        f += count;
        if (state.pending == kChunkFrames) {
            state.flush();
        }
    }
}

WriteReport AudioFileWriter::finish() {
    State& state = *state_;
    if (state.nonFinite > 0) {
        throw AudioFileError(nonFiniteMessage(state.path, state.nonFinite));
    }
    if (state.finished || !state.file) {
        throw AudioFileError("cannot write " + quotedText(state.path) + ": the file was already finished");
    }
    state.flush();
    errno = 0;
    sf_write_sync(state.file.get());
    if (sf_close(state.file.release()) != 0) {
        throw AudioFileError("error while finishing " + quotedText(state.path) + ": " +
                             (errno != 0 ? std::strerror(errno) : "the file could not be closed"));
    }
    state.output->commit();
    state.finished = true;
    return state.report;
}
