#pragma once

// The layout of a text view's line: x positions measured with Pango piece by piece, in steps for a long line.

#include "graphics/AttributedString.hpp"
#include "graphics/Font.hpp"
#include "ui/Text.hpp"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <pango/pango.h>
#include <string>
#include <unordered_map>
#include <vector>

namespace ui {

// Logical x positions of a line of text, measured with Pango. A long line is measured in pieces (each up
// to and including a space, at most 64 bytes) whose widths are kept with their x, so an edit measures only
// the pieces it changed (and those the text caches by content): the pieces after it keep their widths and
// move by the change. The pieces are drawn where they were measured. One Pango context serves every
// measurement of the layout's font.
//
// A long line is measured from its start up to a frontier, as far as a deadline allows at a time; its
// owner moves the frontier on in later steps until it reaches the end. Past the frontier an x is an
// estimate from the width per byte measured so far, except in a stretch around one place (the caret) that
// is laid out on its own, so that the caret and the characters around it show together meanwhile. Once the
// frontier is at the end, every x is the measured one, whatever the order of edits and steps.
class Text::LineLayout {
public:
    using Widths = std::unordered_map<std::string, double>;
    using Attributed = std::function<graphics::AttributedString(const std::string&)>;
    using Deadline = std::chrono::steady_clock::time_point;

    LineLayout(Attributed attributed, graphics::FontRef fontRef);
    ~LineLayout();
    LineLayout(const LineLayout&) = delete;
    LineLayout& operator=(const LineLayout&) = delete;

    const std::string& text() const { return text_; }
    // Brings the layout to the text, measuring until the deadline, but the first bytes of a change
    // (wholeAtOnce of them) in any case.
    void update(const std::string& string, Widths& widths, Deadline deadline);
    // Whether every piece is measured.
    bool complete() const { return frontier_ == text_.size(); }
    // Moves the frontier on until the deadline (one piece at least).
    void measureOn(Widths& widths, Deadline deadline);
    // Lays out the stretch around a byte offset on its own when the offset lies past the frontier and
    // not well inside the present stretch.
    void lookAround(std::size_t index);

    double width() const;
    double height() const { return height_; }
    double xOfIndex(std::size_t index) const;
    std::size_t indexOfX(double x) const;

    // A run of text drawn from x.
    struct Run {
        std::size_t start;
        std::size_t end;
        double x;
    };
    // What to draw to show the x range from left to right: whole measured pieces, the stretch, and
    // estimated text (at most a few thousand bytes).
    std::vector<Run> visibleRuns(double left, double right) const;

    const graphics::FontRef font;

    // Texts up to this many bytes are measured whole, as one piece.
    static constexpr std::size_t longText = 256;
    static constexpr std::size_t wholeAtOnce = 4 << 10;

private:
    static constexpr std::size_t pieceLimit = 64;
    // Past this many entries the text's cache of widths by content takes no more.
    static constexpr std::size_t cachedWidthsLimit = 1 << 16;
    // The stretch reaches this many bytes to either side of its place.
    static constexpr std::size_t stretchReach = 1024;

    struct Placed {
        std::size_t start;
        std::size_t length;
        double x;
        double width;
    };
    struct LayoutDeleter {
        void operator()(PangoLayout* layout) const { g_object_unref(layout); }
    };
    using LayoutPointer = std::unique_ptr<PangoLayout, LayoutDeleter>;
    // Bytes start to end laid out as one, at an estimated x.
    struct Stretch {
        std::size_t start;
        std::size_t end;
        double width;
        LayoutPointer layout;
    };

    // Splits text_ into pieces from start (at x) to the end, until stop says a piece starts where old
    // ones resume or, past the byte offset atLeast, the deadline passes; answers where it stopped.
    template <typename Stop>
    std::size_t split(std::size_t start, double x, std::vector<Placed>& out, Widths& widths,
                      Deadline deadline, std::size_t atLeast, Stop stop);
    double measure(const std::string& piece, Widths& widths) const;
    std::size_t pieceOfIndex(std::size_t index) const;
    // The layout of one piece; the last one asked for is kept.
    PangoLayout* shape(std::size_t p) const;
    LayoutPointer layoutOf(std::size_t start, std::size_t end) const;

    // The x where the measured pieces end, and the width per byte measured so far.
    double frontierX() const;
    double perByte() const;
    double stretchX() const;
    double estimatedX(std::size_t index) const;

    Attributed attributed_;
    PangoContext* context_;
    std::string text_;
    std::vector<Placed> pieces_; // the measured pieces, from the start to the frontier
    std::size_t frontier_ = 0;
    std::optional<Stretch> stretch_; // only past the frontier
    double height_ = 0;
    mutable LayoutPointer shaped_;
    mutable std::size_t shapedIndex_ = 0;
};

} // namespace ui
