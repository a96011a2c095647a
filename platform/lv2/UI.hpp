#pragma once

// LV2 plug-in UIs: the host features a UI may use, a C++ base for a UI instance and the C descriptor that
// turns the host's calls into its members (keeping exceptions from crossing into the host).

#include <cstdint>
#include <cstring>
#include <lv2/core/lv2.h>
#include <lv2/data-access/data-access.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <memory>

namespace lv2 {

// What a host offers a UI at instantiation; each is null (or false) when the host did not offer it.
struct UIFeatures {
    LV2_URID_Map* map = nullptr;
    LV2_URID_Unmap* unmap = nullptr;
    // ui:parent: the native window to embed into (an X11 window id for X11 UIs).
    void* parent = nullptr;
    const LV2UI_Resize* resize = nullptr;
    const LV2UI_Touch* touch = nullptr;
    // instance-access: the plug-in instance's handle, when the UI runs in the host's process.
    LV2_Handle instance = nullptr;
    const LV2_Extension_Data_Feature* dataAccess = nullptr;
    bool idleInterface = false;

    static UIFeatures parse(const LV2_Feature* const* features);

    // The plug-in's extension data through data-access, or null.
    const void* instanceExtensionData(const char* uri) const {
        return dataAccess && dataAccess->data_access && uri ? dataAccess->data_access(uri) : nullptr;
    }
};

struct UIArguments {
    const char* pluginURI = nullptr;
    const char* bundlePath = nullptr;
    LV2UI_Write_Function writeFunction = nullptr;
    LV2UI_Controller controller = nullptr;
    UIFeatures features;
};

// Base of a UI instance; every call comes on the host's UI thread.
class UI {
public:
    virtual ~UI() = default;

    virtual LV2UI_Widget widget() const = 0;
    // A port's value (protocol 0: one float) or an event of an atom port (the protocol's URID).
    virtual void portEvent(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) = 0;
    // The idle interface: returns non-zero once the UI has been closed.
    virtual int idle() { return 0; }
    // The host resized the UI's widget (pixels).
    virtual int resize(int width, int height) {
        (void)width;
        (void)height;
        return 0;
    }
};

namespace detail {

template <class T> struct UIGlue {
    static LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginURI, const char* bundlePath,
                                    LV2UI_Write_Function write, LV2UI_Controller controller,
                                    LV2UI_Widget* widget, const LV2_Feature* const* features) {
        UIArguments arguments{pluginURI, bundlePath, write, controller, UIFeatures::parse(features)};
        try {
            std::unique_ptr<UI> ui = T::instantiate(arguments);
            if (!ui) {
                return nullptr;
            }
            if (widget) {
                *widget = ui->widget();
            }
            return ui.release();
        } catch (...) {
            return nullptr;
        }
    }
    static void cleanup(LV2UI_Handle handle) { delete static_cast<UI*>(handle); }
    static void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t protocol,
                          const void* buffer) {
        if (buffer) {
            static_cast<UI*>(handle)->portEvent(port, size, protocol, buffer);
        }
    }
    static int idle(LV2UI_Handle handle) { return static_cast<UI*>(handle)->idle(); }
    static int resize(LV2UI_Feature_Handle handle, int width, int height) {
        return static_cast<UI*>(handle)->resize(width, height);
    }
    static const void* extensionData(const char* uri) {
        static const LV2UI_Idle_Interface idleInterface{&UIGlue::idle};
        static const LV2UI_Resize resizeInterface{nullptr, &UIGlue::resize};
        if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) {
            return &idleInterface;
        }
        if (uri && std::strcmp(uri, LV2_UI__resize) == 0) {
            return &resizeInterface;
        }
        return nullptr;
    }

    static inline const LV2UI_Descriptor descriptor{T::kURI, &UIGlue::instantiate, &UIGlue::cleanup,
                                                    &UIGlue::portEvent, &UIGlue::extensionData};
};

} // namespace detail

// The descriptor of UI type T, which provides
//   static constexpr const char* kURI;
//   static std::unique_ptr<lv2::UI> instantiate(const lv2::UIArguments&);  // may throw
// Its extension data offers the idle interface and the resize interface.
template <class T> const LV2UI_Descriptor* uiDescriptor() {
    return &detail::UIGlue<T>::descriptor;
}

} // namespace lv2
