#pragma once

// The editor's side of the plug-in in an LV2 host: the audio unit the settings model writes to, which
// turns every edit into port writes that the host owns and records, and keeps the editor's own writes,
// echoed back late by the host, from shaking a control that is being dragged.

#include "ZeltoCore/CorviAudioUnit.hpp"
#include "audiounit/Parameter.hpp"
#include "core/Clock.hpp"
#include "extension/ParameterTable.hpp"

#include <array>
#include <chrono>
#include <cstdint>
#include <lv2/ui/ui.h>
#include <memory>
#include <optional>

class LV2EditorUnit : public zelto::CorviAudioUnit {
public:
    // The host's side: its write function (required) and its touch feature (optional).
    struct Host {
        LV2UI_Write_Function write = nullptr;
        LV2UI_Controller controller = nullptr;
        const LV2UI_Touch* touch = nullptr;
    };

    // How long an echo that differs from the editor's own latest write is held back.
    static constexpr std::chrono::milliseconds kPendingWindow{250};

    explicit LV2EditorUnit(Host host, std::shared_ptr<core::Clock> clock = core::Clock::steady());

    // One complete edit: touch, write, release, unless a gesture on the parameter is open.
    void setParameter(uint64_t address, float value) override;

    // An edit from the editor's parameter tree: the start of a gesture (touch), a value (write) or its end
    // (release). A value outside a gesture is a complete edit.
    void parameterEvent(const audiounit::AUParameterEvent& event);

    // A value from the host (a port event, or the kernel's mirror): whether the editor shows it now. While
    // the editor's own write is pending, values that differ from it are held back (the latest one is kept)
    // and an equal one ends the wait.
    bool acceptHostValue(uint64_t address, float value);

    // Ends the waits that have run out and hands over each held-back value, f(address, value).
    template <class F> void takeExpired(F&& f) {
        const auto now = clock_->now();
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            Pending& p = pending_[i];
            if (p.active && now >= p.deadline) {
                p.active = false;
                if (p.held) {
                    const float value = *p.held;
                    p.held.reset();
                    f(kParameterTable[i].address, value);
                }
            }
        }
    }

    // No more writes reach the host (its callbacks end with the UI instance).
    void detach() { host_ = Host{}; }

    // Whether a gesture on the parameter is open (between touch and release).
    bool isTouching(uint64_t address) const;

private:
    struct Pending {
        bool active = false;
        float value = 0.0f;
        core::Clock::TimePoint deadline{};
        std::optional<float> held;
    };

    void touch(uint32_t port, bool grabbed) const;
    void write(std::size_t slot, float value);

    Host host_;
    std::shared_ptr<core::Clock> clock_;
    std::array<Pending, kParameterCount> pending_{};
    std::array<bool, kParameterCount> touching_{};
};
