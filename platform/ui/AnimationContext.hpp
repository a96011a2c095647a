#pragma once

// Animation groups: changes made between beginGrouping and endGrouping belong to one group, whose
// duration the current context holds. Views change at once whatever the duration (nothing animates
// implicitly); the groups are counted so that code can tell a change was asked for without animation.
// Main thread only: each thread has its own stack of groups.

#include <cstdint>

namespace ui {

class AnimationContext {
public:
    static constexpr double defaultDuration = 0.25;

    static void beginGrouping();
    // Ends the innermost group; without an open group it does nothing.
    static void endGrouping();
    // The innermost open group, or the thread's outermost context when none is open.
    static AnimationContext& current();
    // How many groups are open now, and how many were opened on this thread so far.
    static int groupingDepth();
    static std::uint64_t groupsOpened();

    double duration() const { return duration_; }
    void setDuration(double seconds) { duration_ = seconds > 0 ? seconds : 0; }

private:
    double duration_ = defaultDuration;
};

} // namespace ui
