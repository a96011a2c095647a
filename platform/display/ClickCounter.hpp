#pragma once

// Multiple-click counting from a window system's button presses (press times in its millisecond clock).

#include <cstdint>

namespace display {

// A press of the same button within the user's double-click interval of the previous one and near it
// continues that press's count (a double click, a triple click); any other press starts again at one. The
// clock is 32 bits wide and wraps, as X server time does.
class ClickCounter {
public:
    static constexpr int slopPixels = 4;

    // Records a press and answers its click count.
    int press(unsigned button, std::uint32_t time, int x, int y);
    // The count of the last press (0 before any).
    int count() const { return count_; }
    // The next press starts a new count.
    void reset() { count_ = 0; }

private:
    unsigned button_ = 0;
    std::uint32_t time_ = 0;
    int x_ = 0;
    int y_ = 0;
    int count_ = 0;
};

} // namespace display
