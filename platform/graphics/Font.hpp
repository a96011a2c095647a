#pragma once

// Fonts resolve through fontconfig and are laid out by Pango. The system face is "DejaVu Sans";
// 1 pt = 1 px at backing scale 1 (sizes are absolute, independent of any screen resolution setting).

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace graphics {

class Font;
using FontRef = std::shared_ptr<const Font>;

enum class FontWeight { ultraLight, thin, light, regular, medium, semibold, bold, heavy, black };

struct FontMetrics {
    double ascender = 0;   // above the baseline, positive
    double descender = 0;  // below the baseline, negative (AppKit's sign)
    double lineHeight = 0; // baseline-to-baseline distance of one line as Pango lays it out
    double capHeight = 0;
    double xHeight = 0;
};

class Font {
public:
    static constexpr const char* systemFamily = "DejaVu Sans";

    Font(std::string family, double pointSize, FontWeight weight, bool monospacedDigits, bool italic = false);

    static FontRef systemFont(double pointSize, FontWeight weight = FontWeight::regular);
    static FontRef boldSystemFont(double pointSize);
    // Digits of equal advance through the OpenType "tnum" feature.
    static FontRef monospacedDigitSystemFont(double pointSize, FontWeight weight = FontWeight::regular);
    static FontRef monospacedSystemFont(double pointSize, FontWeight weight = FontWeight::regular);
    // A face by family name (system or registered); null when fontconfig knows no such family.
    static FontRef named(const std::string& family, double pointSize,
                         FontWeight weight = FontWeight::regular);

    // Adds a font file (TTF/OTF) as an application font to the library's own fontconfig configuration (the
    // system's, loaded privately), which all of the library's text uses: neither the process's current
    // configuration (a host's, inside a plug-in) nor the user's is touched. Returns false when the file
    // cannot be added.
    static bool registerFontFile(const std::filesystem::path& file);
    // Registers every .ttf/.otf file in a directory; returns how many were added.
    static int registerFontsInDirectory(const std::filesystem::path& directory);
    // Makes the family name alias answer with family's faces in the library's own configuration (an
    // in-memory fontconfig rule). Returns false for names fontconfig would not take.
    static bool addFamilyAlias(const std::string& alias, const std::string& family);
    // True when fontconfig has a face whose family matches exactly (case-insensitive).
    static bool familyExists(const std::string& family);

    const std::string& familyName() const { return family_; }
    double pointSize() const { return pointSize_; }
    FontWeight weight() const { return weight_; }
    bool isBold() const { return weight_ >= FontWeight::semibold; }
    bool isItalic() const { return italic_; }
    bool hasMonospacedDigits() const { return monospacedDigits_; }
    // Family, style and size as a Pango description string ("DejaVu Sans Bold 10").
    std::string displayName() const;

    FontRef withSize(double pointSize) const;
    FontRef withWeight(FontWeight weight) const;

    // Metrics of the resolved face at this size (computed once, then cached).
    const FontMetrics& metrics() const;
    double ascender() const { return metrics().ascender; }
    double descender() const { return metrics().descender; }
    double lineHeight() const { return metrics().lineHeight; }
    double capHeight() const { return metrics().capHeight; }

    // Descriptor equality (family, size, weight, italic, digits).
    bool operator==(const Font& other) const;

    // The Pango font description string used for layout ("DejaVu Sans Bold 10px" style, absolute size).
    std::string pangoDescription() const;

private:
    std::string family_;
    double pointSize_;
    FontWeight weight_;
    bool monospacedDigits_;
    bool italic_;
    mutable std::once_flag metricsOnce_;
    mutable std::shared_ptr<const FontMetrics> metrics_;
};

} // namespace graphics
