#pragma once

// The EGL display and OpenGL ES 3 context behind a device (internal to the GPU layer). Every GL object
// of a device belongs to its context; whoever touches them makes the context current first.

#include <memory>
#include <string>

namespace gpu::detail {

class Context {
public:
    // A context on the surfaceless platform, else on the default display with a 1×1 pbuffer.
    // Null when neither gives an OpenGL ES 3 context that renders to 16-bit float colour buffers.
    static std::shared_ptr<Context> create();
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // Makes the context current on the calling thread (a no-op when it already is).
    bool makeCurrent() const;
    const std::string& renderer() const { return renderer_; }
    bool isSurfaceless() const { return surface_ == nullptr; }

private:
    Context() = default;
    void* display_ = nullptr;
    void* context_ = nullptr;
    void* surface_ = nullptr;
    std::string renderer_;
};

} // namespace gpu::detail
