#include "extension/lv2/TessarayLV2Plugin.hpp"

#include "core/Bundle.hpp"
#include "extension/lv2/EditorAccess.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <lv2/atom/util.h>
#include <stdexcept>

using namespace audiounit;

namespace {

// A bit per parameter address, as the kernel flags changes.
constexpr uint32_t kEveryParameterBit = [] {
    uint32_t bits = 0;
    for (const ParameterInfo& info : kParameterTable) {
        bits |= 1u << info.address;
    }
    return bits;
}();

TessarayLV2Plugin& plugin(LV2_Handle instance) {
    return *static_cast<TessarayLV2Plugin*>(static_cast<lv2::Plugin*>(instance));
}

const tessaray_lv2::EditorAccess kEditorAccess{
    [](LV2_Handle instance) { return &plugin(instance).audioUnit().sharedState(); },
    [](LV2_Handle instance) { return plugin(instance).editorChanges().attach(); },
    [](LV2_Handle instance, uint32_t slot) {
        TessarayLV2Plugin& p = plugin(instance);
        return p.editorChanges().take(p.audioUnit().sharedState().dirtyMask, slot);
    },
    [](LV2_Handle instance, uint32_t slot) { plugin(instance).editorChanges().detach(slot); },
    [](LV2_Handle instance) { return plugin(instance).presetNameSequence(); },
    [](LV2_Handle instance, char* buffer, uint32_t capacity) {
        const std::string name = plugin(instance).presetName();
        if (buffer && capacity > 0) {
            const std::size_t n = std::min<std::size_t>(name.size(), capacity - 1);
            std::memcpy(buffer, name.data(), n);
            buffer[n] = '\0';
        }
        return uint32_t(name.size());
    },
    [](LV2_Handle instance, const char* name) { plugin(instance).setPresetName(name ? name : ""); },
};

} // namespace

std::unique_ptr<lv2::Plugin> TessarayLV2Plugin::instantiate(const lv2::InstantiateArguments& arguments) {
    const auto options = lv2::HostOptions::read(arguments.features.options, arguments.features.map);
    return std::make_unique<TessarayLV2Plugin>(arguments.sampleRate, arguments.bundlePath,
                                               options.maximumBlock(tessaray_lv2::kDefaultMaximumBlock),
                                               arguments.features.map);
}

const void* TessarayLV2Plugin::pluginExtensionData(const char* uri) {
    return std::strcmp(uri, tessaray_lv2::kEditorAccessURI) == 0 ? &kEditorAccess : nullptr;
}

TessarayLV2Plugin::TessarayLV2Plugin(double sampleRate, const char* bundlePath, uint32_t maximumBlock,
                                     const LV2_URID_Map* map)
    : maximumBlock_(std::clamp(maximumBlock, 1u, tessaray_lv2::kLargestInternalBlock)) {
    // The wavetables sit in the plug-in's own bundle; the host's working directory means nothing here.
    std::shared_ptr<core::Bundle> bundle = bundlePath ? core::Bundle::atPath(bundlePath) : nullptr;
    if (!bundle) {
        throw std::runtime_error("Tessaray: the plug-in bundle directory is missing");
    }
    unit_ = TessarayAudioUnit::create(TessarayAudioUnit::defaultComponentDescription(), 0, std::move(bundle));

    const auto format = AudioFormat::standard(sampleRate, 2);
    if ((*unit_->inputBusses())[0]->setFormat(format) != kNoErr ||
        (*unit_->outputBusses())[0]->setFormat(format) != kNoErr) {
        throw std::runtime_error("Tessaray: unsupported sample rate");
    }
    if (unit_->setMaximumFramesToRender(maximumBlock_) != kNoErr) {
        throw std::runtime_error("Tessaray: unsupported block length");
    }
    // The kernel's own start-up values are not the parameters' defaults; a host that never connects a
    // control port still gets the defaults.
    for (const ParameterInfo& info : kParameterTable) {
        unit_->setParameter(info.address, info.defaultValue);
    }
    unit_->allocateRenderResources();
    renderBlock_ = unit_->internalRenderBlock();

    silence_.assign(maximumBlock_, 0.0f);
    sink_.assign(std::size_t(maximumBlock_) * outputs_.size(), 0.0f);

    if (map && map->map) {
        const auto id = [map](const char* uri) { return lv2::mapURI(map, uri); };
        urids_ = {id(LV2_ATOM__Sequence),
                  id(LV2_ATOM__Float),
                  id(tessaray_lv2::kAnalyserURI),
                  id(tessaray_lv2::kBandCountURI),
                  id(tessaray_lv2::kRangeLoURI),
                  id(tessaray_lv2::kRangeHiURI),
                  id(tessaray_lv2::kBandLevelsURI),
                  id(tessaray_lv2::kPresetNameMessageURI),
                  id(tessaray_lv2::kPresetNameKeyURI)};
        lv2_atom_forge_init(&forge_, const_cast<LV2_URID_Map*>(map));
        canNotify_ = true;
    }
    notifyInterval_ = std::max<uint32_t>(1, uint32_t(std::lround(sampleRate / tessaray_lv2::kNotifyRate)));
    // Every way the name changes (a restored state, a host preset, the editor) passes the unit's callback.
    publishPresetName(unit_->currentPresetName());
    unit_->setOnPresetNameUpdate([this](const std::string& name) { publishPresetName(name); });
}

