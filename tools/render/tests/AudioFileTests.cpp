#include "tools/render/AudioFile.hpp"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class AudioFileTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(directory_); }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    std::string path(const std::string& name) const { return (directory_ / name).string(); }

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
    writeAudioFile(path("x.wav"), original);
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
    writeAudioFile(path("x.flac"), original);
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
