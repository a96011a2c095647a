#include "tools/artwork-gen/DialArtwork.hpp"

#include "tools/artwork-gen/Artwork.hpp"
#include "tools/artwork-gen/Paint.hpp"

#include <algorithm>
#include <atomic>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>
#include <vector>

namespace artwork {

namespace {

constexpr double sweepDegrees = 270;
constexpr double startDegrees = -sweepDegrees / 2;

// The shared look of every dial: a near-black body lit from the top left.
const RGB bodyTop = hex("#3A3C42");
const RGB bodyBottom = hex("#141518");
const RGB capTop = hex("#4B4E56");
const RGB capBottom = hex("#24262B");
const RGB edgeDark = hex("#08090B");
const RGB ridgeDark = hex("#1A1C20");
const RGB ridgeLight = hex("#6E727B");

// Where each part of a dial sits, in points from the dial's centre.
struct Geometry {
    double trackRadius = 0;
    double trackWidth = 0;
    double bodyRadius = 0;
    double shadowSpread = 0; // how far the drop shadow reaches beyond the body
    int ridges = 0;          // knurled rim when > 0
    double ridgeDepth = 0;
    double capRadius = 0;
    double indicatorInner = 0; // a line from here ...
    double indicatorOuter = 0; // ... to here; a dot at this radius when indicatorInner is 0
    double indicatorWidth = 0; // line width, or the dot's radius
};

Geometry geometryFor(zelto::DialBody body) {
    switch (body) {
    case zelto::DialBody::chaos:
        return {24.5, 3, 19, 4, 40, 3.4, 14.6, 4.5, 12.2, 2.2};
    case zelto::DialBody::large:
        return {32, 3.5, 25, 5, 52, 4, 19.8, 6, 16.8, 2.6};
    case zelto::DialBody::medium:
        return {30, 4, 22.5, 5, 0, 0, 18.5, 0, 14.4, 2.6};
    case zelto::DialBody::tiny:
        return {14.8, 2, 10.6, 3, 0, 0, 9.2, 2.8, 7.6, 1.6};
    }
    return {};
}

void strokeArc(cairo_t* cr, double cx, double cy, double radius, double fromDegrees, double toDegrees) {
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, radius, cairoAngle(radians(fromDegrees)), cairoAngle(radians(toDegrees)));
    cairo_stroke(cr);
}

void circle(cairo_t* cr, double cx, double cy, double radius) {
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, radius, 0, 2 * pi);
}

// The faint groove over the whole sweep and the lit value arc from the start to the indicator.
void drawArcs(cairo_t* cr, const Geometry& g, double cx, double cy, double angle, RGB accent) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    const double end = startDegrees + sweepDegrees;
    cairo_set_line_width(cr, g.trackWidth + 1);
    set(cr, edgeDark, 0.55);
    strokeArc(cr, cx, cy, g.trackRadius, startDegrees, end);
    cairo_set_line_width(cr, g.trackWidth);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
    strokeArc(cr, cx, cy, g.trackRadius, startDegrees, end);
    if (angle <= startDegrees) {
        return;
    }
    cairo_set_line_width(cr, g.trackWidth + 3);
    set(cr, accent, 0.18);
    strokeArc(cr, cx, cy, g.trackRadius, startDegrees, angle);
    cairo_set_line_width(cr, g.trackWidth);
    set(cr, accent);
    strokeArc(cr, cx, cy, g.trackRadius, startDegrees, angle);
    // A brighter core makes the arc read as light rather than paint.
    cairo_set_line_width(cr, std::max(0.6, g.trackWidth * 0.3));
    set(cr, mix(accent, {1, 1, 1}, 0.45), 0.7);
    strokeArc(cr, cx, cy, g.trackRadius, startDegrees, angle);
}

void drawShadow(cairo_t* cr, const Geometry& g, double cx, double cy) {
    const double drop = g.shadowSpread * 0.45;
    const double outer = g.bodyRadius + g.shadowSpread;
    cairo_pattern_t* shadow =
        cairo_pattern_create_radial(cx, cy + drop, g.bodyRadius * 0.8, cx, cy + drop, outer);
    cairo_pattern_add_color_stop_rgba(shadow, 0, 0, 0, 0, 0.7);
    cairo_pattern_add_color_stop_rgba(shadow, 0.45, 0, 0, 0, 0.35);
    cairo_pattern_add_color_stop_rgba(shadow, 1, 0, 0, 0, 0);
    circle(cr, cx, cy + drop, outer);
    cairo_set_source(cr, shadow);
    cairo_fill(cr);
    cairo_pattern_destroy(shadow);
}

// The body's skirt: a dark disc with a vertical gradient and a crisp dark edge.
void drawBody(cairo_t* cr, const Geometry& g, double cx, double cy) {
    circle(cr, cx, cy, g.bodyRadius);
    fillVertical(cr, cy - g.bodyRadius, cy + g.bodyRadius, bodyTop, bodyBottom);
    set(cr, edgeDark);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
}