TessarayLV2Plugin::~TessarayLV2Plugin() {
    unit_->setOnPresetNameUpdate(nullptr);
    if (unit_ && unit_->renderResourcesAllocated()) {
        unit_->deallocateRenderResources();
    }
}

void TessarayLV2Plugin::connectPort(uint32_t port, void* location) {
    using namespace tessaray_lv2;
    switch (port) {
    case kAudioInLeft:
    case kAudioInRight:
        inputs_[port - kAudioInLeft] = static_cast<const float*>(location);
        return;
    case kAudioOutLeft:
    case kAudioOutRight:
        outputs_[port - kAudioOutLeft] = static_cast<float*>(location);
        return;
    case kEnabledPort:
        enabled_ = static_cast<const float*>(location);
        return;
    case kNotifyPort:
        notify_ = static_cast<LV2_Atom_Sequence*>(location);
        return;
    default:
        if (port >= kFirstParameterPort && port < kEnabledPort) {
            parameters_.connect(port - kFirstParameterPort, static_cast<const float*>(location));
        }
        return;
    }
}

void TessarayLV2Plugin::activate() {
    unit_->reset();
    sampleTime_ = 0;
    startFromPorts_ = true;
    framesSinceNotify_ = 0;
    analyserSent_ = false;
}

void TessarayLV2Plugin::run(uint32_t frames) {
    // Bypass follows the host's switch; an unconnected or non-finite switch leaves the effect on.
    const bool enabled = !enabled_ || !std::isfinite(*enabled_) || *enabled_ > 0.5f;
    unit_->setShouldBypassEffect(!enabled);

    const RenderEvent* events = nullptr;
    const auto clampedValue = [](std::size_t slot, float value) {
        const ParameterInfo& info = kParameterTable[slot];
        return std::clamp(value, info.minimum, info.maximum);
    };
    if (startFromPorts_) {
        // The first block after activation starts at the ports' values, without gliding from the old ones:
        // write them all, then let the reset settle the smoothers on them.
        parameters_.markAllChanged();
        parameters_.takeChanged([&](std::size_t slot, float value) {
            unit_->setParameter(kParameterTable[slot].address, clampedValue(slot, value));
        });
        unit_->reset();
        startFromPorts_ = false;
        // Written without the kernel's change flags: editors following the instance are told here, so
        // values the host set while the instance was inactive reach them too.
        unit_->sharedState().dirtyMask.fetch_or(kEveryParameterBit, std::memory_order_release);
    } else {
        std::size_t count = 0;
        parameters_.takeChanged([&](std::size_t slot, float value) {
            RenderEvent& event = events_[count];
            event = RenderEvent{};
            event.eventSampleTime = sampleTime_;
            event.eventType = RenderEventType::parameter;
            event.parameterAddress = kParameterTable[slot].address;
            event.value = clampedValue(slot, value);
            if (count > 0) {
                events_[count - 1].next = &event;
            }
            ++count;
        });
        events = count > 0 ? events_.data() : nullptr;
    }

    lv2::forEachChunk(frames, maximumBlock_, [&](uint32_t offset, uint32_t n) {
        renderChunk(offset, n, events);
        events = nullptr; // every change is due at the block's first frame
    });
    writeNotifications(frames);
}

