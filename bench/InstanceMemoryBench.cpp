// Resident memory of the plug-in's audio unit, one instance and eight in one process.
#include "core/Bundle.hpp"
#include "extension/TessarayAudioUnit.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

// VmRSS of this process in kilobytes, 0 when /proc does not tell.
long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

// An instance as a host holds it: created on the bundle, render resources allocated (which loads the
// wavetables).
std::shared_ptr<TessarayAudioUnit> makeInstance() {
    auto unit = TessarayAudioUnit::create(TessarayAudioUnit::defaultComponentDescription(), 0,
                                          core::Bundle::atPath(TESSARAY_EXTENSION_BUNDLE_DIR));
    unit->allocateRenderResources();
    return unit;
}

} // namespace

int main() {
    const long before = residentKilobytes();
    std::vector<std::shared_ptr<TessarayAudioUnit>> units;
    units.push_back(makeInstance());
    const long one = residentKilobytes();
    while (units.size() < 8) {
        units.push_back(makeInstance());
    }
    const long eight = residentKilobytes();
    std::printf("resident before any instance: %ld KiB\n", before);
    std::printf("1 instance:  %ld KiB (+%ld KiB)\n", one, one - before);
    std::printf("8 instances: %ld KiB (+%ld KiB)\n", eight, eight - before);
    std::printf("each extra instance: %.0f KiB\n", static_cast<double>(eight - one) / 7.0);
    for (const auto& unit : units) {
        unit->deallocateRenderResources();
    }
    return 0;
}
