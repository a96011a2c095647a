#pragma once

// The clipboard as text: an interface with an in-memory implementation (headless hosts and tests)
// and an X11 one (the CLIPBOARD selection, see X11Clipboard.hpp).

#include <memory>
#include <optional>
#include <string>

namespace display {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's text, or nullopt when it holds none (or the owner did not answer in time).
    virtual std::optional<std::string> text() = 0;
    // Takes the clipboard with this text.
    virtual void setText(const std::string& text) = 0;
};

// A clipboard that lives in this object only.
class MemoryClipboard final : public Clipboard {
public:
    std::optional<std::string> text() override { return text_; }
    void setText(const std::string& text) override { text_ = text; }

private:
    std::optional<std::string> text_;
};

} // namespace display
