#include "audiounit/AudioUnitBase.hpp"
#include "audiounit/PCMBuffer.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace audiounit;

namespace {

const AudioComponentDescription kDescription{kAudioUnitTypeEffect, fourCharCode("tsry"),
                                             fourCharCode("Kstr")};

class TestUnit : public AudioUnitBase {
public:
    explicit TestUnit(std::vector<int32_t> capabilities, uint32_t inChannels = 2, uint32_t outChannels = 2,
                      const AudioComponentDescription& description = kDescription)
        : AudioUnitBase(description), capabilities_(std::move(capabilities)) {
        inputs_ = AudioBusArray::create(*this, BusType::input,
                                        {AudioBus::createOrThrow(AudioFormat::standard(44100, inChannels))});
        outputs_ = AudioBusArray::create(
            *this, BusType::output, {AudioBus::createOrThrow(AudioFormat::standard(44100, outChannels))});
    }

    std::shared_ptr<AudioBusArray> inputBusses() const override { return inputs_; }
    std::shared_ptr<AudioBusArray> outputBusses() const override { return outputs_; }
    std::vector<int32_t> channelCapabilities() const override { return capabilities_; }

    int renders = 0;

protected:
    OSStatus internalRender(AudioUnitRenderActionFlags*, const AudioTimeStamp*, uint32_t, int64_t,
                            AudioBufferList*, const RenderEvent*, PullInputBlock) override {
        ++renders;
        return kNoErr;
    }

private:
    std::vector<int32_t> capabilities_;
    std::shared_ptr<AudioBusArray> inputs_;
    std::shared_ptr<AudioBusArray> outputs_;
};

std::shared_ptr<AUParameterTree> makeTree() {
    std::vector<std::shared_ptr<AUParameter>> parameters;
    for (AUParameterAddress address : {0u, 7u, 17u}) {
        parameters.push_back(AUParameterTree::createParameter("p" + std::to_string(address), "P", address,
                                                              -100, 100, AudioUnitParameterUnit::generic, "",
                                                              0xC0000000, std::nullopt, std::nullopt));
    }
    return AUParameterTree::createTree(parameters);
}

} // namespace

TEST(AudioBus, CreationAndFormatChangesRejectUnrenderableFormats) {
    OSStatus status = 1;
    EXPECT_EQ(AudioBus::create(AudioFormat::standard(44100, 0), &status), nullptr);
    EXPECT_EQ(status, kErrFormatNotSupported);
    EXPECT_EQ(AudioBus::create(AudioFormat::standard(0, 2)), nullptr);
    EXPECT_EQ(AudioBus::create(AudioFormat::standard(-48000, 2)), nullptr);
    EXPECT_EQ(AudioBus::create(AudioFormat::standard(std::nan(""), 2)), nullptr);
    EXPECT_EQ(AudioBus::create(AudioFormat::standard(44100, AudioBufferList::kMaxBuffers + 1)), nullptr);
    try {
        AudioBus::createOrThrow(AudioFormat::standard(44100, 0));
        FAIL() << "expected an error";
    } catch (const AudioUnitError& error) {
        EXPECT_EQ(error.status(), kErrFormatNotSupported);
    }

    auto bus = AudioBus::create(AudioFormat::standard(48000, 1), &status);
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(status, kNoErr);
    EXPECT_TRUE(bus->format().isStandard());
    EXPECT_EQ(bus->setFormat(AudioFormat::standard(48000, 0)), kErrFormatNotSupported);
    EXPECT_EQ(bus->format(), AudioFormat::standard(48000, 1));

    // A bus of an allocated unit keeps its format: buffers were sized for it.
    auto unit = std::make_shared<TestUnit>(std::vector<int32_t>{-1, -2});
    auto input = (*unit->inputBusses())[0];
    EXPECT_EQ(input->setFormat(AudioFormat::standard(96000, 1)), kNoErr);
    unit->allocateRenderResources();
    EXPECT_EQ(input->setFormat(AudioFormat::standard(48000, 2)), kErrCannotDoInCurrentContext);
    EXPECT_EQ(input->format(), AudioFormat::standard(96000, 1));
    unit->deallocateRenderResources();
    EXPECT_EQ(input->setFormat(AudioFormat::standard(48000, 2)), kNoErr);
    EXPECT_EQ((*unit->inputBusses())[1], nullptr);
}