// A sequence lock made of sequentially consistent operations only: the writer makes the sequence odd,
// stores the words and makes it even again; a reader that finds the same even sequence before and after
// reading the words has read one name whole. (Fences would do with weaker orders, but the thread sanitizer
// cannot check fences.)
void TessarayLV2Plugin::publishPresetName(const std::string& name) {
    std::lock_guard lock(nameWriters_);
    const uint32_t length = uint32_t(std::min<std::size_t>(name.size(), tessaray_lv2::kPresetNameCapacity));
    const uint32_t sequence = nameSequence_.load();
    nameSequence_.store(sequence + 1);
    for (std::size_t w = 0; w < nameWords_.size(); ++w) {
        uint32_t word = 0;
        for (std::size_t b = 0; b < 4; ++b) {
            const std::size_t at = w * 4 + b;
            if (at < length) {
                word |= uint32_t(static_cast<unsigned char>(name[at])) << (8 * b);
            }
        }
        nameWords_[w].store(word);
    }
    nameLength_.store(length);
    nameSequence_.store(sequence + 2);
}

bool TessarayLV2Plugin::readPresetName(uint32_t& sequence, uint32_t& length) {
    const uint32_t before = nameSequence_.load();
    if ((before & 1) != 0) {
        return false; // being written: try again at the next block
    }
    for (std::size_t w = 0; w < nameWords_.size(); ++w) {
        const uint32_t word = nameWords_[w].load();
        for (std::size_t b = 0; b < 4; ++b) {
            nameCopy_[w * 4 + b] = char((word >> (8 * b)) & 0xff);
        }
    }
    length = nameLength_.load();
    if (nameSequence_.load() != before) {
        return false;
    }
    sequence = before;
    return true;
}

void TessarayLV2Plugin::writeNotifications(uint32_t frames) {
    if (!notify_) {
        return;
    }
    const uint32_t capacity = notify_->atom.size;
    if (!canNotify_ || capacity < sizeof(LV2_Atom_Sequence_Body)) {
        // Nothing can be named without a map: an empty sequence (or nothing, in a buffer too small for one).
        if (capacity >= sizeof(LV2_Atom_Sequence_Body)) {
            notify_->atom.size = sizeof(LV2_Atom_Sequence_Body);
            notify_->body.unit = 0;
            notify_->body.pad = 0;
        }
        return;
    }
    lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<uint8_t*>(notify_), sizeof(LV2_Atom) + capacity);
    if (!lv2_atom_forge_sequence_head(&forge_, &sequenceFrame_, 0)) {
        return;
    }

    // An event half written into a full buffer would break the sequence, so each message first checks that
    // it fits (the metadata asks hosts for far more than one block needs).
    const auto room = [this](uint32_t bytes) { return forge_.size - forge_.offset >= bytes; };
    constexpr uint32_t kAnalyserBytes = 64 + 4 * 16 + 32 + 16 + DSPSharedState::kBands * sizeof(float);
    constexpr uint32_t kNameBytes = 96 + tessaray_lv2::kPresetNameCapacity;

    framesSinceNotify_ += frames;
    if (framesSinceNotify_ >= notifyInterval_) {
        framesSinceNotify_ %= notifyInterval_;
        // Once a second everything goes out again, for an editor opened since the last change.
        const bool refresh = ++ticksSinceRefresh_ >= tessaray_lv2::kNotifyRate;
        if (refresh) {
            ticksSinceRefresh_ = 0;
            sentNameSequence_ = 1;
        }

        const DSPSharedState& shared = unit_->sharedState();
        const int32_t count = std::clamp<int32_t>(shared.vizBandCount.load(std::memory_order_relaxed), 0,
                                                  DSPSharedState::kBands);
        const float lo = shared.vizRangeLo.load(std::memory_order_relaxed);
        const float hi = shared.vizRangeHi.load(std::memory_order_relaxed);
        for (int32_t i = 0; i < DSPSharedState::kBands; ++i) {
            levels_[std::size_t(i)] = shared.vizBandAmps[i].load(std::memory_order_relaxed);
        }
        const bool changed = !analyserSent_ || refresh || count != sentBandCount_ || lo != sentRange_[0] ||
                             hi != sentRange_[1] || levels_ != sentLevels_;
        if (changed && room(kAnalyserBytes) && lv2_atom_forge_frame_time(&forge_, 0) &&
            lv2_atom_forge_object(&forge_, &objectFrame_, 0, urids_.analyser)) {
            const bool written =
                lv2_atom_forge_key(&forge_, urids_.bandCount) && lv2_atom_forge_int(&forge_, count) &&
                lv2_atom_forge_key(&forge_, urids_.rangeLo) && lv2_atom_forge_float(&forge_, lo) &&
                lv2_atom_forge_key(&forge_, urids_.rangeHi) && lv2_atom_forge_float(&forge_, hi) &&
                lv2_atom_forge_key(&forge_, urids_.bandLevels) &&
                lv2_atom_forge_vector(&forge_, sizeof(float), urids_.atomFloat, DSPSharedState::kBands,
                                      levels_.data());
            lv2_atom_forge_pop(&forge_, &objectFrame_);
            if (written) {
                analyserSent_ = true;
                sentBandCount_ = count;
                sentRange_[0] = lo;
                sentRange_[1] = hi;
                sentLevels_ = levels_;
            }
        }
    }

    uint32_t nameSequence = 0;
    uint32_t length = 0;
    if (nameSequence_.load(std::memory_order_acquire) != sentNameSequence_ && room(kNameBytes) &&
        readPresetName(nameSequence, length) && lv2_atom_forge_frame_time(&forge_, 0) &&
        lv2_atom_forge_object(&forge_, &objectFrame_, 0, urids_.presetNameMessage)) {
        const bool written = lv2_atom_forge_key(&forge_, urids_.presetName) &&
                             lv2_atom_forge_string(&forge_, nameCopy_.data(), length);
        lv2_atom_forge_pop(&forge_, &objectFrame_);
        if (written) {
            sentNameSequence_ = nameSequence;
        }
    }
    lv2_atom_forge_pop(&forge_, &sequenceFrame_);
}

