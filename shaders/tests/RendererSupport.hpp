#pragma once

// Shared pieces of the shader kit's tests: a view on the software device, a manual clock, fixed random
// values and a recorder of committed frames.

#include "SoftwareRendering.hpp"
#include "core/Clock.hpp"
#include "gpu/Device.hpp"
#include "gpu/ShaderView.hpp"
#include "shaders/ShaderKit.hpp"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace pelko::testing {

// What one committed command buffer held.
struct RecordedFrame {
    std::string label;
    std::string encoderLabel;
    std::vector<gpu::RenderCommand> commands;
    std::size_t presented = 0;

    template <class Command> std::vector<Command> all() const {
        std::vector<Command> found;
        for (const auto& command : commands) {
            if (const auto* c = std::get_if<Command>(&command)) {
                found.push_back(*c);
            }
        }
        return found;
    }
    // The fragment bytes set at index, or empty.
    std::vector<std::uint8_t> bytes(int index) const {
        for (const auto& c : all<gpu::SetFragmentBytesCommand>()) {
            if (c.index == index) {
                return {c.bytes.begin(), c.bytes.begin() + static_cast<std::ptrdiff_t>(c.length)};
            }
        }
        return {};
    }
    template <class T> T value(int index) const {
        const auto raw = bytes(index);
        T v{};
        EXPECT_EQ(raw.size(), sizeof(T)) << "fragment input " << index;
        std::memcpy(&v, raw.data(), std::min(raw.size(), sizeof(T)));
        return v;
    }
};

inline void recordFrames(gpu::CommandQueue& queue, std::vector<RecordedFrame>& frames) {
    queue.setCommittedHandler([&frames](const gpu::CommandBuffer& buffer) {
        RecordedFrame frame{buffer.label(), "", {}, buffer.presentedDrawables().size()};
        if (const auto* encoder = buffer.encoder()) {
            frame.encoderLabel = encoder->label();
            frame.commands = encoder->commands();
        }
        frames.push_back(std::move(frame));
    });
}

class RendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = gpu::Device::createSystemDefaultDevice();
        ASSERT_TRUE(device) << "llvmpipe should give a device on every test machine";
        view = makeView({64, 48});
        clock = std::make_shared<core::ManualClock>();
        sources.clock = clock;
        sources.random = [this] { return nextRandom++; };
    }

    std::shared_ptr<gpu::ShaderView> makeView(graphics::Size size) const {
        auto made = std::make_shared<gpu::ShaderView>(graphics::Rect{{0, 0}, size}, device);
        made->setColorPixelFormat(gpu::PixelFormat::rgba16Float);
        made->setColorspace(gpu::ColorSpace::extendedLinearSRGB);
        return made;
    }

    void advance(double seconds) {
        clock->advance(
            std::chrono::duration_cast<core::Clock::Duration>(std::chrono::duration<double>(seconds)));
    }

    std::shared_ptr<gpu::Device> device;
    std::shared_ptr<gpu::ShaderView> view;
    std::shared_ptr<core::ManualClock> clock;
    std::uint64_t nextRandom = 0x1234567800000001ull;
    RendererSources sources;
    std::vector<RecordedFrame> frames;
};

} // namespace pelko::testing
