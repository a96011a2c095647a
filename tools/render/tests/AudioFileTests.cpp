#include "tools/render/AudioFile.hpp"

#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class AudioFileTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(directory_); }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    std::string path(const std::string& name) const { return (directory_ / name).string(); }
    std::size_t fileCount() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(directory_), {}));
    }
    static std::string contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static AudioBuffer tones(std::size_t channels, std::size_t frames, double rate) {
        AudioBuffer buffer{rate, std::vector<std::vector<float>>(channels, std::vector<float>(frames))};
        for (std::size_t c = 0; c < channels; ++c) {
            for (std::size_t i = 0; i < frames; ++i) {
                buffer.channels[c][i] =
                    static_cast<float>(0.9 * std::sin(0.01 * static_cast<double>(i * (c + 1))));
            }
        }
        return buffer;
    }

private:
    std::filesystem::path directory_ =
        std::filesystem::temp_directory_path() / ("tessaray-render-audiofile-" + std::to_string(::getpid()));
};

} // namespace

TEST_F(AudioFileTest, FloatWavRoundTripIsExact) {
    AudioBuffer original = tones(3, 20000, 44100); // longer than one internal chunk
    original.channels[2][7] = 1.75f;               // float WAV keeps overs
    EXPECT_EQ(writeAudioFile(path("x.wav"), original).clippedSamples, 0u);
    const AudioBuffer read = readAudioFile(path("x.wav"));
    EXPECT_DOUBLE_EQ(read.sampleRate, 44100);
    EXPECT_EQ(read.channels, original.channels);
}

TEST_F(AudioFileTest, FlacRoundTripKeeps24BitsAndClipsOvers) {
    EXPECT_EQ(audioFileFormatFor("dir.flac/A.FLAC"), AudioFileFormat::flac24);
    EXPECT_EQ(audioFileFormatFor("a.flac.wav"), AudioFileFormat::wavFloat);

    AudioBuffer original = tones(2, 9000, 96000);
    original.channels[0][10] = 1.5f;
    original.channels[1][10] = -2.0f;
    EXPECT_EQ(writeAudioFile(path("x.flac"), original).clippedSamples, 2u) << "the tool warns of these";
    const AudioBuffer read = readAudioFile(path("x.flac"));
    EXPECT_DOUBLE_EQ(read.sampleRate, 96000);
    ASSERT_EQ(read.channelCount(), 2u);
    ASSERT_EQ(read.frameCount(), 9000u);

    // Overs clip to full scale rather than wrapping to the other sign.
    EXPECT_GT(read.channels[0][10], 0.999f);
    EXPECT_LT(read.channels[1][10], -0.999f);
    for (std::size_t c = 0; c < 2; ++c) {
        for (std::size_t i = 11; i < 9000; ++i) {
            ASSERT_NEAR(read.channels[c][i], original.channels[c][i], 1.0 / (1 << 22)) << c << ":" << i;
        }
    }
}

TEST_F(AudioFileTest, FailuresAreReported) {
    EXPECT_THROW(readAudioFile(path("missing.wav")), AudioFileError);
    EXPECT_THROW(writeAudioFile(path("no/such/dir/out.wav"), tones(1, 10, 48000)), AudioFileError);
    EXPECT_THROW(writeAudioFile(path("empty.wav"), AudioBuffer{48000, {}}), AudioFileError);
    EXPECT_THROW(writeAudioFile(path("wide.flac"), tones(9, 10, 48000)),
                 AudioFileError); // FLAC holds 8 at most

    // A name is quoted with its control characters and ill-formed bytes escaped.
    try {
        writeAudioFile(path("no\x1b]0;title\x07\xff\xc3\xa9/out.wav"), tones(1, 10, 48000));
        FAIL() << "written into a folder that does not exist";
    } catch (const AudioFileError& error) {
        EXPECT_NE(std::string(error.what()).find("/no\\x1B]0;title\\x07\\xFF\xc3\xa9/out.wav'"),
                  std::string::npos)
            << error.what();
    }
}

