#include "gpu/Pipeline.hpp"

#include "gpu/Context.hpp"

#include <GLES3/gl3.h>
#include <array>

namespace gpu {

namespace {

std::size_t bytesOf(GLenum type) {
    switch (type) {
    case GL_FLOAT:
    case GL_INT:
    case GL_UNSIGNED_INT:
    case GL_BOOL:
        return 4;
    case GL_FLOAT_VEC2:
    case GL_INT_VEC2:
    case GL_UNSIGNED_INT_VEC2:
        return 8;
    case GL_FLOAT_VEC3:
    case GL_INT_VEC3:
    case GL_UNSIGNED_INT_VEC3:
        return 12;
    case GL_FLOAT_VEC4:
    case GL_INT_VEC4:
    case GL_UNSIGNED_INT_VEC4:
    case GL_FLOAT_MAT2:
        return 16;
    case GL_FLOAT_MAT3:
        return 36;
    case GL_FLOAT_MAT4:
        return 64;
    default:
        return 0;
    }
}

std::string infoLog(GLuint object, bool program) {
    GLint length = 0;
    program ? glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length)
            : glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    GLsizei written = 0;
    program ? glGetProgramInfoLog(object, length, &written, log.data())
            : glGetShaderInfoLog(object, length, &written, log.data());
    log.resize(static_cast<std::size_t>(written));
    while (!log.empty() && (log.back() == '\n' || log.back() == '\0')) {
        log.pop_back();
    }
    return log;
}

GLuint compile(GLenum kind, const Function& function, const std::string& label) {
    const std::array<const char*, 2> parts{RenderPipelineState::prelude(), function.source().c_str()};
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 2, parts.data(), nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        const std::string log = infoLog(shader, false);
        glDeleteShader(shader);
        throw Error("Pipeline \"" + label + "\": compiling " + function.name() + " failed: " + log);
    }
    return shader;
}

void requireStage(const std::shared_ptr<const Function>& function, FunctionStage stage, const char* role,
                  const std::string& label) {
    if (!function) {
        throw Error("Pipeline \"" + label + "\" has no " + role + " function");
    }
    if (function->stage() != stage) {
        throw Error("Pipeline \"" + label + "\": " + function->name() + " is not a " + role + " function");
    }
}

} // namespace

const char* RenderPipelineState::prelude() {
    return "#version 300 es\nprecision highp float;\nprecision highp int;\n#line 1\n";
}

RenderPipelineState::RenderPipelineState(std::shared_ptr<detail::Context> context,
                                         const RenderPipelineDescriptor& descriptor)
    : context_(std::move(context)), label_(descriptor.label), colorPixelFormat_(descriptor.colorPixelFormat) {
    requireStage(descriptor.vertexFunction, FunctionStage::vertex, "vertex", label_);
    requireStage(descriptor.fragmentFunction, FunctionStage::fragment, "fragment", label_);
    if (colorPixelFormat_ == PixelFormat::invalid) {
        throw Error("Pipeline \"" + label_ + "\" has no colour attachment format");
    }
    if (!context_ || !context_->makeCurrent()) {
        throw Error("Pipeline \"" + label_ + "\": the device's context is unavailable");
    }
    const GLuint vertex = compile(GL_VERTEX_SHADER, *descriptor.vertexFunction, label_);
    GLuint fragment = 0;
    try {
        fragment = compile(GL_FRAGMENT_SHADER, *descriptor.fragmentFunction, label_);
    } catch (...) {
        glDeleteShader(vertex);
        throw;
    }
    program_ = glCreateProgram();
    glAttachShader(program_, vertex);
    glAttachShader(program_, fragment);
    glBindAttribLocation(program_, 0, "position");
    glLinkProgram(program_);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program_, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        const std::string log = infoLog(program_, true);
        glDeleteProgram(program_);
        program_ = 0;
        throw Error("Pipeline \"" + label_ + "\": linking " + descriptor.vertexFunction->name() + " and " +
                    descriptor.fragmentFunction->name() + " failed: " + log);
    }

    // Reflect the inputs so that a frame can check the bytes it sets against each uniform's size.
    GLint uniformCount = 0;
    glGetProgramiv(program_, GL_ACTIVE_UNIFORMS, &uniformCount);
    for (const auto& name : descriptor.fragmentFunction->inputs()) {
        Input input;
        for (GLint u = 0; u < uniformCount && !name.empty(); ++u) {
            std::array<char, 256> uniformName{};
            GLint size = 0;
            GLenum type = 0;
            GLsizei length = 0;
            glGetActiveUniform(program_, static_cast<GLuint>(u), uniformName.size(), &length, &size, &type,
                               uniformName.data());
            std::string found(uniformName.data(), static_cast<std::size_t>(length));
            if (found.ends_with("[0]")) {
                found.resize(found.size() - 3);
            }
            if (found == name) {
                input.location = glGetUniformLocation(program_, name.c_str());
                input.type = type;
                input.count = size;
                input.byteLength = bytesOf(type) * static_cast<std::size_t>(size);
                break;
            }
        }
        inputs_.push_back(input);
    }
    glUseProgram(program_);
    int unit = 0;
    for (const auto& binding : descriptor.fragmentFunction->textures()) {
        TextureSlot slot;
        slot.location = glGetUniformLocation(program_, binding.name.c_str());
        if (slot.location >= 0) {
            glUniform1i(slot.location, unit);
        }
        glGenSamplers(1, &slot.sampler);
        const GLint wrap = binding.address == AddressMode::repeat ? GL_REPEAT : GL_CLAMP_TO_EDGE;
        glSamplerParameteri(slot.sampler, GL_TEXTURE_WRAP_S, wrap);
        glSamplerParameteri(slot.sampler, GL_TEXTURE_WRAP_T, wrap);
        glSamplerParameteri(slot.sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glSamplerParameteri(slot.sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        textures_.push_back(slot);
        ++unit;
    }
    glUseProgram(0);
}

RenderPipelineState::~RenderPipelineState() {
    if (context_ && context_->makeCurrent()) {
        for (const auto& slot : textures_) {
            glDeleteSamplers(1, &slot.sampler);
        }
        if (program_ != 0) {
            glDeleteProgram(program_);
        }
    }
}

const RenderPipelineState::Input* RenderPipelineState::fragmentInput(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= inputs_.size() || inputs_[index].location < 0) {
        return nullptr;
    }
    return &inputs_[static_cast<std::size_t>(index)];
}

const RenderPipelineState::TextureSlot* RenderPipelineState::fragmentTexture(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= textures_.size()) {
        return nullptr;
    }
    return &textures_[static_cast<std::size_t>(index)];
}

} // namespace gpu
