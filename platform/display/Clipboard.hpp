#pragma once

// The clipboard as text: an interface with an in-memory implementation (headless hosts and tests)
// and an X11 one (the CLIPBOARD selection, see X11Clipboard.hpp).

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace display {

class Clipboard {
public:
    // Receives the clipboard's text; nullopt when it holds none or its owner did not answer in time.
    using TextHandler = std::function<void(std::optional<std::string>)>;

    virtual ~Clipboard() = default;
    // The text at hand, without waiting: the clipboard's text when this process holds it, else nullopt
    // (another program's text only comes through requestText).
    virtual std::optional<std::string> text() = 0;
    // Asks for the clipboard's text, wherever it is held. Text at hand goes to the handler at once;
    // another program's comes later, when its answer arrives through the event loop. A newer request
    // replaces one still waiting, whose handler is then never called.
    virtual void requestText(TextHandler handler) = 0;
    // Takes the clipboard with this text.
    virtual void setText(const std::string& text) = 0;
};

// A clipboard that lives in this object only.
class MemoryClipboard final : public Clipboard {
public:
    std::optional<std::string> text() override { return text_; }
    void requestText(TextHandler handler) override { handler(text_); }
    void setText(const std::string& text) override { text_ = text; }

private:
    std::optional<std::string> text_;
};

} // namespace display
