#include "tools/render/AudioFile.hpp"

#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
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
            _exit(std::string(error.what()).find("No Error") == std::string::npos ? 3 : 4);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "0: the write claimed success; 4: the reason was 'No Error'";
    EXPECT_EQ(contents(target), "the previous render");
    EXPECT_EQ(fileCount(), 1u);
}
