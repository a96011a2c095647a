#include "graphics/PangoSupport.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <pango/pangofc-fontmap.h>

namespace graphics::detail {

// Bumped whenever an application font is added; each thread's font map re-reads fontconfig when it sees
// a newer value.
std::atomic<int> fontConfigGeneration{0};

namespace {

// Font maps are not thread-safe, so each thread has its own, released when the thread ends.
struct ThreadFontMap {
    PangoFontMap* map = nullptr;
    int seenGeneration = 0;

    ThreadFontMap() {
        map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        if (map && PANGO_IS_FC_FONT_MAP(map)) {
            seenGeneration = fontConfigGeneration.load(std::memory_order_acquire);
            pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), fontConfig());
        } else if (!map) {
            map = pango_cairo_font_map_new();
        }
    }
    ~ThreadFontMap() {
        if (map)
            g_object_unref(map);
    }
    ThreadFontMap(const ThreadFontMap&) = delete;
    ThreadFontMap& operator=(const ThreadFontMap&) = delete;
};

} // namespace

PangoFontMap* fontMap() {
    thread_local ThreadFontMap own;
    const int generation = fontConfigGeneration.load(std::memory_order_acquire);
    if (generation != own.seenGeneration) {
        own.seenGeneration = generation;
        if (PANGO_IS_FC_FONT_MAP(own.map))
            pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(own.map));
    }
    return own.map;
}

PangoContext* createPangoContext(cairo_t* cr) {
    PangoContext* context = pango_font_map_create_context(fontMap());
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    // Sizes are absolute, but keep 1 pt = 1 unit for anything that is not.
    pango_cairo_context_set_resolution(context, 72.0);
    // Unrounded glyph positions: text width is proportional to size and the same at every scale.
    pango_context_set_round_glyph_positions(context, FALSE);
    if (cr)
        pango_cairo_update_context(cr, context);
    return context;
}

PangoFontDescription* createFontDescription(const Font& font) {
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, font.familyName().c_str());
    PangoWeight weight = PANGO_WEIGHT_NORMAL;
    switch (font.weight()) {
    case FontWeight::ultraLight:
        weight = PANGO_WEIGHT_ULTRALIGHT;
        break;
    case FontWeight::thin:
        weight = PANGO_WEIGHT_THIN;
        break;
    case FontWeight::light:
        weight = PANGO_WEIGHT_LIGHT;
        break;
    case FontWeight::regular:
        weight = PANGO_WEIGHT_NORMAL;
        break;
    case FontWeight::medium:
        weight = PANGO_WEIGHT_MEDIUM;
        break;
    case FontWeight::semibold:
        weight = PANGO_WEIGHT_SEMIBOLD;
        break;
    case FontWeight::bold:
        weight = PANGO_WEIGHT_BOLD;
        break;
    case FontWeight::heavy:
        weight = PANGO_WEIGHT_HEAVY;
        break;
    case FontWeight::black:
        weight = PANGO_WEIGHT_ULTRAHEAVY;
        break;
    }
    pango_font_description_set_weight(desc, weight);
    pango_font_description_set_style(desc, font.isItalic() ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(desc, font.pointSize() * PANGO_SCALE);
    return desc;
}

namespace {

guint16 channel(double v) {
    return static_cast<guint16>(std::lround(std::clamp(v, 0.0, 1.0) * 65535.0));
}

void insert(PangoAttrList* list, PangoAttribute* attr, std::size_t start, std::size_t end) {
    attr->start_index = static_cast<guint>(start);
    attr->end_index = static_cast<guint>(end);
    pango_attr_list_insert(list, attr);
}

// Draws the characters of a line wider than width closer together, by up to a twentieth of the font
// size each, so that it fits (or comes as near as that allows).
void tighten(PangoLayout* layout, const AttributedString& text, double width) {
    const int limitedWidth = pango_layout_get_width(layout);
    pango_layout_set_width(layout, -1);
    const double natural = layoutSize(layout).width;
    pango_layout_set_width(layout, limitedWidth);
    const auto characters = g_utf8_strlen(text.string().c_str(), static_cast<gssize>(text.length()));
    if (natural <= width || characters <= 0) {
        return;
    }
    const FontRef& font = text.runs().empty() ? FontRef() : text.runs().front().attributes.font;
    const double limit = (font ? font->pointSize() : 12.0) / 20.0;
    const double perCharacter = std::min((natural - width) / static_cast<double>(characters), limit);
    PangoAttrList* list = pango_attr_list_copy(pango_layout_get_attributes(layout));
    if (!list) {
        list = pango_attr_list_new();
    }
    insert(list, pango_attr_letter_spacing_new(-static_cast<int>(std::ceil(perCharacter * PANGO_SCALE))), 0,
           G_MAXUINT);
    pango_layout_set_attributes(layout, list);
    pango_attr_list_unref(list);
}

} // namespace

