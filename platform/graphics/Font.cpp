#include "graphics/Font.hpp"

#include "core/Log.hpp"
#include "graphics/PangoSupport.hpp"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <fontconfig/fontconfig.h>
#include <map>
#include <mutex>

namespace graphics {

namespace detail {

extern std::atomic<int> fontConfigGeneration;

FcConfig* fontConfig() {
    // The system's configuration and fonts, loaded into a configuration of our own: registered fonts and
    // aliases go there, never into the process's current configuration, which inside a host is the host's.
    static FcConfig* const config = [] {
        FcConfig* loaded = FcInitLoadConfigAndFonts();
        return loaded ? loaded : FcConfigCreate();
    }();
    return config;
}

} // namespace detail

namespace {

// Additions to our configuration and queries of it are serialised here.
std::mutex& fontconfigMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

} // namespace

Font::Font(std::string family, double pointSize, FontWeight weight, bool monospacedDigits, bool italic)
    : family_(std::move(family)), pointSize_(pointSize), weight_(weight), monospacedDigits_(monospacedDigits),
      italic_(italic) {}

FontRef Font::systemFont(double pointSize, FontWeight weight) {
    return std::make_shared<const Font>(systemFamily, pointSize, weight, false);
}

FontRef Font::boldSystemFont(double pointSize) {
    return systemFont(pointSize, FontWeight::bold);
}

FontRef Font::monospacedDigitSystemFont(double pointSize, FontWeight weight) {
    return std::make_shared<const Font>(systemFamily, pointSize, weight, true);
}

FontRef Font::monospacedSystemFont(double pointSize, FontWeight weight) {
    return std::make_shared<const Font>("DejaVu Sans Mono", pointSize, weight, false);
}

FontRef Font::named(const std::string& family, double pointSize, FontWeight weight) {
    if (!familyExists(family))
        return nullptr;
    return std::make_shared<const Font>(family, pointSize, weight, false);
}

bool Font::registerFontFile(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return false;
    {
        std::lock_guard lock(fontconfigMutex());
        if (!FcConfigAppFontAddFile(detail::fontConfig(), reinterpret_cast<const FcChar8*>(file.c_str())))
            return false;
    }
    detail::fontConfigGeneration.fetch_add(1, std::memory_order_acq_rel);
    return true;
}

bool Font::addFamilyAlias(const std::string& alias, const std::string& family) {
    const auto plain = [](const std::string& name) {
        return !name.empty() && name.size() < 128 && name.find_first_of("<>&\"'") == std::string::npos;
    };
    if (!plain(alias) || !plain(family))
        return false;
    const std::string rule = "<?xml version=\"1.0\"?><fontconfig><match target=\"pattern\">"
                             "<test name=\"family\"><string>" +
                             alias +
                             "</string></test><edit name=\"family\" mode=\"prepend\" binding=\"strong\">"
                             "<string>" +
                             family + "</string></edit></match></fontconfig>";
    {
        std::lock_guard lock(fontconfigMutex());
        if (!FcConfigParseAndLoadFromMemory(detail::fontConfig(),
                                            reinterpret_cast<const FcChar8*>(rule.c_str()), FcTrue))
            return false;
    }
    detail::fontConfigGeneration.fetch_add(1, std::memory_order_acq_rel);
    return true;
}

int Font::registerFontsInDirectory(const std::filesystem::path& directory) {
    int added = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
        std::string ext = lower(entry.path().extension().string());
        if (ext != ".ttf" && ext != ".otf")
            continue;
        if (registerFontFile(entry.path()))
            ++added;
        else
            core::logResourceFault(entry.path(), "font", entry.path().filename().string(), "cannot be read");
    }
    return added;
}

