#include "graphics/Color.hpp"

#include "core/Log.hpp"
#include "graphics/GraphicsContext.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unordered_map>

namespace graphics {

Color::Color(double red, double green, double blue, double alpha, std::string name)
    : red_(red), green_(green), blue_(blue), alpha_(alpha), name_(std::move(name)) {}

ColorRef Color::rgba(double red, double green, double blue, double alpha) {
    return std::make_shared<const Color>(red, green, blue, alpha);
}

ColorRef Color::white(double white, double alpha) {
    return rgba(white, white, white, alpha);
}

std::optional<Color> Color::parseHex(const std::string& text) {
    if (text.empty() || text[0] != '#')
        return std::nullopt;
    std::string hex = text.substr(1);
    for (char ch : hex)
        if (!std::isxdigit(static_cast<unsigned char>(ch)))
            return std::nullopt;
    if (hex.size() == 3) {
        std::string wide;
        for (char ch : hex)
            wide += std::string(2, ch);
        hex = wide;
    }
    if (hex.size() == 6)
        hex += "ff";
    if (hex.size() != 8)
        return std::nullopt;
    auto byte = [&](int i) {
        return std::stoi(hex.substr(static_cast<std::size_t>(i) * 2, 2), nullptr, 16) / 255.0;
    };
    return Color(byte(0), byte(1), byte(2), byte(3));
}

ColorRef Color::withAlphaComponent(double alpha) const {
    return std::make_shared<const Color>(red_, green_, blue_, alpha);
}

bool Color::sameComponents(const Color& o, double tolerance) const {
    return std::fabs(red_ - o.red_) <= tolerance && std::fabs(green_ - o.green_) <= tolerance &&
           std::fabs(blue_ - o.blue_) <= tolerance && std::fabs(alpha_ - o.alpha_) <= tolerance;
}

std::string Color::hexString() const {
    auto byte = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X%02X", byte(red_), byte(green_), byte(blue_),
                  byte(alpha_));
    return buffer;
}

namespace {

// A colour made as a handle keeps its identity when set; a plain value is wrapped in a new handle.
ColorRef handleFor(const Color& c) {
    if (auto self = c.weak_from_this().lock())
        return self;
    return std::make_shared<const Color>(c.red(), c.green(), c.blue(), c.alpha(), c.name());
}

} // namespace

void Color::set() const {
    if (auto* ctx = GraphicsContext::current()) {
        ColorRef handle = handleFor(*this);
        ctx->setFillColor(handle);
        ctx->setStrokeColor(handle);
    }
}

void Color::setFill() const {
    if (auto* ctx = GraphicsContext::current())
        ctx->setFillColor(handleFor(*this));
}

void Color::setStroke() const {
    if (auto* ctx = GraphicsContext::current())
        ctx->setStrokeColor(handleFor(*this));
}

namespace {

// Dark-appearance values of the system colours, close to what the system shows.
struct SystemColors {
    std::unordered_map<std::string, ColorRef> byName;

    SystemColors() {
        auto add = [&](const char* name, double r, double g, double b, double a) {
            byName[name] = std::make_shared<const Color>(r, g, b, a, name);
        };
        add("clearColor", 0, 0, 0, 0);
        add("blackColor", 0, 0, 0, 1);
        add("whiteColor", 1, 1, 1, 1);
        add("controlTextColor", 1, 1, 1, 0.85);
        add("disabledControlTextColor", 1, 1, 1, 0.25);
        add("textColor", 1, 1, 1, 1);
        add("textBackgroundColor", 0.118, 0.118, 0.118, 1);
        add("labelColor", 1, 1, 1, 0.85);
        add("secondaryLabelColor", 1, 1, 1, 0.55);
        add("tertiaryLabelColor", 1, 1, 1, 0.25);
        add("windowBackgroundColor", 0.196, 0.196, 0.196, 1);
        add("controlBackgroundColor", 0.118, 0.118, 0.118, 1);
        add("controlColor", 1, 1, 1, 0.25);
        add("controlAccentColor", 0.039, 0.518, 1.0, 1);
        add("keyboardFocusIndicatorColor", 0.039, 0.518, 1.0, 0.5);
        add("selectedTextBackgroundColor", 0.247, 0.388, 0.545, 1);
        add("selectedContentBackgroundColor", 0.0, 0.345, 0.816, 1);
        add("separatorColor", 1, 1, 1, 0.1);
        add("gridColor", 0.102, 0.102, 0.102, 1);
    }
};

const SystemColors& systemColors() {
    static const SystemColors colors;
    return colors;
}

} // namespace

ColorRef Color::system(const std::string& name) {
    const auto& map = systemColors().byName;
    auto it = map.find(name);
    return it == map.end() ? nullptr : it->second;
}