TEST_F(AudioFileTest, FailedWritesLeaveNoFileAndKeepWhatWasThere) {
    // Non-finite samples are refused with the reason, before anything is created.
    AudioBuffer poisoned = tones(2, 100, 48000);
    poisoned.channels[1][50] = std::nanf("");
    poisoned.channels[0][3] = INFINITY;
    try {
        writeAudioFile(path("nan.flac"), poisoned);
        FAIL() << "a buffer with NaN was written";
    } catch (const AudioFileError& error) {
        EXPECT_NE(std::string(error.what()).find("2 samples are not finite"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(fileCount(), 0u);
    EXPECT_EQ(nonFiniteSampleCount(poisoned), 2u);

    // A write cut short by the file-size limit (as by a full disk) keeps the old file and leaves no
    // temporary.
    const std::string target = path("out.wav");
    std::ofstream(target) << "the previous render";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            writeAudioFile(target, tones(2, 200000, 48000));
        } catch (const AudioFileError& error) {
            _exit(std::string(error.what()).find("File too large") != std::string::npos ? 3 : 4);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "0: the write claimed success; 4: not the system's reason";
    EXPECT_EQ(contents(target), "the previous render");
    EXPECT_EQ(fileCount(), 1u);
}

TEST_F(AudioFileTest, ReplacingAnOutputKeepsItsLinkModeAndOwnerAndAnyValidNameFits) {
    const AudioBuffer audio = tones(2, 100, 48000);
    std::filesystem::create_directories(path("elsewhere"));
    const std::string target = path("elsewhere/target.wav");
    std::ofstream(target) << "the previous render";
    ::chmod(target.c_str(), 0600);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0); // another user's file
    }

    // A replaced file keeps its mode, and its owner and group.
    writeAudioFile(target, audio);
    struct stat status {};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(status.st_uid, 65534u);
        EXPECT_EQ(status.st_gid, 65534u);
    }

    // A symbolic link is followed: its target is replaced, the link stays.
    std::ofstream(target) << "the previous render";
    std::filesystem::create_symlink("elsewhere/target.wav", path("link.wav"));
    writeAudioFile(path("link.wav"), audio);
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.wav")));
    EXPECT_NE(contents(target), "the previous render");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("elsewhere")), {}), 1);

    // A dangling link is refused and left alone: nothing appears where it points.
    std::filesystem::create_symlink("missing.wav", path("dangling.wav"));
    EXPECT_THROW(writeAudioFile(path("dangling.wav"), audio), AudioFileError);
    EXPECT_TRUE(std::filesystem::is_symlink(path("dangling.wav")));
    EXPECT_FALSE(std::filesystem::exists(path("missing.wav")));

    // The longest name a folder takes.
    const std::string longest = path(std::string(251, 'n') + ".wav");
    EXPECT_NO_THROW(writeAudioFile(longest, audio));
}

TEST_F(AudioFileTest, NodesThatAreNotRegularFilesAreWrittenInPlaceOrRefusedUntouched) {
    const AudioBuffer audio = tones(2, 100, 48000);
    auto isKind = [](const std::string& node, mode_t kind) {
        struct stat status {};
        return ::lstat(node.c_str(), &status) == 0 && (status.st_mode & S_IFMT) == kind;
    };

    // A FIFO is written directly (held open for reading here, so the short file fits in its buffer); a
    // format that must seek back cannot be written there and says so.
    ASSERT_EQ(::mkfifo(path("fifo.flac").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(path("fifo.wav").c_str(), 0644), 0);
    const int flacReader = ::open(path("fifo.flac").c_str(), O_RDWR | O_NONBLOCK);
    const int wavReader = ::open(path("fifo.wav").c_str(), O_RDWR | O_NONBLOCK);
    writeAudioFile(path("fifo.flac"), audio);
    char head[4] = {};
    EXPECT_EQ(::read(flacReader, head, sizeof head), 4);
    EXPECT_EQ(std::string(head, 4), "fLaC");
    EXPECT_THROW(writeAudioFile(path("fifo.wav"), audio), AudioFileError);
    EXPECT_TRUE(isKind(path("fifo.flac"), S_IFIFO));
    EXPECT_TRUE(isKind(path("fifo.wav"), S_IFIFO));
    ::close(flacReader);
    ::close(wavReader);

    // Directories and sockets are refused as they are.
    std::filesystem::create_directories(path("folder.wav"));
    EXPECT_THROW(writeAudioFile(path("folder.wav"), audio), AudioFileError);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = path("socket.wav");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_THROW(writeAudioFile(socketPath, audio), AudioFileError);
    EXPECT_TRUE(isKind(socketPath, S_IFSOCK));
    ::close(socket);

    if (::geteuid() != 0) {
        GTEST_SKIP() << "device nodes need root to be made";
    }
    // A character device (the null device's numbers, in this test's own folder) is written to; a block
    // device (a loop device's numbers) is refused before it is opened.
    ASSERT_EQ(::mknod(path("null.wav").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    writeAudioFile(path("null.wav"), audio);
    EXPECT_TRUE(isKind(path("null.wav"), S_IFCHR));
    ASSERT_EQ(::mknod(path("block.wav").c_str(), S_IFBLK | 0600, makedev(7, 0)), 0);
    EXPECT_THROW(writeAudioFile(path("block.wav"), audio), AudioFileError);
    EXPECT_TRUE(isKind(path("block.wav"), S_IFBLK));
    EXPECT_EQ(fileCount(), 6u) << "a temporary file was left";
}
