#pragma once

// The X11 CLIPBOARD selection as text. Taking the clipboard makes a small unmapped window of ours the
// selection owner, which serves other clients' requests (TARGETS, UTF8_STRING, STRING) as the display's
// event loop delivers them. Reading asks the owner for UTF8_STRING and takes the answer when the event
// loop delivers it, in one piece or incrementally (INCR); the loop never waits for it.

#include "display/Clipboard.hpp"

#include <array>
#include <chrono>
#include <cstddef>
#include <memory>

typedef union _XEvent XEvent;

namespace core {
class Timer;
}

namespace display {

class X11Display;

class X11Clipboard final : public Clipboard, public std::enable_shared_from_this<X11Clipboard> {
public:
    // The most text a read takes (16 MiB); a larger clipboard is cut there, and the cut logged.
    static constexpr std::size_t maximumBytes = 16 * 1024 * 1024;

    // Null when the display has no connection. A read is dropped when the owner leaves it unanswered
    // for the timeout (at the start, and between pieces of an incremental transfer), measured by the
    // timers of the display's run loop.
    static std::shared_ptr<X11Clipboard>
    make(const std::shared_ptr<X11Display>& display,
         std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    ~X11Clipboard() override;

    // Our own text while we own the selection, else nullopt.
    std::optional<std::string> text() override;
    // Our own text at once; no owner gives nullopt at once. Another owner's text arrives through the
    // display's event loop; one that does not answer in time gives nullopt then.
    void requestText(TextHandler handler) override;
    void setText(const std::string& text) override;
    // Whether this clipboard still owns the selection (another client taking it clears this).
    bool ownsSelection() const { return owned_; }
    // Whether a read waits for another owner's answer.
    bool isReading() const { return static_cast<bool>(reading_.handler); }

private:
    // A read from another owner: the time its request carried (an answer, a refusal too, carries it
    // back), the property the answer comes in, and for an incremental transfer the pieces so far.
    struct Read {
        TextHandler handler;
        unsigned long time = 0;
        unsigned long property = 0;
        bool incremental = false;
        unsigned long type = 0;
        std::string data;
        std::shared_ptr<core::Timer> timeout;
    };

    X11Clipboard(std::shared_ptr<X11Display> display, unsigned long window,
                 std::chrono::milliseconds timeout);
    void handle(XEvent& event);
    void serve(XEvent& event);
    void receive(XEvent& event);
    void receivePiece(XEvent& event);
    // A real server time for the next request, never the one before's: the time of the key or button
    // event being handled, else the server's time now.
    unsigned long requestTime(X11Display& display);
    // (Re)starts the wait for the owner's next answer.
    void armTimeout();
    // Ends the read with its text (nullopt: none), calling its handler.
    void finish(std::optional<std::string> text);
    // Ends the read without calling its handler.
    void abandon();
    bool isTransferProperty(unsigned long atom) const;

    std::weak_ptr<X11Display> display_;
    unsigned long window_;
    std::chrono::milliseconds timeout_;
    std::string text_;
    bool owned_ = false;
    unsigned long clipboard_ = 0, utf8_ = 0, targets_ = 0, incr_ = 0;
    // Reads take these properties in turn, so that a late answer to a replaced read is told apart.
    std::array<unsigned long, 4> properties_{};
    std::size_t nextProperty_ = 0;
    unsigned long lastRequestTime_ = 0;
    Read reading_;
};

} // namespace display
