#include "dsp/Wavetable.hpp"

#include "dsp/tests/TestSupport.hpp"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using testwt::File;

namespace {

File smallFile() {
    File f;
    f.addCycle(testwt::Shape::Sine, 60, 8, 1.0f);
    f.addCycle(testwt::Shape::Sine, 60, 9, 0.0f);
    f.addCycle(testwt::Shape::Sine, 64, 6, -2.0f);
    return f;
}

TEST(WavetableParse, ValidFileAndNoteRemap) {
    const File f = smallFile();
    const auto bytes = f.bytes();
    WavetableSlot slot;
    ASSERT_TRUE(slot.parse(bytes.data(), bytes.size()));
    EXPECT_EQ(slot.records.size(), 3u);
    EXPECT_EQ(slot.samples.size(), 23u);
    EXPECT_EQ(slot.tableSampleRate, 48000.0);
    EXPECT_EQ(slot.records[1].length, 9u);
    EXPECT_EQ(slot.records[1].weight, 0.001f); // weights are floored
    EXPECT_EQ(slot.records[2].weight, 0.001f);
    EXPECT_EQ(slot.records[2].rootNote, 64u);
    EXPECT_EQ(slot.noteMap[60].count, 2u);
    EXPECT_EQ(slot.noteMap[64].first, 2u);
    EXPECT_EQ(slot.samples[2], f.samples[2]);

    // Only notes 60 and 64 have records: below 60 -> 60; 61, 62 -> 60 (62 is a tie, the lower wins); 63 up
    // -> 64.
    for (int n = 0; n <= 62; ++n) {
        EXPECT_EQ(slot.noteRemap[n], 60) << n;
    }
    for (int n = 63; n < 128; ++n) {
        EXPECT_EQ(slot.noteRemap[n], 64) << n;
    }
    slot.noteMap.fill({});
    slot.buildNoteRemap();
    for (int n = 0; n < 128; ++n) {
        EXPECT_EQ(slot.noteRemap[n], n);
    }

    // The same through a file, and a missing file.
    const std::string path = testwt::writeTemp(bytes, "small.bin");
    WavetableSlot fromFile;
    EXPECT_TRUE(fromFile.parse(path.c_str()));
    EXPECT_EQ(fromFile.samples, slot.samples);
    EXPECT_FALSE(fromFile.parse((path + ".missing").c_str()));
    EXPECT_FALSE(fromFile.usable());
    EXPECT_FALSE(fromFile.parse(nullptr));
}

// What the host's disk holds in place of a table is outside data: anything but a regular file of sensible
// size is refused without a throw or a hang, and non-finite samples load as silence.
TEST(WavetableParse, HostileFilesAreRefusedAndNonFiniteSamplesLoadAsZero) {
    const std::string folder = testing::TempDir() + "/wavetable-hostile-" + std::to_string(getpid());
    std::filesystem::create_directories(folder + "/dir.bin");
    const std::string fifo = folder + "/fifo.bin";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    WavetableSlot slot;
    EXPECT_FALSE(slot.parse((folder + "/dir.bin").c_str()));
    EXPECT_FALSE(slot.parse(fifo.c_str()));
    EXPECT_FALSE(slot.parse("/dev/zero"));
    EXPECT_FALSE(slot.usable());

    const std::string oversized = folder + "/big.bin";
    {
        std::ofstream file(oversized, std::ios::binary);
        file.seekp(static_cast<std::streamoff>(WavetableSlot::kMaximumFileSize));
        file.put('\0');
    }
    EXPECT_FALSE(slot.parse(oversized.c_str()));

    File f = smallFile();
    f.samples[3] = std::nanf("");
    f.samples[5] = -INFINITY;
    const auto bytes = f.bytes();
    const std::string truncated =
        testwt::writeTemp(std::vector<uint8_t>(bytes.begin(), bytes.end() - 3), "cut.bin");
    EXPECT_FALSE(slot.parse(truncated.c_str()));
    const std::string poisoned = testwt::writeTemp(bytes, "nan.bin");
    ASSERT_TRUE(slot.parse(poisoned.c_str()));
    EXPECT_EQ(slot.nonFiniteSamples, 2u);
    EXPECT_EQ(slot.samples[3], 0.0f);
    EXPECT_EQ(slot.samples[5], 0.0f);
    EXPECT_EQ(slot.samples[4], f.samples[4]);
    std::filesystem::remove_all(folder);
}

TEST(WavetableParse, EveryRejectionLeavesTheSlotSilent) {
    using wavetablegen::putU32;
    using wavetablegen::putU64;
    using Patch = std::function<void(std::vector<uint8_t>&)>;
    const File f = smallFile();
    const size_t records = f.layout().recordsOffset(), noteMap = f.layout().noteMapOffset();
    const auto u32 = [](size_t at, uint32_t v) -> Patch { return [=](auto& b) { putU32(b, at, v); }; };
    const std::vector<std::pair<const char*, Patch>> cases = {
        {"51 bytes", [](auto& b) { b.resize(51); }},
        {"magic first byte", [](auto& b) { b[0] = 'X'; }},
        {"magic last byte", [](auto& b) { b[7] = '2'; }},
        {"version 2", u32(8, 2)},
        {"table rate 0", u32(12, 0)},
        {"note count 127", u32(20, 127)},
        {"records past end", u32(16, 1000)},
        {"records offset past end", [](auto& b) { putU64(b, 28, b.size() + 1); }},
        {"records offset overflow", [](auto& b) { putU64(b, 28, ~uint64_t{0} - 8); }},
        {"note map past end", [](auto& b) { putU64(b, 36, b.size() - 1000); }},
        {"samples past end", u32(24, 24)},
        {"samples offset past end", [](auto& b) { putU64(b, 44, b.size() + 4); }},
        {"record length 3", u32(records + 4, 3)},
        {"root note 128", [=](auto& b) { b[records + 16 + 8] = 128; }},
        {"start + length one past", u32(records + 32, 18)},
        {"start at sample count", u32(records + 32, 23)},
        {"start + length overflow", u32(records + 32 + 4, 0xFFFFFFF0u)},
        {"note map first past count", u32(noteMap + 8 * 5, 4)},
        {"note map count past", u32(noteMap + 8 * 64 + 4, 2)},
        {"note map count overflow", u32(noteMap + 8 * 64 + 4, 0xFFFFFFFFu)},
    };
    const auto good = f.bytes();
    for (const auto& [name, patch] : cases) {
        auto bytes = good;
        patch(bytes);
        WavetableSlot slot;
        ASSERT_TRUE(slot.parse(good.data(), good.size()));
        EXPECT_FALSE(slot.parse(bytes.data(), bytes.size())) << name;
        EXPECT_TRUE(slot.samples.empty()) << name;
        EXPECT_FALSE(slot.usable()) << name;
        EXPECT_EQ(slot.noteRemap[62], 60) << name; // the previous remap stays
    }

    // A header with no records and no samples passes every check and still reports failure.
    const auto empty = File{}.bytes();
    EXPECT_FALSE(WavetableSlot{}.parse(empty.data(), empty.size()));
}

TEST(WavetableLoad, SlotRangeAndVoiceReset) {
    auto k = testsupport::makeKernel(48000.0, 512);
    k->setParameter(17, 0.5f, false);
    testsupport::Buffers(2, 2, 512).runRich(*k, 14);
    const auto& voice = k->engine.channels[0].voices[4];
    ASSERT_TRUE(voice.shapes[0].valid && voice.shapes[1].valid && voice.shapes[2].valid);
    const auto before = voice.shapes;

    EXPECT_FALSE(k->engine.loadWavetable(3, testsupport::tablePaths()[0].c_str()));
    EXPECT_EQ(voice.shapes[1].current, before[1].current);
    EXPECT_TRUE(voice.shapes[2].valid);

    EXPECT_TRUE(k->engine.loadWavetable(0, testsupport::tablePaths()[0].c_str()));
    for (const auto& ch : k->engine.channels) {
        for (const auto& v : ch.voices) {
            for (const auto& s : v.shapes) {
                EXPECT_FALSE(s.valid);
                EXPECT_EQ(s.current, BandVoice::kNoRecord);
            }
        }
    }
    EXPECT_FALSE(k->engine.loadWavetable(1, "/nonexistent/square.bin"));
    EXPECT_FALSE(k->engine.wavetables()[1].usable());
}

// Engines that load the same content, from the same files or from copies of them elsewhere, hold one set of
// tables; a single differing bit (even 0 against -0) keeps sets apart; the set goes with its last engine.
TEST(WavetableSharing, SameContentIsHeldOnceAndReleasedWithTheLastEngine) {
    auto a = testsupport::makeKernel(48000.0, 512);
    auto b = testsupport::makeKernel(44100.0, 256);
    ASSERT_TRUE(a->engine.sharedTable().usable());
    EXPECT_EQ(a->engine.tableSet, b->engine.tableSet);
    EXPECT_EQ(&a->engine.sharedTable(), &b->engine.sharedTable());

    const auto load = [](DSPKernel& k, const std::vector<File>& files) {
        for (uint32_t slot = 0; slot < 3; ++slot) {
            ASSERT_TRUE(
                k.engine.loadWavetable(slot, testwt::writeTemp(files[slot].bytes(), "copy.bin").c_str()));
        }
    };
    std::vector<File> files = {testwt::makeShapeTable(testwt::Shape::Sawtooth),
                               testwt::makeShapeTable(testwt::Shape::Square),
                               testwt::makeShapeTable(testwt::Shape::Sine)};
    auto copied = std::make_unique<DSPKernel>();
    load(*copied, files);
    EXPECT_EQ(copied->engine.tableSet, a->engine.tableSet);

    // The sine starts at 0: as -0 it is other content, as is any other sample changed.
    ASSERT_EQ(files[2].samples[0], 0.0f);
    files[2].samples[0] = -0.0f;
    auto negativeZero = std::make_unique<DSPKernel>();
    load(*negativeZero, files);
    EXPECT_NE(negativeZero->engine.tableSet, a->engine.tableSet);
    EXPECT_TRUE(negativeZero->engine.sharedTable().usable());
    files[2].samples[0] = 0.0f;
    files[0].samples[100] = std::nextafter(files[0].samples[100], 2.0f);
    auto changed = std::make_unique<DSPKernel>();
    load(*changed, files);
    EXPECT_NE(changed->engine.tableSet, a->engine.tableSet);
    EXPECT_NE(changed->engine.tableSet, negativeZero->engine.tableSet);

    // Reloading a slot with other content moves that engine alone to another set.
    ASSERT_TRUE(b->engine.loadWavetable(1, testsupport::tablePaths()[2].c_str()));
    EXPECT_NE(b->engine.tableSet, a->engine.tableSet);
    EXPECT_TRUE(a->engine.wavetables()[1].usable());

    const std::weak_ptr<const WavetableSet> shared = a->engine.tableSet;
    a.reset();
    EXPECT_FALSE(shared.expired());
    copied.reset();
    EXPECT_TRUE(shared.expired());
}

} // namespace
