#pragma once

// The X11 CLIPBOARD selection as text. Taking the clipboard makes a small unmapped window of ours the
// selection owner, which serves other clients' requests (TARGETS, UTF8_STRING, STRING) as the display's
// event loop delivers them. Reading asks the owner for UTF8_STRING and waits up to a timeout for it.

#include "display/Clipboard.hpp"

#include <chrono>
#include <memory>

typedef union _XEvent XEvent;

namespace display {

class X11Display;

class X11Clipboard final : public Clipboard, public std::enable_shared_from_this<X11Clipboard> {
public:
    // Null when the display has no connection.
    static std::shared_ptr<X11Clipboard>
    make(const std::shared_ptr<X11Display>& display,
         std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    ~X11Clipboard() override;

    std::optional<std::string> text() override;
    void setText(const std::string& text) override;
    // Whether this clipboard still owns the selection (another client taking it clears this).
    bool ownsSelection() const { return owned_; }

private:
    X11Clipboard(std::shared_ptr<X11Display> display, unsigned long window,
                 std::chrono::milliseconds timeout);
    void handle(XEvent& event);

    std::weak_ptr<X11Display> display_;
    unsigned long window_;
    std::chrono::milliseconds timeout_;
    std::string text_;
    bool owned_ = false;
    unsigned long clipboard_ = 0, utf8_ = 0, targets_ = 0, property_ = 0;
};

} // namespace display
