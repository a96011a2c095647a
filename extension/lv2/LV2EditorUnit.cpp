#include "extension/lv2/LV2EditorUnit.hpp"

#include "extension/lv2/TessarayLV2.hpp"

namespace {

const ParameterInfo* slotOf(uint64_t address, std::size_t& slot) {
    const ParameterInfo* info = parameterByAddress(address);
    if (info) {
        slot = parameterIndex(*info);
    }
    return info;
}

} // namespace

LV2EditorUnit::LV2EditorUnit(Host host, std::shared_ptr<core::Clock> clock)
    : host_(host), clock_(std::move(clock)) {}

void LV2EditorUnit::touch(uint32_t port, bool grabbed) const {
    if (host_.touch && host_.touch->touch) {
        host_.touch->touch(host_.touch->handle, port, grabbed);
    }
}

void LV2EditorUnit::write(std::size_t slot, float value) {
    if (!host_.write) {
        return;
    }
    Pending& pending = pending_[slot];
    pending.active = true;
    pending.value = value;
    pending.deadline = clock_->now() + kPendingWindow;
    pending.held.reset();
    host_.write(host_.controller, tessaray_lv2::portOfParameter(kParameterTable[slot]), sizeof(float), 0,
                &value);
}

void LV2EditorUnit::setParameter(uint64_t, float) {}

void LV2EditorUnit::parameterEvent(const audiounit::AUParameterEvent& event) {
    std::size_t slot = 0;
    if (!slotOf(event.address, slot)) {
        return;
    }
    const uint32_t port = tessaray_lv2::portOfParameter(kParameterTable[slot]);
    switch (event.eventType) {
    case audiounit::AUParameterAutomationEventType::touch:
        if (!touching_[slot]) {
            touching_[slot] = true;
            touch(port, true);
        }
        break;
    case audiounit::AUParameterAutomationEventType::value:
        if (touching_[slot]) {
            write(slot, event.value);
        } else {
            touch(port, true);
            write(slot, event.value);
            touch(port, false);
        }
        break;
    case audiounit::AUParameterAutomationEventType::release:
        if (touching_[slot]) {
            touching_[slot] = false;
            touch(port, false);
        }
        break;
    }
}

bool LV2EditorUnit::acceptHostValue(uint64_t address, float value) {
    std::size_t slot = 0;
    if (!slotOf(address, slot)) {
        return false;
    }
    Pending& pending = pending_[slot];
    if (!pending.active) {
        return true;
    }
    if (value == pending.value) {
        // The echo of the latest write: the host has caught up.
        pending.active = false;
        pending.held.reset();
        return true;
    }
    if (clock_->now() >= pending.deadline) {
        pending.active = false;
        pending.held.reset();
        return true;
    }
    pending.held = value;
    return false;
}

bool LV2EditorUnit::isTouching(uint64_t address) const {
    std::size_t slot = 0;
    return slotOf(address, slot) && touching_[slot];
}
