#include "audiounit/AudioBus.hpp"

#include "audiounit/AudioUnitBase.hpp"

namespace audiounit {

AudioBus::AudioBus(const AudioFormat& format) : format_(format) {}

std::shared_ptr<AudioBus> AudioBus::create(const AudioFormat& format, OSStatus* error) {
    if (!format.isValid()) {
        if (error) {
            *error = kErrFormatNotSupported;
        }
        return nullptr;
    }
    if (error) {
        *error = kNoErr;
    }
    return std::make_shared<AudioBus>(format);
}

std::shared_ptr<AudioBus> AudioBus::createOrThrow(const AudioFormat& format) {
    OSStatus status = kNoErr;
    auto bus = create(format, &status);
    if (!bus) {
        throw AudioUnitError(status, "invalid bus format");
    }
    return bus;
}

AudioFormat AudioBus::format() const {
    std::lock_guard lock(mutex_);
    return format_;
}

OSStatus AudioBus::setFormat(const AudioFormat& format) {
    if (!format.isValid()) {
        return kErrFormatNotSupported;
    }
    std::lock_guard lock(mutex_);
    if (auto allocated = ownerAllocated_.lock(); allocated && allocated->load(std::memory_order_acquire)) {
        return kErrCannotDoInCurrentContext;
    }
    format_ = format;
    return kNoErr;
}

std::string AudioBus::name() const {
    std::lock_guard lock(mutex_);
    return name_;
}

void AudioBus::setName(std::string name) {
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
}

AudioBusArray::AudioBusArray(BusType type, std::vector<std::shared_ptr<AudioBus>> buses)
    : type_(type), buses_(std::move(buses)) {}

std::shared_ptr<AudioBusArray> AudioBusArray::create(const AudioUnitBase& owner, BusType type,
                                                     std::vector<std::shared_ptr<AudioBus>> buses) {
    std::erase(buses, nullptr);
    for (auto& bus : buses) {
        std::lock_guard lock(bus->mutex_);
        bus->ownerAllocated_ = owner.allocatedFlag_;
    }
    return std::make_shared<AudioBusArray>(type, std::move(buses));
}

} // namespace audiounit
