#pragma once

// Styled text: a UTF-8 string with runs of attributes, measured and drawn by Pango. Ranges are byte
// offsets into the UTF-8 text.

#include "graphics/Color.hpp"
#include "graphics/Font.hpp"
#include "graphics/Geometry.hpp"

#include <string>
#include <vector>

namespace graphics {

// AppKit (macOS) raw values.
enum class TextAlignment { left = 0, right = 1, center = 2, justified = 3, natural = 4 };
enum class LineBreakMode {
    wordWrap = 0,
    charWrap = 1,
    clipping = 2,
    truncatingHead = 3,
    truncatingTail = 4,
    truncatingMiddle = 5
};

struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::natural;
    LineBreakMode lineBreakMode = LineBreakMode::wordWrap;
    // At most this many lines in a limited width (0: no limit). Truncating modes then wrap at words
    // and truncate the last line shown; wrapping modes drop the lines past it.
    int maximumNumberOfLines = 0;
    // A line that is to be truncated first draws its characters closer together (by up to a twentieth
    // of the font size each) and is truncated only when that does not make it fit.
    bool allowsDefaultTighteningForTruncation = false;

    friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
};

// Missing font means the system font of 12 pt; missing colour means black (AppKit's defaults).
struct TextAttributes {
    FontRef font;
    ColorRef foregroundColor;
    ColorRef backgroundColor;
    ParagraphStyle paragraphStyle;
};

struct TextRun {
    std::size_t start = 0;  // byte offset
    std::size_t length = 0; // bytes
    TextAttributes attributes;
};

class AttributedString {
public:
    AttributedString() = default;
    AttributedString(std::string text, TextAttributes attributes = {});

    const std::string& string() const { return text_; }
    std::size_t length() const { return text_.size(); }
    bool empty() const { return text_.empty(); }
    const std::vector<TextRun>& runs() const { return runs_; }
    // Attributes at a byte offset (the last run's at the end; defaults when empty).
    TextAttributes attributesAt(std::size_t index) const;

    void append(const std::string& text, const TextAttributes& attributes);
    void append(const AttributedString& other);
    // Replaces the attributes over a byte range (clamped to the text).
    void setAttributes(const TextAttributes& attributes, std::size_t start, std::size_t length);

    // The alignment and line breaking of the layout come from the first run (one paragraph style per
    // drawn string, as the controls use them).
    ParagraphStyle paragraphStyle() const;

    // Size of the text on unlimited width (wrapping only at explicit line breaks). An empty string has
    // width 0 and the height of one line.
    Size size() const;
    // Size laid out for drawing into a rect of the given size: wrapping and truncation per the line
    // break mode apply at maxSize.width (<= 0 means unlimited). The height is that of all lines (not
    // clipped to maxSize.height).
    Size boundingSize(Size maxSize) const;
    // Draws inside rect: the first line at the rect's top, aligned and truncated per the paragraph style,
    // clipped to rect. Upright in flipped and unflipped contexts. Nothing without a current context.
    void draw(const Rect& rect) const;
    // Draws one unconstrained layout with its top-left (flipped) or bottom-left (unflipped) at point.
    void drawAt(Point point) const;
    // The text as Pango would show it after truncation into the given width (for tests and tool tips).
    std::string displayedText(double width) const;

private:
    std::string text_;
    std::vector<TextRun> runs_;
};

} // namespace graphics
