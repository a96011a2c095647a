#pragma once

// Colours are immutable shared handles. A named or system colour is created once and every lookup
// returns the same pointer, so callers may compare colours by identity.

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace graphics {

class Color;
using ColorRef = std::shared_ptr<const Color>;

class Color : public std::enable_shared_from_this<Color> {
public:
    // Components are sRGB, 0..1 (values outside are kept; drawing clamps).
    Color(double red, double green, double blue, double alpha = 1.0, std::string name = {});

    static ColorRef rgba(double red, double green, double blue, double alpha = 1.0);
    static ColorRef white(double white, double alpha = 1.0);
    // "#RGB", "#RRGGBB" or "#RRGGBBAA"; nullopt when malformed.
    static std::optional<Color> parseHex(const std::string& text);

    double red() const { return red_; }
    double green() const { return green_; }
    double blue() const { return blue_; }
    double alpha() const { return alpha_; }
    // The catalogue or system name; empty for colours made from components.
    const std::string& name() const { return name_; }

    // A new colour with the same components and the given alpha (a variant is never the named original).
    ColorRef withAlphaComponent(double alpha) const;

    // Component equality (identity is pointer equality of the handles).
    bool sameComponents(const Color& other, double tolerance = 1e-9) const;
    // "#RRGGBBAA", for messages and recorder dumps.
    std::string hexString() const;

    // Sets fill and stroke colour of the current graphics context (nothing without one).
    void set() const;
    void setFill() const;
    void setStroke() const;

    // System colours, dark-appearance values; each is one shared object for the life of the process.
    static ColorRef clear();
    static ColorRef black();
    static ColorRef whiteColor();
    static ColorRef controlTextColor();
    static ColorRef disabledControlTextColor();
    static ColorRef textColor();
    static ColorRef textBackgroundColor();
    static ColorRef labelColor();
    static ColorRef secondaryLabelColor();
    static ColorRef tertiaryLabelColor();
    static ColorRef windowBackgroundColor();
    static ColorRef controlBackgroundColor();
    static ColorRef controlColor();
    static ColorRef controlAccentColor();
    static ColorRef keyboardFocusIndicatorColor();
    static ColorRef selectedTextBackgroundColor();
    static ColorRef selectedContentBackgroundColor();
    static ColorRef separatorColor();
    static ColorRef gridColor();
    // A system colour by its AppKit name ("controlTextColor", ...); null when unknown.
    static ColorRef system(const std::string& name);

    // A named colour from a resource directory's colour table (see ColorCatalog); null when missing.
    static ColorRef named(const std::string& name, const std::filesystem::path& resourceDirectory);

private:
    double red_, green_, blue_, alpha_;
    std::string name_;
};

// A colour table read from "Colors.json" in a resource directory. The file is one JSON object mapping a
// colour name to either {"red": r, "green": g, "blue": b, "alpha": a} (0..1, alpha optional, default 1)
// or a hex string "#RRGGBB" / "#RRGGBBAA". Names may contain '/' and spaces ("Background/Normal").
class ColorCatalog {
public:
    static constexpr const char* fileName = "Colors.json";

    // The shared catalogue of a directory (one per canonical path, loaded on first use). A directory
    // without the file, or with an unreadable file, gives an empty catalogue.
    static std::shared_ptr<ColorCatalog> forDirectory(const std::filesystem::path& resourceDirectory);
    // Parses a JSON text; entries that are not colours are skipped. nullptr when the text is not a JSON
    // object.
    static std::shared_ptr<ColorCatalog> fromJSON(const std::string& json);

    // The same handle on every call; null when the name is not in the table.
    ColorRef color(const std::string& name) const;
    std::size_t count() const { return colors_.size(); }

private:
    // As above, telling skipped each name whose entry is not a colour.
    static std::shared_ptr<ColorCatalog> fromJSON(const std::string& json,
                                                  const std::function<void(const std::string&)>& skipped);

    std::map<std::string, ColorRef> colors_;
};

} // namespace graphics
