#include "Vimbra/ControlState.hpp"

namespace vimbra {
const std::array<StyledControlState, 8> StyledControlState::allStates = {
    default_, disabled, selected, highlighted, focused, on, mixed, invalid};

const std::array<StyledControlState, 7> StyledControlState::nonDefaultStates = {
    disabled, selected, highlighted, focused, on, mixed, invalid};

namespace {

constexpr std::array<const char*, 8> words = {"default", "disabled", "selected", "highlighted",
                                              "focused", "on",       "mixed",    "invalid"};

} // namespace

int StyledControlState::nonDefaultCount() const {
    int count = 0;
    for (auto member : nonDefaultStates) {
        count += contains(member) ? 1 : 0;
    }
    return count;
}

int StyledControlState::countOfSetOptions() const {
    return nonDefaultCount() + (contains(default_) ? 1 : 0);
}

std::vector<StyledControlState> StyledControlState::components() const {
    std::vector<StyledControlState> result{default_};
    for (auto member : nonDefaultStates) {
        if (contains(member)) {
            result.push_back(member);
        }
    }
    return result;
}

std::vector<StyledControlState> StyledControlState::toArray() const {
    std::vector<StyledControlState> result;
    for (auto member : allStates) {
        if (contains(member)) {
            result.push_back(member);
        }
    }
    return result;
}

std::string StyledControlState::description() const {
    std::string text;
    for (std::size_t i = 0; i < allStates.size(); ++i) {
        if (!contains(allStates[i])) {
            continue;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += words[i];
    }
    return text;
}

} // namespace vimbra
