#include "graphics/AttributedString.hpp"

#include "core/Text.hpp"
#include "graphics/GraphicsContext.hpp"
#include "graphics/PangoSupport.hpp"

#include <algorithm>

namespace graphics {

AttributedString::AttributedString(std::string text, TextAttributes attributes) : text_(std::move(text)) {
    if (!text_.empty())
        runs_.push_back({0, text_.size(), std::move(attributes)});
    else
        runs_.push_back({0, 0, std::move(attributes)}); // keeps the font for measuring the empty string
}

TextAttributes AttributedString::attributesAt(std::size_t index) const {
    for (const TextRun& run : runs_)
        if (index >= run.start && index < run.start + run.length)
            return run.attributes;
    return runs_.empty() ? TextAttributes{} : runs_.back().attributes;
}

void AttributedString::append(const std::string& text, const TextAttributes& attributes) {
    // An empty placeholder run (from an empty string) gives way to real text.
    if (runs_.size() == 1 && runs_[0].length == 0)
        runs_.clear();
    if (text.empty()) {
        if (runs_.empty())
            runs_.push_back({0, 0, attributes});
        return;
    }
    runs_.push_back({text_.size(), text.size(), attributes});
    text_ += text;
}

void AttributedString::append(const AttributedString& other) {
    if (other.text_.empty())
        return;
    for (const TextRun& run : other.runs_)
        if (run.length > 0)
            append(other.text_.substr(run.start, run.length), run.attributes);
}

void AttributedString::setAttributes(const TextAttributes& attributes, std::size_t start,
                                     std::size_t length) {
    start = std::min(start, text_.size());
    std::size_t end = std::min(text_.size(), start + std::min(length, text_.size()));
    // A boundary inside a multi-byte character moves out to the character's edges, so a run never splits
    // a UTF-8 sequence (Pango would reject the attribute list or draw garbage); an ill-formed byte is a
    // character of its own.
    start = core::characterStart(text_, start);
    if (const std::size_t holder = core::characterStart(text_, end); holder != end)
        end = core::nextCharacterBoundary(text_, holder);
    if (end <= start)
        return;
    std::vector<TextRun> result;
    for (const TextRun& run : runs_) {
        std::size_t runEnd = run.start + run.length;
        if (run.length == 0)
            continue;
        if (run.start < start)
            result.push_back({run.start, std::min(runEnd, start) - run.start, run.attributes});
        if (runEnd > end)
            result.push_back({std::max(run.start, end), runEnd - std::max(run.start, end), run.attributes});
    }
    result.push_back({start, end - start, attributes});
    std::sort(result.begin(), result.end(),
              [](const TextRun& a, const TextRun& b) { return a.start < b.start; });
    runs_ = std::move(result);
}

ParagraphStyle AttributedString::paragraphStyle() const {
    return runs_.empty() ? ParagraphStyle{} : runs_.front().attributes.paragraphStyle;
}

Size AttributedString::size() const {
    PangoContext* context = detail::createPangoContext();
    PangoLayout* layout = detail::createLayout(context, *this, {-1, false});
    Size s = detail::layoutSize(layout);
    g_object_unref(layout);
    g_object_unref(context);
    return s;
}

Size AttributedString::boundingSize(Size maxSize) const {
    PangoContext* context = detail::createPangoContext();
    PangoLayout* layout = detail::createLayout(context, *this, {maxSize.width, true});
    Size s = detail::layoutSize(layout);
    g_object_unref(layout);
    g_object_unref(context);
    // Clipped text never occupies more than the width it is drawn into.
    if (maxSize.width > 0)
        s.width = std::min(s.width, maxSize.width);
    return s;
}

std::string AttributedString::displayedText(double width) const {
    PangoContext* context = detail::createPangoContext();
    PangoLayout* layout = detail::createLayout(context, *this, {width, true});
    std::string shown;
    const char* text = pango_layout_get_text(layout);
    bool firstLine = true;
    for (GSList* l = pango_layout_get_lines_readonly(layout); l; l = l->next) {
        auto* line = static_cast<PangoLayoutLine*>(l->data);
        if (!firstLine)
            shown += line->is_paragraph_start ? "\n" : "";
        firstLine = false;
        for (GSList* r = line->runs; r; r = r->next) {
            auto* run = static_cast<PangoGlyphItem*>(r->data);
            if (run->item->analysis.flags & PANGO_ANALYSIS_FLAG_IS_ELLIPSIS)
                shown += "\u2026";
            else
                shown.append(text + run->item->offset, static_cast<std::size_t>(run->item->length));
        }
    }
    g_object_unref(layout);
    g_object_unref(context);
    return shown;
}

void AttributedString::draw(const Rect& rect) const {
    if (auto* ctx = GraphicsContext::current())
        ctx->drawText(*this, rect);
}

void AttributedString::drawAt(Point point) const {
    if (auto* ctx = GraphicsContext::current())
        ctx->drawText(*this, point);
}

} // namespace graphics
