#pragma once

// The bridge between the editor and an LV2 host: the one way out (the editor's parameter tree becomes touch,
// port write and release) and the one echo rule on the way in (the host's late echoes of the editor's own
// writes do not shake a control).

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

    // The editor's model passes on every value it takes from the host: the host holds it already, so
    // nothing is written (writing it would echo it back). Edits leave through parameterEvent() alone.
    void setParameter(uint64_t address, float value) override;

    // An edit from the editor's parameter tree: the start of a gesture (touch), a value (write) or its end
    // (release). A value outside a gesture is a complete edit: touch, write, release.
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
