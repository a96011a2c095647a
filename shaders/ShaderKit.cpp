#include "shaders/ShaderKit.hpp"

#include "core/Bundle.hpp"

#include <array>
#include <random>

namespace pelko {

RendererError::RendererError(Code code) : std::runtime_error("No valid metal device"), code_(code) {}

std::uint64_t RendererSources::nextRandom() const {
    if (random) {
        return random();
    }
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

RunningTime::RunningTime(std::shared_ptr<core::Clock> clock)
    : clock_(clock ? std::move(clock) : core::Clock::steady()), startTime_(clock_->now()) {}

void RunningTime::start() {
    startTime_ = clock_->now();
    pauseTime_.reset();
    pausedTime_ = 0;
}

void RunningTime::willPause() {
    pauseTime_ = clock_->now();
}

void RunningTime::willResume() {
    if (pauseTime_) {
        pausedTime_ += std::chrono::duration<double>(clock_->now() - *pauseTime_).count();
        pauseTime_.reset();
    }
}

double RunningTime::seconds() const {
    return std::chrono::duration<double>(clock_->now() - startTime_).count() - pausedTime_;
}

std::shared_ptr<core::Bundle> kitBundle() {
    return core::Bundle::namedOnce("PelkoShaders_PelkoShaders", reinterpret_cast<const void*>(&kitBundle));
}

QuadVertexBuffer makeQuadVertexBuffer(gpu::Device& device) {
    static constexpr std::array<float, 8> corners{-1, -1, -1, 1, 1, -1, 1, 1};
    auto buffer = device.newBuffer(corners.data(), sizeof(corners));
    if (!buffer) {
        throw gpu::Error("The quad's vertex buffer cannot be made");
    }
    return {std::move(buffer), 4};
}

std::shared_ptr<const gpu::Function> requireFunction(const gpu::Library& library, const std::string& name) {
    auto function = library.newFunction(name);
    if (!function) {
        throw gpu::Error("The shader library has no function named \"" + name + "\"");
    }
    return function;
}

} // namespace pelko
