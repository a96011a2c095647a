#include "shaders/PelkoShadersHelper.hpp"

#include "core/Bundle.hpp"
#include "shaders/ShaderKit.hpp"

#include <charconv>

namespace pelko {
namespace {

// A float as a GLSL literal: the shortest text that reads back as the same value.
void appendFloat(std::string& out, float value) {
    char text[32];
    const auto result = std::to_chars(std::begin(text), std::end(text), value);
    out.append(text, result.ptr);
}

ShaderLibrary kitLibrary() {
    return ShaderLibrary::bundle(kitBundle());
}

} // namespace

ShaderLibrary ShaderLibrary::bundle(std::shared_ptr<const core::Bundle> bundle) {
    return ShaderLibrary(std::move(bundle));
}

ShaderFunction ShaderLibrary::function(std::string name) const {
    return ShaderFunction(*this, std::move(name));
}

std::shared_ptr<gpu::Library> ShaderLibrary::load() const {
    if (!bundle_) {
        throw gpu::Error("No bundle to read a shader library from");
    }
    return gpu::Library::loadDefault(*bundle_);
}

Shader ShaderFunction::operator()(std::vector<Float4> arguments) const {
    return Shader(*this, std::move(arguments));
}

std::shared_ptr<const gpu::Function> ShaderFunction::resolve() const {
    auto function = requireFunction(*library_.load(), name_);
    if (function->stage() != gpu::FunctionStage::colorEffect) {
        throw gpu::Error("The shader library's function \"" + name_ + "\" is not a colour effect");
    }
    return function;
}

std::string Shader::glslCall(std::string_view position, std::string_view color) const {
    std::string call = function_.name();
    call += '(';
    call += position;
    call += ", ";
    call += color;
    for (const auto& argument : arguments_) {
        call += ", vec4(";
        for (std::size_t i = 0; i < argument.size(); ++i) {
            if (i > 0) {
                call += ", ";
            }
            appendFloat(call, argument[i]);
        }
        call += ')';
    }
    call += ')';
    return call;
}

Shader PelkoShadersHelper::colorMatrixShader(const Float4& r, const Float4& g, const Float4& b,
                                             const Float4& a) {
    return ShaderFunction(kitLibrary(), "colorMatrixShader")({r, g, b, a});
}

Shader PelkoShadersHelper::outsideSRGBShader() {
    return kitLibrary().function("outsideSRGBShader")();
}

Shader PelkoShadersHelper::outsideP3Shader() {
    return kitLibrary().function("outsideP3Shader")();
}

Shader PelkoShadersHelper::clampSRGBShader() {
    return kitLibrary().function("clampSRGBShader")();
}

} // namespace pelko
