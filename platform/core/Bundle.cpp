#include "core/Bundle.hpp"

#include "core/Log.hpp"

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <link.h>
#include <mutex>
#include <nlohmann/json.hpp>

namespace core {

namespace fs = std::filesystem;

namespace {

struct Registry {
    std::mutex mutex;
    std::map<fs::path, std::shared_ptr<Bundle>> bundles;
    std::optional<fs::path> mainOverride;
    std::vector<fs::path> searchPaths;
};

Registry& registry() {
    static auto* instance = new Registry;
    return *instance;
}

fs::path canonicalOrSelf(const fs::path& path) {
    std::error_code error;
    auto canonical = fs::canonical(path, error);
    return error ? path.lexically_normal() : canonical;
}

fs::path executableDirectory() {
    std::error_code error;
    const auto executable = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path() : executable.parent_path();
}

// A relative path that stays inside its base: no root, no "..".
bool isContained(const fs::path& relative) {
    if (relative.has_root_path()) {
        return false;
    }
    return std::none_of(relative.begin(), relative.end(), [](const fs::path& part) { return part == ".."; });
}

std::vector<fs::path> environmentSearchPaths() {
    std::vector<fs::path> paths;
    const char* value = std::getenv("TESSARAY_BUNDLE_PATH");
    if (value == nullptr) {
        return paths;
    }
    std::string_view rest = value;
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const auto part = rest.substr(0, colon);
        if (!part.empty()) {
            paths.emplace_back(part);
        }
        if (colon == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(colon + 1);
    }
    return paths;
}

} // namespace

Bundle::Bundle(fs::path directory) : path_(std::move(directory)) {
    const fs::path infoFile = path_ / "Info.json";
    // Only a regular file of sensible size is read: a directory, FIFO or device in its place would throw
    // or block.
    constexpr std::uintmax_t kMaximumInfoSize = 1 << 20;
    std::error_code error;
    if (!fs::exists(infoFile, error)) {
        return;
    }
    if (!fs::is_regular_file(infoFile, error) || fs::file_size(infoFile, error) > kMaximumInfoSize || error) {
        log("Bundle: ignoring %s: not a regular file of at most 1 MiB", infoFile.c_str());
        return;
    }
    std::ifstream stream(infoFile);
    if (!stream) {
        log("Bundle: cannot read %s", infoFile.c_str());
        return;
    }
    const auto json = nlohmann::json::parse(stream, nullptr, /*allow_exceptions=*/false);
    if (!json.is_object()) {
        log("Bundle: ignoring malformed %s", infoFile.c_str());
        return;
    }
    for (const auto& [key, value] : json.items()) {
        if (value.is_boolean()) {
            info_.emplace(key, value.get<bool>());
        } else if (value.is_number_integer() && !value.is_number_unsigned()) {
            info_.emplace(key, value.get<std::int64_t>());
        } else if (value.is_number()) {
            info_.emplace(key, value.get<double>());
        } else if (value.is_string()) {
            info_.emplace(key, value.get<std::string>());
        }
    }
}

std::shared_ptr<Bundle> Bundle::atPath(const fs::path& directory) {
    std::error_code error;
    if (!fs::is_directory(directory, error)) {
        return nullptr;
    }
    const fs::path key = canonicalOrSelf(directory);
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto& bundle = reg.bundles[key];
    if (!bundle) {
        bundle = std::make_shared<Bundle>(key);
    }
    return bundle;
}

std::shared_ptr<Bundle> Bundle::main() {
    std::optional<fs::path> override;
    {
        auto& reg = registry();
        std::lock_guard lock(reg.mutex);
        override = reg.mainOverride;
    }
    if (override) {
        if (auto bundle = atPath(*override)) {
            return bundle;
        }
    }
    // This code's own object: the executable, or the plug-in (or other shared object) it is linked into.
    return forAddress(reinterpret_cast<const void*>(&Bundle::main));
}

void Bundle::setMainBundlePath(std::optional<fs::path> directory) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.mainOverride = std::move(directory);
}

std::shared_ptr<Bundle> Bundle::forAddress(const void* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (address == nullptr || dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) {
        return nullptr;
    }
    // The executable's own link map has an empty name.
    if (map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0') {
        return atPath(executableDirectory());
    }
    return atPath(canonicalOrSelf(map->l_name).parent_path());
}

