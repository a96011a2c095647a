#pragma once

// Shader libraries: GLSL functions looked up by name. A bundle's default library is described by
// Resources/library.json, which names each function's stage, source file and input bindings:
//
//   {"functions": {"fooFragmentShader": {"stage": "fragment", "source": "Foo.frag",
//                                         "inputs": ["viewportSize", "time"],
//                                         "textures": [{"name": "image", "address": "repeat"}]}}}
//
// Fragment input i (set with RenderCommandEncoder::setFragmentBytes at index i) is the uniform named
// inputs[i]; fragment texture i is the sampler named textures[i].name on texture unit i. Vertex functions
// read their position (a vec2) at attribute location 0. Sources are GLSL ES 3.00 bodies without the
// #version line and precision statements, which the pipeline adds.

#include "gpu/Types.hpp"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace core {
class Bundle;
}

namespace gpu {

// colorEffect: functions of the form vec4 f(vec2 position, vec4 color, ...) that other fragment
// sources include; they are not pipeline stages.
enum class FunctionStage { vertex, fragment, colorEffect };
enum class AddressMode { clampToEdge, repeat };

struct TextureBinding {
    std::string name;
    AddressMode address = AddressMode::clampToEdge;
};

class Function {
public:
    Function(std::string name, FunctionStage stage, std::string source, std::vector<std::string> inputs = {},
             std::vector<TextureBinding> textures = {});

    const std::string& name() const { return name_; }
    FunctionStage stage() const { return stage_; }
    const std::string& source() const { return source_; }
    // Uniform names by input index; an empty name leaves the index unbound.
    const std::vector<std::string>& inputs() const { return inputs_; }
    const std::vector<TextureBinding>& textures() const { return textures_; }

private:
    std::string name_;
    FunctionStage stage_;
    std::string source_;
    std::vector<std::string> inputs_;
    std::vector<TextureBinding> textures_;
};

class Library {
public:
    // Reads the bundle's library.json and every source it names. Throws Error naming what is missing
    // or malformed.
    static std::shared_ptr<Library> loadDefault(const core::Bundle& bundle);
    static std::shared_ptr<Library> make(std::vector<std::shared_ptr<const Function>> functions);

    // Null when the library has no function of that name.
    std::shared_ptr<const Function> newFunction(std::string_view name) const;
    std::vector<std::string> functionNames() const;

private:
    std::vector<std::shared_ptr<const Function>> functions_;
};

} // namespace gpu
