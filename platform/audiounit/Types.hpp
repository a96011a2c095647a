#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

namespace audiounit {

using OSStatus = int32_t;

// Status codes with the raw numbers hosts know them by.
inline constexpr OSStatus kNoErr = 0;
inline constexpr OSStatus kErrUnimplemented = -4;
inline constexpr OSStatus kErrParam = -50;
inline constexpr OSStatus kErrInvalidPropertyValue = -10851;
inline constexpr OSStatus kErrCannotDoInCurrentContext = -10863;
inline constexpr OSStatus kErrUninitialized = -10867;
inline constexpr OSStatus kErrFormatNotSupported = -10868;
inline constexpr OSStatus kErrTooManyFramesToProcess = -10874;
inline constexpr OSStatus kErrInvalidParameter = -10878;
inline constexpr OSStatus kErrNoConnection = -10876;
inline constexpr OSStatus kErrInvalidProperty = -10879;

// Thrown where an audio unit operation fails as a whole (construction, allocation).
class AudioUnitError : public std::runtime_error {
public:
    AudioUnitError(OSStatus status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    OSStatus status() const noexcept { return status_; }

private:
    OSStatus status_;
};

// Four-character codes as used for component types, subtypes and manufacturers.
constexpr uint32_t fourCharCode(const char (&code)[5]) {
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

inline constexpr uint32_t kAudioUnitTypeEffect = fourCharCode("aufx");
inline constexpr uint32_t kAudioUnitTypeMusicEffect = fourCharCode("aumf");
inline constexpr uint32_t kAudioUnitTypeGenerator = fourCharCode("augn");

struct AudioComponentDescription {
    uint32_t componentType = 0;
    uint32_t componentSubType = 0;
    uint32_t componentManufacturer = 0;
    uint32_t componentFlags = 0;
    uint32_t componentFlagsMask = 0;

    friend bool operator==(const AudioComponentDescription&, const AudioComponentDescription&) = default;
};

using AudioUnitRenderActionFlags = uint32_t;
inline constexpr AudioUnitRenderActionFlags kRenderActionPreRender = 1u << 2;
inline constexpr AudioUnitRenderActionFlags kRenderActionPostRender = 1u << 3;
inline constexpr AudioUnitRenderActionFlags kRenderActionOutputIsSilence = 1u << 4;

struct AudioTimeStamp {
    static constexpr uint32_t kSampleTimeValid = 1u << 0;
    static constexpr uint32_t kHostTimeValid = 1u << 1;
    static constexpr uint32_t kRateScalarValid = 1u << 2;

    double sampleTime = 0.0;
    uint64_t hostTime = 0;
    double rateScalar = 1.0;
    uint32_t flags = 0;
};

// One non-interleaved channel of samples (numberChannels is 1 for every buffer this system makes).
struct AudioBuffer {
    uint32_t numberChannels = 0;
    uint32_t dataByteSize = 0;
    void* data = nullptr;
};

// A list of buffers of fixed capacity, so that a host can build one on the render thread's stack.
struct AudioBufferList {
    static constexpr uint32_t kMaxBuffers = 32;

    uint32_t numberBuffers = 0;
    AudioBuffer buffers[kMaxBuffers] = {};
};

enum class RenderEventType : uint8_t {
    parameter = 1,
    parameterRamp = 2,
    midi = 8,
    midiSysEx = 9,
    midiEventList = 10,
};

// A time-stamped event of one render call; the host links them in sample-time order.
struct RenderEvent {
    const RenderEvent* next = nullptr;
    int64_t eventSampleTime = 0;
    RenderEventType eventType = RenderEventType::parameter;
    // Parameter and ramp events.
    uint32_t rampDurationSampleFrames = 0;
    uint64_t parameterAddress = 0;
    float value = 0.0f;
    // MIDI events.
    uint8_t cable = 0;
    uint16_t length = 0;
    uint8_t data[3] = {};
};

// A non-owning reference to a callable: cheap to copy and never allocates, so it can cross the render
// thread. The referenced callable must outlive every call.
template <class Signature> class FunctionRef;

template <class R, class... Args> class FunctionRef<R(Args...)> {
public:
    FunctionRef() = default;
    FunctionRef(std::nullptr_t) {}

    template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, FunctionRef> && std::is_invocable_r_v<R, F&, Args...>)
        FunctionRef(F& callable)
    noexcept
        : object_(const_cast<void*>(static_cast<const void*>(&callable))),
          invoke_([](void* object, Args... args) -> R {
              return (*static_cast<F*>(object))(std::forward<Args>(args)...);
          }) {}

    explicit operator bool() const noexcept { return invoke_ != nullptr; }
    R operator()(Args... args) const { return invoke_(object_, std::forward<Args>(args)...); }

private:
    void* object_ = nullptr;
    R (*invoke_)(void*, Args...) = nullptr;
};

// Pulls input for one render call: (action flags, timestamp, frame count, input bus number, buffers to fill).
using PullInputBlock = FunctionRef<OSStatus(AudioUnitRenderActionFlags*, const AudioTimeStamp*, uint32_t,
                                            int64_t, AudioBufferList*)>;

} // namespace audiounit
