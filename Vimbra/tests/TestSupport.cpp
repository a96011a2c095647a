#include "Vimbra/tests/TestSupport.hpp"

#include "core/Bundle.hpp"


std::filesystem::path testBundlesDirectory() {
    return VIMBRA_TEST_BUNDLES_DIR;
}

namespace {

const bool registered = [] {
    core::Bundle::addSearchPath(testBundlesDirectory());
    return true;
}();

} // namespace
