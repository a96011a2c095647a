#pragma once

#include "audiounit/AudioFormat.hpp"
#include "audiounit/Types.hpp"

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace audiounit {

class AudioUnitBase;

enum class BusType : uint8_t { input = 1, output = 2 };

// One input or output stream of an audio unit. Hosts read and change its format from non-render threads.
class AudioBus {
public:
    // Fails (nullptr, status in *error) for a format that cannot be rendered: no channels, a rate <= 0.
    static std::shared_ptr<AudioBus> create(const AudioFormat& format, OSStatus* error = nullptr);
    // The same, reporting the failure as an AudioUnitError.
    static std::shared_ptr<AudioBus> createOrThrow(const AudioFormat& format);

    AudioFormat format() const;
    // Refused with kErrFormatNotSupported for an invalid format and with kErrCannotDoInCurrentContext while
    // the owning unit has render resources allocated (its buffers are sized for the old format).
    OSStatus setFormat(const AudioFormat& format);

    std::string name() const;
    void setName(std::string name);

    explicit AudioBus(const AudioFormat& format);

private:
    friend class AudioBusArray;

    mutable std::mutex mutex_;
    AudioFormat format_;
    std::string name_;
    std::weak_ptr<const std::atomic<bool>> ownerAllocated_;
};

// The ordered buses of one direction of an audio unit.
class AudioBusArray {
public:
    static std::shared_ptr<AudioBusArray> create(const AudioUnitBase& owner, BusType type,
                                                 std::vector<std::shared_ptr<AudioBus>> buses);

    BusType busType() const { return type_; }
    size_t count() const { return buses_.size(); }
    // nullptr for an index past the end.
    std::shared_ptr<AudioBus> operator[](size_t index) const {
        return index < buses_.size() ? buses_[index] : nullptr;
    }
    const std::vector<std::shared_ptr<AudioBus>>& buses() const { return buses_; }

    AudioBusArray(BusType type, std::vector<std::shared_ptr<AudioBus>> buses);

private:
    BusType type_;
    std::vector<std::shared_ptr<AudioBus>> buses_;
};

} // namespace audiounit