ColorRef Color::clear() {
    static const ColorRef c = system("clearColor");
    return c;
}
ColorRef Color::black() {
    static const ColorRef c = system("blackColor");
    return c;
}
ColorRef Color::whiteColor() {
    static const ColorRef c = system("whiteColor");
    return c;
}
ColorRef Color::controlTextColor() {
    static const ColorRef c = system("controlTextColor");
    return c;
}
ColorRef Color::disabledControlTextColor() {
    static const ColorRef c = system("disabledControlTextColor");
    return c;
}
ColorRef Color::textColor() {
    static const ColorRef c = system("textColor");
    return c;
}
ColorRef Color::textBackgroundColor() {
    static const ColorRef c = system("textBackgroundColor");
    return c;
}
ColorRef Color::labelColor() {
    static const ColorRef c = system("labelColor");
    return c;
}
ColorRef Color::secondaryLabelColor() {
    static const ColorRef c = system("secondaryLabelColor");
    return c;
}
ColorRef Color::tertiaryLabelColor() {
    static const ColorRef c = system("tertiaryLabelColor");
    return c;
}
ColorRef Color::windowBackgroundColor() {
    static const ColorRef c = system("windowBackgroundColor");
    return c;
}
ColorRef Color::controlBackgroundColor() {
    static const ColorRef c = system("controlBackgroundColor");
    return c;
}
ColorRef Color::controlColor() {
    static const ColorRef c = system("controlColor");
    return c;
}
ColorRef Color::controlAccentColor() {
    static const ColorRef c = system("controlAccentColor");
    return c;
}
ColorRef Color::keyboardFocusIndicatorColor() {
    static const ColorRef c = system("keyboardFocusIndicatorColor");
    return c;
}
ColorRef Color::selectedTextBackgroundColor() {
    static const ColorRef c = system("selectedTextBackgroundColor");
    return c;
}
ColorRef Color::selectedContentBackgroundColor() {
    static const ColorRef c = system("selectedContentBackgroundColor");
    return c;
}
ColorRef Color::separatorColor() {
    static const ColorRef c = system("separatorColor");
    return c;
}
ColorRef Color::gridColor() {
    static const ColorRef c = system("gridColor");
    return c;
}

ColorRef Color::named(const std::string& name, const std::filesystem::path& resourceDirectory) {
    auto color = ColorCatalog::forDirectory(resourceDirectory)->color(name);
    if (!color)
        core::logResourceFault(resourceDirectory, "colour", name, "is missing");
    return color;
}

namespace {

std::optional<Color> colorFromJSON(const std::string& name, const nlohmann::json& value) {
    if (value.is_string()) {
        auto parsed = Color::parseHex(value.get<std::string>());
        if (!parsed)
            return std::nullopt;
        return Color(parsed->red(), parsed->green(), parsed->blue(), parsed->alpha(), name);
    }
    if (!value.is_object())
        return std::nullopt;
    auto component = [&](const char* key, std::optional<double> fallback) -> std::optional<double> {
        auto it = value.find(key);
        if (it == value.end())
            return fallback;
        if (!it->is_number())
            return std::nullopt;
        return it->get<double>();
    };
    auto r = component("red", std::nullopt);
    auto g = component("green", std::nullopt);
    auto b = component("blue", std::nullopt);
    auto a = component("alpha", 1.0);
    if (!r || !g || !b || !a)
        return std::nullopt;
    return Color(*r, *g, *b, *a, name);
}

} // namespace

std::shared_ptr<ColorCatalog> ColorCatalog::fromJSON(const std::string& json) {
    return fromJSON(json, {});
}

std::shared_ptr<ColorCatalog> ColorCatalog::fromJSON(const std::string& json,
                                                     const std::function<void(const std::string&)>& skipped) {
    nlohmann::json root = nlohmann::json::parse(json, nullptr, /*allow_exceptions=*/false);
    if (!root.is_object())
        return nullptr;
    auto catalog = std::make_shared<ColorCatalog>();
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (auto color = colorFromJSON(it.key(), it.value()))
            catalog->colors_[it.key()] = std::make_shared<const Color>(*color);
        else if (skipped)
            skipped(it.key());
    }
    return catalog;
}

std::shared_ptr<ColorCatalog> ColorCatalog::forDirectory(const std::filesystem::path& resourceDirectory) {
    static std::mutex mutex;
    static std::map<std::filesystem::path, std::shared_ptr<ColorCatalog>> catalogs;

    std::error_code ec;
    std::filesystem::path key = std::filesystem::weakly_canonical(resourceDirectory, ec);
    if (ec)
        key = resourceDirectory;
    std::lock_guard lock(mutex);
    if (auto it = catalogs.find(key); it != catalogs.end())
        return it->second;

    std::shared_ptr<ColorCatalog> catalog;
    const std::filesystem::path file = key / fileName;
    std::ifstream in(file, std::ios::binary);
    if (in) {
        std::stringstream text;
        text << in.rdbuf();
        catalog = fromJSON(text.str(), [&file](const std::string& name) {
            core::logResourceFault(file, "colour", name, "is not a colour");
        });
        if (!catalog)
            core::logResourceFault(file, "colour table", fileName, "is not a JSON object");
    }
    if (!catalog)
        catalog = std::make_shared<ColorCatalog>();
    catalogs[key] = catalog;
    return catalog;
}

ColorRef ColorCatalog::color(const std::string& name) const {
    auto it = colors_.find(name);
    return it == colors_.end() ? nullptr : it->second;
}

} // namespace graphics
