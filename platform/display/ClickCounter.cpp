#include "display/ClickCounter.hpp"

#include "ui/Event.hpp"

#include <cmath>
#include <cstdlib>

namespace display {

int ClickCounter::press(unsigned button, std::uint32_t time, int x, int y) {
    // Unsigned 32-bit difference: right across the clock's wrap; a press "before" the last one (events
    // out of order) comes out huge and starts a new count.
    const std::uint32_t elapsed = time - time_;
    const double interval = std::round(ui::Event::doubleClickInterval() * 1000);
    const bool again = count_ > 0 && button == button_ && elapsed <= interval &&
                       std::abs(x - x_) <= slopPixels && std::abs(y - y_) <= slopPixels;
    count_ = again ? count_ + 1 : 1;
    button_ = button;
    time_ = time;
    x_ = x;
    y_ = y;
    return count_;
}

} // namespace display
