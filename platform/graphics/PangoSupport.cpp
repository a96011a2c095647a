#include "graphics/PangoSupport.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <pango/pangofc-fontmap.h>
#include <vector>

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

namespace {

// A full stop taken out of its line to be drawn on its own: where Pango put it, in user space.
struct SmallPoint {
    PangoGlyphInfo* info;
    PangoGlyph glyph;
    PangoFont* font;
    PangoItem* item;
    double x;
    double baseline;
    PangoRectangle ink;
};

bool isFullStop(PangoFont* font, PangoGlyph glyph) {
    hb_codepoint_t fullStop = 0;
    return hb_font_get_nominal_glyph(pango_font_get_hb_font(font), '.', &fullStop) && fullStop == glyph;
}

// Sets the colour the item's attributes give its text; without one the source stays as it is.
void setItemColor(cairo_t* cr, const PangoItem& item) {
    const PangoColor* color = nullptr;
    double alpha = 1.0;
    for (GSList* node = item.analysis.extra_attrs; node; node = node->next) {
        const auto* attribute = static_cast<const PangoAttribute*>(node->data);
        if (attribute->klass->type == PANGO_ATTR_FOREGROUND) {
            color = &reinterpret_cast<const PangoAttrColor*>(attribute)->color;
        } else if (attribute->klass->type == PANGO_ATTR_FOREGROUND_ALPHA) {
            alpha = reinterpret_cast<const PangoAttrInt*>(attribute)->value / 65535.0;
        }
    }
    if (color) {
        cairo_set_source_rgba(cr, color->red / 65535.0, color->green / 65535.0, color->blue / 65535.0, alpha);
    }
}

} // namespace

void showLayout(cairo_t* cr, PangoLayout* layout) {
    // Cairo draws each glyph from an image made at a whole device pixel, so a point about one pixel wide
    // falls across two columns at half strength each and, beside a narrow digit, all but vanishes. Such
    // points are drawn from their outlines instead, moved by less than half a pixel so that their ink is
    // centred on a pixel; every other glyph is drawn as Pango draws it.
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    double originX = 0, originY = 0;
    if (cairo_has_current_point(cr)) {
        cairo_get_current_point(cr, &originX, &originY);
    }
    std::vector<SmallPoint> points;
    if (matrix.xy == 0 && matrix.yx == 0) {
        PangoLayoutIter* iter = pango_layout_get_iter(layout);
        do {
            PangoLayoutRun* run = pango_layout_iter_get_run_readonly(iter);
            if (!run) {
                continue;
            }
            PangoRectangle logical;
            pango_layout_iter_get_run_extents(iter, nullptr, &logical);
            const int baseline = pango_layout_iter_get_baseline(iter);
            int x = logical.x;
            for (int i = 0; i < run->glyphs->num_glyphs; ++i) {
                PangoGlyphInfo& info = run->glyphs->glyphs[i];
                if (info.glyph != PANGO_GLYPH_EMPTY && !(info.glyph & PANGO_GLYPH_UNKNOWN_FLAG) &&
                    isFullStop(run->item->analysis.font, info.glyph)) {
                    PangoRectangle ink;
                    pango_font_get_glyph_extents(run->item->analysis.font, info.glyph, &ink, nullptr);
                    if (ink.width > 0 && ink.width * std::abs(matrix.xx) < 2.0 * PANGO_SCALE) {
                        points.push_back(
                            {&info, info.glyph, run->item->analysis.font, run->item,
                             originX + static_cast<double>(x + info.geometry.x_offset) / PANGO_SCALE,
                             originY + static_cast<double>(baseline + info.geometry.y_offset) / PANGO_SCALE,
                             ink});
                        info.glyph = PANGO_GLYPH_EMPTY;
                    }
                }
                x += info.geometry.width;
            }
        } while (pango_layout_iter_next_run(iter));
        pango_layout_iter_free(iter);
    }
    pango_cairo_show_layout(cr, layout);
    if (points.empty()) {
        return;
    }
    PangoGlyphString* single = pango_glyph_string_new();
    pango_glyph_string_set_size(single, 1);
    single->log_clusters[0] = 0;
    for (SmallPoint& point : points) {
        point.info->glyph = point.glyph;
        // The baseline where Cairo puts the other glyphs (rounded to a device row), and the ink's centre.
        double baseX = point.x, baseY = point.baseline;
        cairo_user_to_device(cr, &baseX, &baseY);
        double centreX = point.x + (point.ink.x + point.ink.width / 2.0) / PANGO_SCALE;
        double centreY = point.baseline + (point.ink.y + point.ink.height / 2.0) / PANGO_SCALE;
        cairo_user_to_device(cr, &centreX, &centreY);
        centreY += std::floor(baseY + 0.5) - baseY;
        double shiftX = std::floor(centreX) + 0.5 - centreX;
        double shiftY = std::floor(centreY) + 0.5 - centreY + std::floor(baseY + 0.5) - baseY;
        cairo_device_to_user_distance(cr, &shiftX, &shiftY);
        cairo_save(cr);
        setItemColor(cr, *point.item);
        single->glyphs[0] = *point.info;
        single->glyphs[0].geometry.x_offset = 0;
        single->glyphs[0].geometry.y_offset = 0;
        cairo_new_path(cr);
        cairo_move_to(cr, point.x + shiftX, point.baseline + shiftY);
        pango_cairo_glyph_string_path(cr, point.font, single);
        cairo_fill(cr);
        cairo_restore(cr);
    }
    pango_glyph_string_free(single);
}

} // namespace graphics::detail
