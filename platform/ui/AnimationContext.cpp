#include "ui/AnimationContext.hpp"

#include <vector>

namespace ui {

namespace {

struct Groups {
    AnimationContext outermost;
    std::vector<AnimationContext> open;
    std::uint64_t opened = 0;
};

Groups& groups() {
    thread_local Groups state;
    return state;
}

} // namespace

void AnimationContext::beginGrouping() {
    auto& g = groups();
    // A new group starts with the duration of the one around it.
    g.open.push_back(current());
    ++g.opened;
}

void AnimationContext::endGrouping() {
    auto& g = groups();
    if (!g.open.empty()) {
        g.open.pop_back();
    }
}

AnimationContext& AnimationContext::current() {
    auto& g = groups();
    return g.open.empty() ? g.outermost : g.open.back();
}

int AnimationContext::groupingDepth() {
    return static_cast<int>(groups().open.size());
}

std::uint64_t AnimationContext::groupsOpened() {
    return groups().opened;
}

} // namespace ui