TEST(AudioUnitBase, AllocationLifecycleGuardsRenderAndMaximumFrames) {
    auto unit = std::make_shared<TestUnit>(std::vector<int32_t>{-1, -2});
    EXPECT_FALSE(unit->renderResourcesAllocated());
    EXPECT_EQ(unit->maximumFramesToRender(), 1024u);
    EXPECT_EQ(unit->setMaximumFramesToRender(0), kErrInvalidPropertyValue);
    EXPECT_EQ(unit->setMaximumFramesToRender(512), kNoErr);

    AudioBufferList out;
    AudioTimeStamp time;
    EXPECT_EQ(unit->render(nullptr, &time, 64, 0, &out, nullptr, nullptr), kErrUninitialized);
    EXPECT_EQ(unit->renders, 0);

    unit->allocateRenderResources();
    EXPECT_TRUE(unit->renderResourcesAllocated());
    EXPECT_EQ(unit->render(nullptr, &time, 64, 0, &out, nullptr, nullptr), kNoErr);
    EXPECT_EQ(unit->renders, 1);
    EXPECT_EQ(unit->setMaximumFramesToRender(4096), kErrCannotDoInCurrentContext);
    EXPECT_EQ(unit->maximumFramesToRender(), 512u);

    unit->deallocateRenderResources();
    EXPECT_EQ(unit->render(nullptr, &time, 64, 0, &out, nullptr, nullptr), kErrUninitialized);
    EXPECT_EQ(unit->renders, 1);
    EXPECT_EQ(unit->setMaximumFramesToRender(4096), kNoErr);
    EXPECT_EQ(unit->maximumFramesToRender(), 4096u);

    unit->setShouldBypassEffect(true);
    EXPECT_TRUE(unit->shouldBypassEffect());
}

TEST(AudioUnitBase, AllocationChecksChannelCapabilities) {
    auto expectRefused = [](std::shared_ptr<TestUnit> unit) {
        try {
            unit->allocateRenderResources();
            ADD_FAILURE() << "allocation should fail";
        } catch (const AudioUnitError& error) {
            EXPECT_EQ(error.status(), kErrFormatNotSupported);
        }
        EXPECT_FALSE(unit->renderResourcesAllocated());
    };
    expectRefused(std::make_shared<TestUnit>(std::vector<int32_t>{2, 2}, 1, 2));
    expectRefused(std::make_shared<TestUnit>(std::vector<int32_t>{-1, -1}, 1, 2));
    expectRefused(std::make_shared<TestUnit>(std::vector<int32_t>{-4, -4}, 6, 2));
    expectRefused(std::make_shared<TestUnit>(std::vector<int32_t>{1, 1, 2, 2}, 1, 2));

    for (auto unit : {std::make_shared<TestUnit>(std::vector<int32_t>{-1, -2}, 1, 6),
                      std::make_shared<TestUnit>(std::vector<int32_t>{-1, -1}, 3, 3),
                      std::make_shared<TestUnit>(std::vector<int32_t>{1, 1, 1, 2}, 1, 2),
                      std::make_shared<TestUnit>(std::vector<int32_t>{-4, 2}, 4, 2),
                      std::make_shared<TestUnit>(std::vector<int32_t>{}, 5, 1)}) {
        EXPECT_NO_THROW(unit->allocateRenderResources());
        EXPECT_TRUE(unit->renderResourcesAllocated());
    }
}

