// A shared library with its own copy of the bundle lookup, alone in a bundle directory, as a plug-in is
// inside a host: it answers what its copy of the lookup finds.
#include "core/Bundle.hpp"

#include <string>

namespace {

const char* answer(const std::shared_ptr<core::Bundle>& bundle) {
    static std::string path;
    path = bundle ? bundle->bundlePath().string() : std::string();
    return path.c_str();
}

} // namespace

extern "C" __attribute__((visibility("default"))) const char* corePluginProbeMainBundle() {
    return answer(core::Bundle::main());
}

extern "C" __attribute__((visibility("default"))) const char* corePluginProbeFind(const char* name) {
    return answer(core::Bundle::find(name, reinterpret_cast<const void*>(&corePluginProbeFind)));
}
