#pragma once

#include "core/URL.hpp"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace core {

// A directory of code and resources: <bundle>/Info.json holds typed information values and
// <bundle>/Resources/ the resources. Bundles are cached by path, so one directory is one object.
class Bundle {
public:
    using InfoValue = std::variant<bool, std::int64_t, double, std::string>;

    // The bundle at a directory, or nullptr when it is not a directory.
    static std::shared_ptr<Bundle> atPath(const std::filesystem::path& directory);

    // The directory of the object this code is linked into, unless a test has set another: the running
    // executable's, or inside a plug-in the plug-in's own bundle (never the host program's directory).
    static std::shared_ptr<Bundle> main();
    static void setMainBundlePath(std::optional<std::filesystem::path> directory);

    // The bundle that holds the code at address (the directory of its shared object or executable),
    // so a plug-in finds its own bundle inside a host. nullptr when the address is not in loaded code.
    static std::shared_ptr<Bundle> forAddress(const void* address);

    // The resource bundle "<name>.bundle", searched in this order: the main bundle's resource directory,
    // the resource directory of the bundle holding codeAddress (when given), the main bundle's own
    // directory, the added search paths and the directories of TESSARAY_BUNDLE_PATH (colon-separated).
    // The first that holds it wins. A trailing ".bundle" on name is accepted.
    static std::shared_ptr<Bundle> find(std::string_view name, const void* codeAddress = nullptr);
    // As find(), but a missing bundle stops the process: it is part of the product.
    static std::shared_ptr<Bundle> named(std::string_view name, const void* codeAddress = nullptr);
    // As named(), but looked up only the first time for a name and code address; later calls answer the
    // bundle found then. When no usual place holds it, "<name>.bundle" in lastResort (if given) is taken
    // before the process stops.
    static const std::shared_ptr<Bundle>& namedOnce(std::string_view name, const void* codeAddress = nullptr,
                                                    const std::filesystem::path& lastResort = {});

    static void addSearchPath(const std::filesystem::path& directory);
    static void removeSearchPath(const std::filesystem::path& directory);

    const std::filesystem::path& bundlePath() const { return path_; }
    std::filesystem::path resourcePath() const { return path_ / "Resources"; }
    URL bundleURL() const { return URL::fileURL(path_); }

    // Information values; absent when missing or of another type. Integers also read as numbers.
    std::optional<InfoValue> info(std::string_view key) const;
    std::optional<std::string> infoString(std::string_view key) const;
    std::optional<double> infoNumber(std::string_view key) const;
    std::optional<bool> infoBool(std::string_view key) const;

    std::optional<std::string> teamIdentifierPrefix() const { return infoString("TeamIdentifierPrefix"); }
    std::optional<std::string> displayName() const { return infoString("CFBundleDisplayName"); }
    std::optional<std::string> bundleName() const { return infoString("CFBundleName"); }
    std::optional<std::string> shortVersionString() const { return infoString("CFBundleShortVersionString"); }
    std::optional<std::string> bundleVersionString() const { return infoString("CFBundleVersion"); }
    std::optional<std::string> bundleIdentifier() const { return infoString("CFBundleIdentifier"); }

    // Resources/<subdirectory>/<name>.<type> (just <name> when type is empty) when that file or
    // directory exists. Names may hold '/' but never leave the resource directory.
    std::optional<std::filesystem::path> pathForResource(std::string_view name, std::string_view type,
                                                         std::string_view subdirectory = {}) const;
    std::optional<URL> urlForResource(std::string_view name, std::string_view type,
                                      std::string_view subdirectory = {}) const;
    // Every resource of the type in Resources/<subdirectory>, sorted by name.
    std::vector<std::filesystem::path> pathsForResources(std::string_view type,
                                                         std::string_view subdirectory = {}) const;

    explicit Bundle(std::filesystem::path directory);

private:
    std::filesystem::path path_;
    std::map<std::string, InfoValue, std::less<>> info_;
};

} // namespace core
