// tessaray-lv2-ttl DIRECTORY VERSION: writes manifest.ttl, tessaray.ttl and presets.ttl into DIRECTORY.
#include "extension/lv2/LV2Metadata.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

bool write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        std::fprintf(stderr, "tessaray-lv2-ttl: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tessaray-lv2-ttl DIRECTORY VERSION\n");
        return 2;
    }
    const std::filesystem::path directory = argv[1];
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    const auto version = LV2MetadataVersion::parse(argv[2]);
    if (!version) {
        std::fprintf(stderr, "tessaray-lv2-ttl: '%s' is not a MAJOR.MINOR.MICRO version\n", argv[2]);
        return 2;
    }
    const bool ok = write(directory / "manifest.ttl", manifestTurtle()) &&
                    write(directory / "tessaray.ttl", pluginTurtle(*version)) &&
                    write(directory / "presets.ttl", presetsTurtle());
    return ok ? 0 : 1;
}