bool Font::familyExists(const std::string& family) {
    std::lock_guard lock(fontconfigMutex());
    // Listing every font is slow; answers hold until fonts are registered or aliased again.
    static std::map<std::string, bool> known;
    static int knownGeneration = -1;
    const int generation = detail::fontConfigGeneration.load(std::memory_order_acquire);
    if (generation != knownGeneration) {
        known.clear();
        knownGeneration = generation;
    }
    std::string wanted = lower(family);
    if (const auto it = known.find(wanted); it != known.end())
        return it->second;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(detail::fontConfig(), pattern, objects);
    bool found = false;
    for (int i = 0; set && i < set->nfont && !found; ++i) {
        FcChar8* name = nullptr;
        for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &name) == FcResultMatch; ++n)
            if (lower(reinterpret_cast<const char*>(name)) == wanted) {
                found = true;
                break;
            }
    }
    if (set)
        FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    known.emplace(wanted, found);
    return found;
}

std::string Font::pangoDescription() const {
    PangoFontDescription* desc = detail::createFontDescription(*this);
    char* text = pango_font_description_to_string(desc);
    std::string result = text;
    g_free(text);
    pango_font_description_free(desc);
    return result;
}

std::string Font::displayName() const {
    return pangoDescription();
}

FontRef Font::withSize(double pointSize) const {
    return std::make_shared<const Font>(family_, pointSize, weight_, monospacedDigits_, italic_);
}

FontRef Font::withWeight(FontWeight weight) const {
    return std::make_shared<const Font>(family_, pointSize_, weight, monospacedDigits_, italic_);
}

bool Font::operator==(const Font& o) const {
    return family_ == o.family_ && pointSize_ == o.pointSize_ && weight_ == o.weight_ &&
           monospacedDigits_ == o.monospacedDigits_ && italic_ == o.italic_;
}

namespace {

std::shared_ptr<const FontMetrics> computeMetrics(const Font& font) {
    auto metrics = std::make_shared<FontMetrics>();
    PangoContext* context = detail::createPangoContext();
    PangoFontDescription* desc = detail::createFontDescription(font);
    PangoFontMetrics* pm = pango_context_get_metrics(context, desc, nullptr);
    metrics->ascender = static_cast<double>(pango_font_metrics_get_ascent(pm)) / PANGO_SCALE;
    metrics->descender = -static_cast<double>(pango_font_metrics_get_descent(pm)) / PANGO_SCALE;
    pango_font_metrics_unref(pm);

    // Line height and the heights of "H" and "x" as the layout engine sees them.
    auto inkHeight = [&](const char* sample, double* logicalHeight) {
        PangoLayout* layout = pango_layout_new(context);
        pango_layout_set_font_description(layout, desc);
        pango_layout_set_text(layout, sample, -1);
        PangoRectangle ink, logical;
        pango_layout_get_extents(layout, &ink, &logical);
        if (logicalHeight)
            *logicalHeight = static_cast<double>(logical.height) / PANGO_SCALE;
        g_object_unref(layout);
        return static_cast<double>(ink.height) / PANGO_SCALE;
    };
    metrics->capHeight = inkHeight("H", &metrics->lineHeight);
    metrics->xHeight = inkHeight("x", nullptr);
    pango_font_description_free(desc);
    g_object_unref(context);
    return metrics;
}

} // namespace

const FontMetrics& Font::metrics() const {
    std::call_once(metricsOnce_, [this] { metrics_ = computeMetrics(*this); });
    return *metrics_;
}

} // namespace graphics

// Sanitized builds: fontconfig, Pango and Cairo keep process-lifetime caches (font patterns, faces,
// worker-thread matches) that they never free. Their allocations are not leaks of ours, so LeakSanitizer
// is told to ignore stacks that end in those libraries' own allocations.
#if defined(__SANITIZE_ADDRESS__)
#define TESSARAY_GRAPHICS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSARAY_GRAPHICS_ASAN 1
#endif
#endif
#ifdef TESSARAY_GRAPHICS_ASAN
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libpangoft2-1.0.so\n"
           "leak:libpangocairo-1.0.so\n"
           "leak:libharfbuzz.so\n";
}
#endif