TEST(AudioUnitBase, FullStateRoundTripsParameterValues) {
    auto source = std::make_shared<TestUnit>(std::vector<int32_t>{-1, -2});
    EXPECT_EQ(source->fullState()->at(AudioUnitBase::kStateDataKey), StateValue(StateDictionary{}));
    source->setParameterTree(makeTree());
    source->parameterTree()->parameterWithAddress(0)->setValue(12.5f);
    source->parameterTree()->parameterWithAddress(7)->setValue(-3.0f);
    source->parameterTree()->parameterWithAddress(17)->setValue(0.25f);
    // Saved values are read through the provider (the kernel answers in the real unit).
    source->parameterTree()->setImplementorValueProvider(
        [](const AUParameter& p) { return p.address() == 17 ? 0.75f : p.storedValue(); });

    const auto state = source->fullState();
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(*state->at(AudioUnitBase::kStateSubtypeKey).get<int64_t>(), int64_t(fourCharCode("tsry")));
    const auto& data = *state->at(AudioUnitBase::kStateDataKey).get<StateDictionary>();
    EXPECT_EQ(data.size(), 3u);
    EXPECT_EQ(*data.at("17").get<double>(), 0.75);

    auto target = std::make_shared<TestUnit>(std::vector<int32_t>{-1, -2});
    target->setParameterTree(makeTree());
    std::vector<std::pair<AUParameterAddress, float>> observed;
    target->parameterTree()->setImplementorValueObserver(
        [&](const AUParameter& p, float v) { observed.emplace_back(p.address(), v); });
    target->setFullState(state);
    EXPECT_EQ(observed,
              (std::vector<std::pair<AUParameterAddress, float>>{{0, 12.5f}, {17, 0.75f}, {7, -3.0f}}));

    // Integers are accepted; unknown addresses, bad keys and non-finite values are skipped.
    auto edited = *state;
    auto& editedData = *edited.at(AudioUnitBase::kStateDataKey).get<StateDictionary>();
    editedData["0"] = int64_t(4);
    editedData["7"] = std::numeric_limits<double>::quiet_NaN();
    editedData["9"] = 1.0;
    editedData["x"] = 1.0;
    editedData["17"] = "text";
    observed.clear();
    target->setFullState(edited);
    EXPECT_EQ(observed, (std::vector<std::pair<AUParameterAddress, float>>{{0, 4.0f}}));

    // Another component's state, or none, changes nothing.
    auto foreign = std::make_shared<TestUnit>(
        std::vector<int32_t>{-1, -2}, 2, 2,
        AudioComponentDescription{kAudioUnitTypeEffect, fourCharCode("othr"), fourCharCode("Kstr")});
    foreign->setParameterTree(makeTree());
    observed.clear();
    target->setFullState(foreign->fullState());
    target->setFullState(std::nullopt);
    EXPECT_TRUE(observed.empty());
}

TEST(PCMBuffer, ListsDescribeOwnedStorageAndStayIndependent) {
    EXPECT_EQ(PCMBuffer::create(AudioFormat::standard(44100, 0), 16), nullptr);
    auto buffer = PCMBuffer::create(AudioFormat::standard(44100, 2), 16);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->frameCapacity(), 16u);
    EXPECT_EQ(buffer->frameLength(), 0u);
    const AudioBufferList* list = buffer->audioBufferList();
    ASSERT_EQ(list->numberBuffers, 2u);
    EXPECT_EQ(list->buffers[0].data, buffer->channelData(0));
    EXPECT_EQ(list->buffers[1].data, buffer->channelData(1));
    EXPECT_EQ(list->buffers[1].numberChannels, 1u);
    buffer->setFrameLength(100);
    EXPECT_EQ(buffer->frameLength(), 16u);
    EXPECT_EQ(list->buffers[0].dataByteSize, 64u);

    float elsewhere[4] = {};
    AudioBufferList* mutableList = buffer->mutableAudioBufferList();
    EXPECT_NE(mutableList, list);
    mutableList->numberBuffers = 1;
    mutableList->buffers[0].data = elsewhere;
    EXPECT_EQ(list->numberBuffers, 2u);
    EXPECT_EQ(list->buffers[0].data, buffer->channelData(0));
}
