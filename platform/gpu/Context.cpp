#include "gpu/Context.hpp"

#include "core/Log.hpp"

#define EGL_NO_X11 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>
#include <cstring>

namespace gpu::detail {

namespace {

bool hasExtension(const char* list, const char* name) {
    if (list == nullptr) {
        return false;
    }
    const std::size_t length = std::strlen(name);
    for (const char* at = std::strstr(list, name); at != nullptr; at = std::strstr(at + 1, name)) {
        const bool startsWord = at == list || at[-1] == ' ';
        const bool endsWord = at[length] == '\0' || at[length] == ' ';
        if (startsWord && endsWord) {
            return true;
        }
    }
    return false;
}

EGLDisplay surfacelessDisplay() {
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        return EGL_NO_DISPLAY;
    }
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) {
        return EGL_NO_DISPLAY;
    }
    return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

// The context must render into RGBA16F: core in desktop GL, an extension in OpenGL ES 3.0.
bool rendersHalfFloat() {
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return hasExtension(extensions, "GL_EXT_color_buffer_float") ||
           hasExtension(extensions, "GL_EXT_color_buffer_half_float");
}

} // namespace

std::shared_ptr<Context> Context::create() {
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_ES3_BIT,
                                       EGL_SURFACE_TYPE,
                                       EGL_PBUFFER_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_NONE};
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0, EGL_NONE};

    for (const bool surfaceless : {true, false}) {
        EGLDisplay display = surfaceless ? surfacelessDisplay() : eglGetDisplay(EGL_DEFAULT_DISPLAY);
        EGLint major = 0;
        EGLint minor = 0;
        if (display == EGL_NO_DISPLAY || eglInitialize(display, &major, &minor) != EGL_TRUE) {
            continue;
        }
        if (eglBindAPI(EGL_OPENGL_ES_API) != EGL_TRUE) {
            continue;
        }
        EGLConfig config = nullptr;
        EGLint count = 0;
        if (eglChooseConfig(display, configAttributes, &config, 1, &count) != EGL_TRUE || count < 1) {
            continue;
        }
        EGLSurface surface = EGL_NO_SURFACE;
        const char* displayExtensions = eglQueryString(display, EGL_EXTENSIONS);
        if (!surfaceless || !hasExtension(displayExtensions, "EGL_KHR_surfaceless_context")) {
            const EGLint pbufferAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
            surface = eglCreatePbufferSurface(display, config, pbufferAttributes);
            if (surface == EGL_NO_SURFACE) {
                continue;
            }
        }
        EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
        if (context == EGL_NO_CONTEXT) {
            if (surface != EGL_NO_SURFACE) {
                eglDestroySurface(display, surface);
            }
            continue;
        }
        std::shared_ptr<Context> made(new Context());
        made->display_ = display;
        made->context_ = context;
        made->surface_ = surface == EGL_NO_SURFACE ? nullptr : surface;
        if (!made->makeCurrent() || !rendersHalfFloat()) {
            continue; // the destructor releases the context and surface
        }
        made->renderer_ = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        return made;
    }
    core::log("gpu: no OpenGL ES 3 context with 16-bit float colour buffers is available");
    return nullptr;
}

Context::~Context() {
    if (eglGetCurrentContext() == context_) {
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    eglDestroyContext(display_, context_);
    if (surface_ != nullptr) {
        eglDestroySurface(display_, surface_);
    }
    // The display stays initialised: other devices of the process may use it.
}

bool Context::makeCurrent() const {
    if (eglGetCurrentContext() == context_) {
        return true;
    }
    EGLSurface surface = surface_ == nullptr ? EGL_NO_SURFACE : surface_;
    return eglMakeCurrent(display_, surface, surface, context_) == EGL_TRUE;
}

} // namespace gpu::detail
