#pragma once

// Render pipelines: a vertex and a fragment function compiled and linked for one colour format.

#include "gpu/Library.hpp"
#include "gpu/Types.hpp"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace gpu {

namespace detail {
class Context;
}

struct RenderPipelineDescriptor {
    std::string label;
    std::shared_ptr<const Function> vertexFunction;
    std::shared_ptr<const Function> fragmentFunction;
    // The format of colour attachment 0; a pass into a target of another format draws nothing.
    PixelFormat colorPixelFormat = PixelFormat::invalid;
};

class RenderPipelineState {
public:
    // A fragment input: the uniform it sets and how many bytes it takes.
    struct Input {
        int location = -1;
        unsigned type = 0; // GL uniform type
        int count = 0;     // array length (1 for a single value)
        std::size_t byteLength = 0;
    };
    struct TextureSlot {
        int location = -1;
        unsigned sampler = 0; // GL sampler object with the binding's address mode
    };

    // Compiles and links; throws Error with the label, the function and the compiler's log.
    RenderPipelineState(std::shared_ptr<detail::Context> context, const RenderPipelineDescriptor& descriptor);
    ~RenderPipelineState();
    RenderPipelineState(const RenderPipelineState&) = delete;
    RenderPipelineState& operator=(const RenderPipelineState&) = delete;

    const std::string& label() const { return label_; }
    PixelFormat colorPixelFormat() const { return colorPixelFormat_; }
    unsigned glProgram() const { return program_; }
    // Null for an index that the fragment function does not bind (or whose uniform the compiler dropped).
    const Input* fragmentInput(int index) const;
    const TextureSlot* fragmentTexture(int index) const;

    // Prepended to every stage source.
    static const char* prelude();

private:
    std::shared_ptr<detail::Context> context_;
    std::string label_;
    PixelFormat colorPixelFormat_;
    unsigned program_ = 0;
    std::vector<Input> inputs_;
    std::vector<TextureSlot> textures_;
};

} // namespace gpu
