#pragma once

// Colour-effect shaders as values: a function of a bundle's shader library named with its arguments,
// which whoever draws applies to each colour it puts down; and the kit's four colour effects.

#include "gpu/Library.hpp"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace core {
class Bundle;
}

namespace pelko {

using Float4 = std::array<float, 4>;

class Shader;
class ShaderFunction;

// The default shader library of a bundle.
class ShaderLibrary {
public:
    static ShaderLibrary bundle(std::shared_ptr<const core::Bundle> bundle);

    const std::shared_ptr<const core::Bundle>& resourceBundle() const { return bundle_; }
    // The library's function of that name (whether it has one shows when it is resolved).
    ShaderFunction function(std::string name) const;
    // Reads the library; throws gpu::Error when the bundle has none or it is malformed.
    std::shared_ptr<gpu::Library> load() const;

private:
    explicit ShaderLibrary(std::shared_ptr<const core::Bundle> bundle) : bundle_(std::move(bundle)) {}
    std::shared_ptr<const core::Bundle> bundle_;
};

class ShaderFunction {
public:
    ShaderFunction(ShaderLibrary library, std::string name)
        : library_(std::move(library)), name_(std::move(name)) {}

    const ShaderLibrary& library() const { return library_; }
    const std::string& name() const { return name_; }

    // A shader calling this function with the arguments, in order.
    Shader operator()(std::vector<Float4> arguments = {}) const;
    // The library's colour-effect function of this name; throws gpu::Error when the library cannot be
    // read, has no such function, or has it as another kind of function.
    std::shared_ptr<const gpu::Function> resolve() const;

private:
    ShaderLibrary library_;
    std::string name_;
};

class Shader {
public:
    Shader(ShaderFunction function, std::vector<Float4> arguments)
        : function_(std::move(function)), arguments_(std::move(arguments)) {}

    const ShaderFunction& function() const { return function_; }
    const std::vector<Float4>& arguments() const { return arguments_; }

    // The effect applied in a fragment source that includes the function's source: a GLSL expression
    // calling it with the given position and colour expressions and the arguments as vec4 constants.
    std::string glslCall(std::string_view position, std::string_view color) const;

private:
    ShaderFunction function_;
    std::vector<Float4> arguments_;
};

// The kit's colour effects, from the shader library of its resource bundle. Each works on a
// premultiplied colour.
struct PelkoShadersHelper {
    PelkoShadersHelper() = delete;

    // Each output channel is the dot product of its row (r, g, b, a) with the colour.
    static Shader colorMatrixShader(const Float4& r, const Float4& g, const Float4& b, const Float4& a);
    // Marks colours outside the sRGB range magenta.
    static Shader outsideSRGBShader();
    // Marks colours that Display P3 cannot show magenta.
    static Shader outsideP3Shader();
    // Clamps every channel to 0...1.
    static Shader clampSRGBShader();
};

} // namespace pelko
