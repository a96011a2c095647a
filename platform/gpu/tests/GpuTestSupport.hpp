#pragma once

// Shared pieces of the GPU layer's tests: a full-view quad and a pipeline that fills it with a colour.

#include "SoftwareRendering.hpp"
#include "gpu/Device.hpp"

#include <array>
#include <memory>

namespace gpu::testing {

inline constexpr std::array<float, 8> quad{-1, -1, -1, 1, 1, -1, 1, 1};

inline constexpr const char* quadVertexSource = R"(
in vec2 position;
void main() { gl_Position = vec4(position, 0.0, 1.0); }
)";

// Input 0: the view size; input 1: the colour of the top half; the bottom half is (0, 0, 1, 1).
inline constexpr const char* halvesFragmentSource = R"(
uniform vec2 viewportSize;
uniform vec4 topColor;
out vec4 color;
void main() {
    float y = viewportSize.y - gl_FragCoord.y;
    color = y < viewportSize.y * 0.5 ? topColor : vec4(0.0, 0.0, 1.0, 1.0);
}
)";

inline std::shared_ptr<RenderPipelineState> makeHalvesPipeline(Device& device, PixelFormat format) {
    RenderPipelineDescriptor descriptor;
    descriptor.label = "Halves";
    descriptor.vertexFunction =
        std::make_shared<Function>("quadVertex", FunctionStage::vertex, quadVertexSource);
    descriptor.fragmentFunction =
        std::make_shared<Function>("halvesFragment", FunctionStage::fragment, halvesFragmentSource,
                                   std::vector<std::string>{"viewportSize", "topColor"});
    descriptor.colorPixelFormat = format;
    return device.newRenderPipelineState(descriptor);
}

} // namespace gpu::testing