std::shared_ptr<Bundle> Bundle::find(std::string_view name, const void* codeAddress) {
    std::string bare(name);
    if (bare.size() > 7 && bare.ends_with(".bundle")) {
        bare.resize(bare.size() - 7);
    }
    const fs::path directoryName = bare + ".bundle";
    if (bare.empty() || !isContained(directoryName)) {
        return nullptr;
    }

    // The main bundle's resources, the resources of the bundle holding the asking code, the main bundle
    // itself; then the directories added by the program and those of TESSARAY_BUNDLE_PATH.
    std::vector<fs::path> candidates;
    const auto mainBundle = main();
    if (mainBundle) {
        candidates.push_back(mainBundle->resourcePath());
    }
    if (codeAddress != nullptr) {
        if (auto codeBundle = forAddress(codeAddress)) {
            candidates.push_back(codeBundle->resourcePath());
        }
    }
    if (mainBundle) {
        candidates.push_back(mainBundle->bundlePath());
    }
    {
        auto& reg = registry();
        std::lock_guard lock(reg.mutex);
        candidates.insert(candidates.end(), reg.searchPaths.begin(), reg.searchPaths.end());
    }
    const auto fromEnvironment = environmentSearchPaths();
    candidates.insert(candidates.end(), fromEnvironment.begin(), fromEnvironment.end());

    for (const auto& directory : candidates) {
        if (auto bundle = atPath(directory / directoryName)) {
            return bundle;
        }
    }
    return nullptr;
}

std::shared_ptr<Bundle> Bundle::named(std::string_view name, const void* codeAddress) {
    if (auto bundle = find(name, codeAddress)) {
        return bundle;
    }
    std::string bare(name);
    if (bare.ends_with(".bundle")) {
        bare.resize(bare.size() - 7);
    }
    fatal("unable to find bundle named " + bare);
}

const std::shared_ptr<Bundle>& Bundle::namedOnce(std::string_view name, const void* codeAddress,
                                                 const fs::path& lastResort) {
    struct Found {
        std::mutex mutex;
        std::map<std::pair<std::string, const void*>, std::shared_ptr<Bundle>> bundles;
    };
    static auto* found = new Found;
    std::lock_guard lock(found->mutex);
    auto& bundle = found->bundles[{std::string(name), codeAddress}];
    if (!bundle) {
        bundle = find(name, codeAddress);
        if (!bundle && !lastResort.empty()) {
            std::string bare(name);
            if (!bare.ends_with(".bundle")) {
                bare += ".bundle";
            }
            // A bare directory name only: never a way out of lastResort.
            if (fs::path(bare).filename() == fs::path(bare)) {
                bundle = atPath(lastResort / bare);
            }
        }
        if (!bundle) {
            bundle = named(name, codeAddress);
        }
    }
    return bundle;
}

void Bundle::addSearchPath(const fs::path& directory) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    if (std::find(reg.searchPaths.begin(), reg.searchPaths.end(), directory) == reg.searchPaths.end()) {
        reg.searchPaths.push_back(directory);
    }
}

void Bundle::removeSearchPath(const fs::path& directory) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    std::erase(reg.searchPaths, directory);
}

std::optional<Bundle::InfoValue> Bundle::info(std::string_view key) const {
    const auto it = info_.find(key);
    if (it == info_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<std::string> Bundle::infoString(std::string_view key) const {
    const auto value = info(key);
    if (value && std::holds_alternative<std::string>(*value)) {
        return std::get<std::string>(*value);
    }
    return std::nullopt;
}

std::optional<double> Bundle::infoNumber(std::string_view key) const {
    const auto value = info(key);
    if (!value) {
        return std::nullopt;
    }
    if (std::holds_alternative<double>(*value)) {
        return std::get<double>(*value);
    }
    if (std::holds_alternative<std::int64_t>(*value)) {
        return static_cast<double>(std::get<std::int64_t>(*value));
    }
    return std::nullopt;
}

std::optional<bool> Bundle::infoBool(std::string_view key) const {
    const auto value = info(key);
    if (value && std::holds_alternative<bool>(*value)) {
        return std::get<bool>(*value);
    }
    return std::nullopt;
}

std::optional<fs::path> Bundle::pathForResource(std::string_view name, std::string_view type,
                                                std::string_view subdirectory) const {
    if (name.empty()) {
        return std::nullopt;
    }
    std::string fileName(name);
    if (!type.empty()) {
        fileName += type.front() == '.' ? std::string(type) : "." + std::string(type);
    }
    const fs::path relative = fs::path(subdirectory) / fileName;
    if (!isContained(relative)) {
        return std::nullopt;
    }
    const fs::path candidate = resourcePath() / relative;
    std::error_code error;
    if (!fs::exists(candidate, error)) {
        return std::nullopt;
    }
    return candidate;
}

std::optional<URL> Bundle::urlForResource(std::string_view name, std::string_view type,
                                          std::string_view subdirectory) const {
    const auto path = pathForResource(name, type, subdirectory);
    if (!path) {
        return std::nullopt;
    }
    return URL::fileURL(*path);
}

std::vector<fs::path> Bundle::pathsForResources(std::string_view type, std::string_view subdirectory) const {
    std::vector<fs::path> paths;
    const fs::path relative(subdirectory);
    if (!isContained(relative)) {
        return paths;
    }
    std::string extension;
    if (!type.empty()) {
        extension = type.front() == '.' ? std::string(type) : "." + std::string(type);
    }
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(resourcePath() / relative, error)) {
        if (extension.empty() || entry.path().extension() == extension) {
            paths.push_back(entry.path());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace core