void TessarayLV2Plugin::renderChunk(uint32_t offset, uint32_t frames, const RenderEvent* events) {
    // The unit pulls its input into its own buffers before writing any output, so a host that processes in
    // place (the same buffer for input and output) is safe.
    auto pull = [&](AudioUnitRenderActionFlags*, const AudioTimeStamp*, uint32_t count, int64_t,
                    AudioBufferList* buffers) -> OSStatus {
        for (uint32_t c = 0; c < buffers->numberBuffers && c < inputs_.size(); ++c) {
            AudioBuffer& buffer = buffers->buffers[c];
            const uint32_t n = std::min<uint32_t>(count, buffer.dataByteSize / sizeof(float));
            if (buffer.data && n > 0) {
                const float* source = inputs_[c] ? inputs_[c] + offset : silence_.data();
                std::memcpy(buffer.data, source, n * sizeof(float));
            }
        }
        return kNoErr;
    };

    AudioBufferList output;
    output.numberBuffers = uint32_t(outputs_.size());
    for (uint32_t c = 0; c < outputs_.size(); ++c) {
        // A missing output still needs somewhere to go: a sink of its own, whose content is dropped.
        float* target = outputs_[c] ? outputs_[c] + offset : sink_.data() + std::size_t(c) * maximumBlock_;
        output.buffers[c] = {1, uint32_t(frames * sizeof(float)), target};
    }
    AudioTimeStamp timestamp;
    timestamp.sampleTime = double(sampleTime_);
    timestamp.flags = AudioTimeStamp::kSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;

    const OSStatus status =
        renderBlock_(&flags, &timestamp, frames, 0, &output, events, PullInputBlock(pull));
    if (status != kNoErr) {
        // The host plays whatever is in its buffers; silence is the only safe content after a failure.
        for (float* out : outputs_) {
            if (out) {
                std::fill_n(out + offset, frames, 0.0f);
            }
        }
    }
    sampleTime_ += frames;
}

LV2_State_Status TessarayLV2Plugin::save(const LV2_URID_Map*, const lv2::StateWriter& writer) {
    return writer.storeString(tessaray_lv2::kPresetNameKeyURI, unit_->currentPresetName());
}

LV2_State_Status TessarayLV2Plugin::restore(const LV2_URID_Map*, const lv2::StateReader& reader) {
    // Parameter values come back through the host's ports; the state only holds the preset's name, which
    // goes through the unit's state setter so that its preset-name path runs exactly once.
    StateDictionary state;
    if (auto name = reader.string(tessaray_lv2::kPresetNameKeyURI)) {
        state[TessarayAudioUnit::presetNameKey] = std::move(*name);
    }
    unit_->setFullState(state);
    return LV2_STATE_SUCCESS;
}
