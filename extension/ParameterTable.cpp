#include "extension/ParameterTable.hpp"

// Compile-time checks of the table itself, so a mistyped row fails the build rather than a preset.
namespace {

constexpr bool everyDefaultWithinRange() {
    for (const ParameterInfo& info : kParameterTable) {
        if (!(info.minimum < info.maximum) || !info.contains(info.defaultValue)) {
            return false;
        }
        if (info.increment == ParameterIncrement::logarithmic && info.minimum <= 0) {
            return false;
        }
    }
    return true;
}

constexpr bool addressesAndIdentifiersUnique() {
    for (std::size_t i = 0; i < kParameterTable.size(); ++i) {
        const ParameterInfo& info = kParameterTable[i];
        if (info.address >= kParameterAddressCount || info.address == 9) {
            return false;
        }
        if (parameterByAddress(info.address) != &info || parameterByIdentifier(info.identifier) != &info) {
            return false;
        }
    }
    return true;
}

static_assert(everyDefaultWithinRange(), "a parameter's default lies outside its range");
static_assert(addressesAndIdentifiersUnique(), "parameter addresses or identifiers collide");

} // namespace