// Ridges around the rim that turn with the dial; each is lit by where it faces, light coming from the
// upper left.
void drawKnurl(cairo_t* cr, const Geometry& g, double cx, double cy, double angle) {
    const double inner = g.bodyRadius - g.ridgeDepth;
    const double outer = g.bodyRadius - 0.7;
    const double pitch = 2 * pi * outer / g.ridges;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_width(cr, pitch * 0.42);
    for (int i = 0; i < g.ridges; ++i) {
        const double a = radians(angle) + i * 2 * pi / g.ridges;
        const double facing = 0.5 + 0.5 * std::cos(a - radians(-40));
        set(cr, mix(ridgeDark, ridgeLight, std::pow(facing, 1.6)));
        cairo_move_to(cr, pointX(cx, inner, a), pointY(cy, inner, a));
        cairo_line_to(cr, pointX(cx, outer, a), pointY(cy, outer, a));
        cairo_stroke(cr);
    }
    // The groove between the rim and the cap.
    circle(cr, cx, cy, g.capRadius + 0.5);
    set(cr, edgeDark, 0.9);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
}

// The medium dial's smooth skirt: a chamfered ring, bright at the top and dark at the bottom.
void drawChamfer(cairo_t* cr, const Geometry& g, double cx, double cy) {
    cairo_pattern_t* ring = cairo_pattern_create_linear(0, cy - g.bodyRadius, 0, cy + g.bodyRadius);
    addStop(ring, 0, hex("#6A6E77"));
    addStop(ring, 0.5, hex("#2E3035"));
    addStop(ring, 1, hex("#111215"));
    circle(cr, cx, cy, g.bodyRadius - 0.6);
    cairo_new_sub_path(cr);
    cairo_arc_negative(cr, cx, cy, g.capRadius, 2 * pi, 0);
    cairo_set_source(cr, ring);
    cairo_fill(cr);
    cairo_pattern_destroy(ring);
    circle(cr, cx, cy, g.capRadius + 0.3);
    set(cr, edgeDark, 0.7);
    cairo_set_line_width(cr, 0.7);
    cairo_stroke(cr);
}

// The cap: a lit disc with a soft sheen at the upper left and a highlight along its top edge.
void drawCap(cairo_t* cr, const Geometry& g, double cx, double cy, bool concave) {
    const double r = g.capRadius;
    circle(cr, cx, cy, r);
    if (concave) {
        fillVertical(cr, cy - r, cy + r, hex("#1F2125"), hex("#34363C"));
    } else {
        fillVertical(cr, cy - r, cy + r, capTop, capBottom);
    }
    cairo_pattern_t* sheen =
        cairo_pattern_create_radial(cx - r * 0.35, cy - r * 0.45, 0, cx - r * 0.35, cy - r * 0.45, r * 1.25);
    cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, concave ? 0.06 : 0.14);
    cairo_pattern_add_color_stop_rgba(sheen, 1, 1, 1, 1, 0);
    cairo_set_source(cr, sheen);
    cairo_fill(cr);
    cairo_pattern_destroy(sheen);

    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 0.8);
    cairo_set_source_rgba(cr, 1, 1, 1, concave ? 0.08 : 0.2);
    strokeArc(cr, cx, cy, r - 0.5, concave ? 120 : -65, concave ? 240 : 65);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    strokeArc(cr, cx, cy, r - 0.5, concave ? -60 : 115, concave ? 60 : 245);
}

void drawIndicator(cairo_t* cr, const Geometry& g, double cx, double cy, double angle, RGB accent) {
    const double a = radians(angle);
    if (g.indicatorInner <= 0) {
        // A lit dot with a soft glow.
        const double x = pointX(cx, g.indicatorOuter, a), y = pointY(cy, g.indicatorOuter, a);
        const double glowRadius = g.indicatorWidth * 2.4;
        cairo_pattern_t* glow = cairo_pattern_create_radial(x, y, 0, x, y, glowRadius);
        addStop(glow, 0, accent, 0.45);
        addStop(glow, 1, accent, 0);
        circle(cr, x, y, glowRadius);
        cairo_set_source(cr, glow);
        cairo_fill(cr);
        cairo_pattern_destroy(glow);
        circle(cr, x, y + 0.4, g.indicatorWidth + 0.3);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
        cairo_fill(cr);
        circle(cr, x, y, g.indicatorWidth);
        set(cr, accent);
        cairo_fill(cr);
        circle(cr, x - g.indicatorWidth * 0.25, y - g.indicatorWidth * 0.3, g.indicatorWidth * 0.45);
        set(cr, mix(accent, {1, 1, 1}, 0.6), 0.7);
        cairo_fill(cr);
        return;
    }
    auto line = [&](double dy) {
        cairo_new_path(cr);
        cairo_move_to(cr, pointX(cx, g.indicatorInner, a), pointY(cy, g.indicatorInner, a) + dy);
        cairo_line_to(cr, pointX(cx, g.indicatorOuter, a), pointY(cy, g.indicatorOuter, a) + dy);
        cairo_stroke(cr);
    };
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, g.indicatorWidth + 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    line(0.5);
    cairo_set_line_width(cr, g.indicatorWidth);
    set(cr, accent);
    line(0);
}