PangoLayout* createLayout(PangoContext* context, const AttributedString& text, const LayoutRequest& request) {
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_text(layout, text.string().c_str(), static_cast<int>(text.length()));

    PangoAttrList* list = pango_attr_list_new();
    FontRef defaultFont = Font::systemFont(12);
    auto addRun = [&](const TextAttributes& attrs, std::size_t start, std::size_t end) {
        const Font& font = attrs.font ? *attrs.font : *defaultFont;
        PangoFontDescription* desc = createFontDescription(font);
        insert(list, pango_attr_font_desc_new(desc), start, end);
        pango_font_description_free(desc);
        if (font.hasMonospacedDigits())
            insert(list, pango_attr_font_features_new("tnum 1"), start, end);
        double r = 0, g = 0, b = 0, a = 1;
        if (attrs.foregroundColor) {
            r = attrs.foregroundColor->red();
            g = attrs.foregroundColor->green();
            b = attrs.foregroundColor->blue();
            a = attrs.foregroundColor->alpha();
        }
        insert(list, pango_attr_foreground_new(channel(r), channel(g), channel(b)), start, end);
        insert(list, pango_attr_foreground_alpha_new(std::max<guint16>(channel(a), 1)), start, end);
        if (attrs.backgroundColor && attrs.backgroundColor->alpha() > 0) {
            const Color& bg = *attrs.backgroundColor;
            insert(list,
                   pango_attr_background_new(channel(bg.red()), channel(bg.green()), channel(bg.blue())),
                   start, end);
            insert(list, pango_attr_background_alpha_new(std::max<guint16>(channel(bg.alpha()), 1)), start,
                   end);
        }
    };
    if (text.runs().empty()) {
        // Still sets the font, so an empty string measures one line of the right height.
        addRun(text.attributesAt(0), 0, G_MAXUINT);
    } else {
        for (const TextRun& run : text.runs())
            addRun(run.attributes, run.start, run.start + run.length);
        // The font of the first run also governs the height of an empty layout.
        const Font& first =
            text.runs().front().attributes.font ? *text.runs().front().attributes.font : *defaultFont;
        PangoFontDescription* desc = createFontDescription(first);
        pango_layout_set_font_description(layout, desc);
        pango_font_description_free(desc);
    }
    if (text.runs().empty()) {
        PangoFontDescription* desc = createFontDescription(*defaultFont);
        pango_layout_set_font_description(layout, desc);
        pango_font_description_free(desc);
    }
    pango_layout_set_attributes(layout, list);
    pango_attr_list_unref(list);

    ParagraphStyle paragraph = text.paragraphStyle();
    bool limited = request.width > 0;
    LineBreakMode mode = request.applyLineBreakMode ? paragraph.lineBreakMode : LineBreakMode::wordWrap;
    if (limited && mode != LineBreakMode::clipping) {
        pango_layout_set_width(layout, static_cast<int>(std::lround(request.width * PANGO_SCALE)));
        switch (mode) {
        case LineBreakMode::wordWrap:
            pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
            break;
        case LineBreakMode::charWrap:
            pango_layout_set_wrap(layout, PANGO_WRAP_CHAR);
            break;
        case LineBreakMode::truncatingHead:
        case LineBreakMode::truncatingTail:
        case LineBreakMode::truncatingMiddle:
            if (paragraph.allowsDefaultTighteningForTruncation) {
                tighten(layout, text, request.width);
            }
            pango_layout_set_ellipsize(layout, mode == LineBreakMode::truncatingHead ? PANGO_ELLIPSIZE_START
                                               : mode == LineBreakMode::truncatingTail
                                                   ? PANGO_ELLIPSIZE_END
                                                   : PANGO_ELLIPSIZE_MIDDLE);
            // One line per paragraph, as AppKit truncates, unless more lines are allowed: then the
            // text wraps at words and the last line allowed is the one truncated.
            if (paragraph.maximumNumberOfLines > 1) {
                pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
                pango_layout_set_height(layout, -paragraph.maximumNumberOfLines);
            } else {
                pango_layout_set_height(layout, -1);
            }
            break;
        case LineBreakMode::clipping:
            break;
        }
        switch (paragraph.alignment) {
        case TextAlignment::left:
        case TextAlignment::natural:
            pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
            break;
        case TextAlignment::right:
            pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
            break;
        case TextAlignment::center:
            pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
            break;
        case TextAlignment::justified:
            pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
            pango_layout_set_justify(layout, TRUE);
            break;
        }
    }
    if (limited && paragraph.maximumNumberOfLines > 0 &&
        (mode == LineBreakMode::wordWrap || mode == LineBreakMode::charWrap) &&
        pango_layout_get_line_count(layout) > paragraph.maximumNumberOfLines) {
        // Wrapped text keeps its first lines only: the layout is cut after the last one allowed.
        PangoLayoutLine* last = pango_layout_get_line_readonly(layout, paragraph.maximumNumberOfLines - 1);
        const int end = last->start_index + last->length;
        pango_layout_set_text(layout, text.string().c_str(), end);
    }
    // Explicitly left-to-right "left" must not flip for right-to-left text; natural may.
    pango_layout_set_auto_dir(layout, paragraph.alignment == TextAlignment::natural);
    return layout;
}

Size layoutSize(PangoLayout* layout) {
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    return {static_cast<double>(logical.width) / PANGO_SCALE,
            static_cast<double>(logical.height) / PANGO_SCALE};
}

} // namespace graphics::detail