bool writeJSON(const std::filesystem::path& file, const nlohmann::json& json) {
    std::ofstream out(file);
    out << json.dump(2) << '\n';
    return static_cast<bool>(out);
}

} // namespace

double dialAngleDegrees(int frame) {
    const int clamped = std::clamp(frame, 1, zelto::dialFrameCount);
    return startDegrees + sweepDegrees * (clamped - 1) / (zelto::dialFrameCount - 1);
}

DialLayout dialLayout(const zelto::DialSequence& sequence) {
    const Geometry g = geometryFor(sequence.body);
    // Every dial is as wide as its circle; the rest of a taller frame lies below for the label.
    const double centre = sequence.width / 2;
    const double indicator =
        g.indicatorInner > 0 ? (g.indicatorInner + g.indicatorOuter) / 2 : g.indicatorOuter;
    return {centre, centre, g.trackRadius, indicator};
}

void drawDialFrame(cairo_t* cr, const zelto::DialSequence& sequence, int frame) {
    const Geometry g = geometryFor(sequence.body);
    const DialLayout layout = dialLayout(sequence);
    const double cx = layout.centreX, cy = layout.centreY;
    const double angle = dialAngleDegrees(frame);
    const RGB accent = hex(sequence.accent);
    cairo_save(cr);
    drawArcs(cr, g, cx, cy, angle, accent);
    drawShadow(cr, g, cx, cy);
    drawBody(cr, g, cx, cy);
    if (g.ridges > 0) {
        drawKnurl(cr, g, cx, cy, angle);
    } else if (sequence.body == zelto::DialBody::medium) {
        drawChamfer(cr, g, cx, cy);
    }
    drawCap(cr, g, cx, cy, sequence.body == zelto::DialBody::medium);
    drawIndicator(cr, g, cx, cy, angle, accent);
    cairo_restore(cr);
}

std::string dialFrameName(const zelto::DialSequence& sequence, int frame) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%02d", frame);
    return std::string(sequence.prefix) + digits;
}

bool writeDialBundles(const std::filesystem::path& bundlesDirectory) {
    for (const auto module : zelto::dialModules) {
        const auto bundle = bundlesDirectory / ("Zelto_" + std::string(module) + ".bundle");
        std::error_code error;
        std::filesystem::create_directories(bundle / "Resources", error);
        const nlohmann::json info = {
            {"CFBundleIdentifier", "com.kestrova." + std::string(module) + ".resources"}};
        if (error || !writeJSON(bundle / "Info.json", info)) {
            std::fprintf(stderr, "artwork-gen: cannot write the bundle %s\n", bundle.c_str());
            return false;
        }
    }

    struct Job {
        const zelto::DialSequence* sequence;
        int frame;
        std::filesystem::path base; // without ".png"
    };
    std::vector<Job> jobs;
    for (const auto& sequence : zelto::dialSequences) {
        const auto resources =
            bundlesDirectory / ("Zelto_" + std::string(sequence.module) + ".bundle") / "Resources";
        for (int frame = 1; frame <= zelto::dialFrameCount; ++frame) {
            const auto base = resources / dialFrameName(sequence, frame);
            std::error_code error;
            std::filesystem::create_directories(base.parent_path(), error);
            if (error) {
                std::fprintf(stderr, "artwork-gen: cannot create %s\n", base.parent_path().c_str());
                return false;
            }
            jobs.push_back({&sequence, frame, base});
        }
    }

    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    auto work = [&] {
        for (std::size_t i = next++; i < jobs.size() && !failed; i = next++) {
            const Job& job = jobs[i];
            const ImageSpec spec{
                job.base.filename().string(),
                job.sequence->width,
                job.sequence->height,
                {},
                false,
                false,
                [&job](cairo_t* cr, double, double) { drawDialFrame(cr, *job.sequence, job.frame); }};
            if (!writeImage(spec, 1, job.base.string() + ".png") ||
                !writeImage(spec, 2, job.base.string() + "@2x.png")) {
                std::fprintf(stderr, "artwork-gen: cannot write %s\n", job.base.c_str());
                failed = true;
            }
        }
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) {
        pool.emplace_back(work);
    }
    work();
    for (auto& thread : pool) {
        thread.join();
    }
    return !failed;
}

} // namespace artwork
