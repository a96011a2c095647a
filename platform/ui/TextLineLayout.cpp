#include "ui/TextLineLayout.hpp"

#include "graphics/PangoSupport.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ui {

namespace {

std::size_t commonPrefix(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    constexpr std::size_t block = 256;
    std::size_t i = 0;
    while (i + block <= n && std::memcmp(a.data() + i, b.data() + i, block) == 0) {
        i += block;
    }
    while (i < n && a[i] == b[i]) {
        ++i;
    }
    return i;
}

// The bytes both end with, not reaching into the common start.
std::size_t commonSuffix(const std::string& a, const std::string& b, std::size_t prefix) {
    const std::size_t n = std::min(a.size(), b.size()) - prefix;
    constexpr std::size_t block = 256;
    std::size_t i = 0;
    while (i + block <= n &&
           std::memcmp(a.data() + a.size() - i - block, b.data() + b.size() - i - block, block) == 0) {
        i += block;
    }
    while (i < n && a[a.size() - i - 1] == b[b.size() - i - 1]) {
        ++i;
    }
    return i;
}

} // namespace

Text::LineLayout::LineLayout(Attributed attributed, graphics::FontRef fontRef)
    : font(std::move(fontRef)), attributed_(std::move(attributed)),
      context_(graphics::detail::createPangoContext()) {}

Text::LineLayout::~LineLayout() {
    shaped_.reset();
    stretch_.reset();
    g_object_unref(context_);
}

void Text::LineLayout::update(const std::string& string, Widths& widths, Deadline deadline) {
    stretch_.reset();
    if (string.size() <= longText || text_.size() <= longText || pieces_.empty()) {
        if (string.size() > text_.capacity()) {
            text_.reserve(string.size() + string.size() / 2); // room for the edits that follow
        }
        text_ = string;
        pieces_.clear();
        shaped_.reset();
        if (text_.size() <= longText) {
            pieces_.push_back({0, text_.size(), 0, 0});
            pieces_[0].width = graphics::detail::layoutSize(shape(0)).width;
            frontier_ = text_.size();
        } else {
            frontier_ =
                split(0, 0, pieces_, widths, deadline, wholeAtOnce, [](std::size_t) { return false; });
        }
        height_ = graphics::detail::layoutSize(shape(0)).height;
        return;
    }
    // The bytes both texts start and end with stay as they are; pieces that end before the first
    // changed byte keep their place (a piece's split looks up to three bytes past its end, to tell
    // whether its last character is whole), and splitting resumes from there until it meets an old
    // piece boundary in the unchanged end, or the old frontier, from which the old pieces follow, moved.
    const std::size_t prefix = commonPrefix(text_, string);
    const std::size_t suffix = commonSuffix(text_, string, prefix);
    const std::size_t changedEnd = string.size() - suffix;
    const auto delta = static_cast<std::ptrdiff_t>(string.size()) - static_cast<std::ptrdiff_t>(text_.size());
    const std::size_t from = prefix > 3 ? prefix - 3 : 0;
    const std::size_t oldFrontier = frontier_;
    if (string.size() > text_.capacity()) {
        text_.reserve(string.size() + string.size() / 2); // room for the edits that follow
    }
    text_ = string;
    if (from >= oldFrontier) {
        return; // only bytes past the measured pieces changed
    }
    const std::size_t first = pieceOfIndex(from);
    std::size_t resume = pieces_.size();
    bool met = false;
    std::vector<Placed> fresh;
    const std::size_t stopped =
        split(pieces_[first].start, pieces_[first].x, fresh, widths, deadline, from + wholeAtOnce,
              [&](std::size_t at) {
                  if (at < changedEnd) {
                      return false;
                  }
                  const std::size_t old = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(at) - delta);
                  if (old == oldFrontier) {
                      met = true;
                      return true;
                  }
                  const auto found =
                      std::lower_bound(pieces_.begin() + static_cast<std::ptrdiff_t>(first), pieces_.end(),
                                       old, [](const Placed& p, std::size_t s) { return p.start < s; });
                  if (found == pieces_.end() || found->start != old) {
                      return false;
                  }
                  resume = static_cast<std::size_t>(found - pieces_.begin());
                  met = true;
                  return true;
              });
    const double end = fresh.empty() ? pieces_[first].x : fresh.back().x + fresh.back().width;
    const double shift = resume < pieces_.size() ? end - pieces_[resume].x : 0;
    for (std::size_t p = resume; p < pieces_.size(); ++p) {
        pieces_[p].start = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(pieces_[p].start) + delta);
        pieces_[p].x += shift;
    }
    const auto begin = pieces_.begin() + static_cast<std::ptrdiff_t>(first);
    const auto to = pieces_.begin() + static_cast<std::ptrdiff_t>(resume);
    if (fresh.size() <= static_cast<std::size_t>(to - begin)) {
        pieces_.erase(std::copy(fresh.begin(), fresh.end(), begin), to);
    } else {
        std::copy(fresh.begin(), fresh.begin() + (to - begin), begin);
        pieces_.insert(to, fresh.begin() + (to - begin), fresh.end());
    }
    // Stopped by the deadline before meeting the old pieces: the ones after it are measured again later.
    frontier_ = met ? static_cast<std::size_t>(static_cast<std::ptrdiff_t>(oldFrontier) + delta) : stopped;
    shaped_.reset();
}

void Text::LineLayout::measureOn(Widths& widths, Deadline deadline) {
    if (complete()) {
        return;
    }
    frontier_ =
        split(frontier_, frontierX(), pieces_, widths, deadline, 0, [](std::size_t) { return false; });
    if (stretch_ && stretch_->start < frontier_) {
        stretch_.reset();
    }
}

void Text::LineLayout::lookAround(std::size_t index) {
    index = std::min(index, text_.size());
    if (complete() || index < frontier_) {
        return;
    }
    constexpr std::size_t margin = stretchReach / 4;
    if (stretch_ && stretch_->start <= std::max(frontier_, index > margin ? index - margin : 0) &&
        (stretch_->end == text_.size() || index + margin <= stretch_->end)) {
        return;
    }
    const std::size_t start =
        characterStart(text_, std::max(frontier_, index > stretchReach ? index - stretchReach : 0));
    const std::size_t end = characterStart(text_, std::min(text_.size(), index + stretchReach));
    LayoutPointer layout = layoutOf(start, end);
    const double width = graphics::detail::layoutSize(layout.get()).width;
    stretch_.emplace(Stretch{start, end, width, std::move(layout)});
}

double Text::LineLayout::width() const {
    return xOfIndex(text_.size());
}

double Text::LineLayout::frontierX() const {
    return pieces_.empty() ? 0 : pieces_.back().x + pieces_.back().width;
}

double Text::LineLayout::perByte() const {
    return frontier_ > 0 ? frontierX() / static_cast<double>(frontier_) : 0;
}

double Text::LineLayout::stretchX() const {
    return frontierX() + static_cast<double>(stretch_->start - frontier_) * perByte();
}

double Text::LineLayout::estimatedX(std::size_t index) const {
    if (stretch_ && index >= stretch_->end) {
        return stretchX() + stretch_->width + static_cast<double>(index - stretch_->end) * perByte();
    }
    return frontierX() + static_cast<double>(index - frontier_) * perByte();
}

double Text::LineLayout::xOfIndex(std::size_t index) const {
    index = std::min(index, text_.size());
    PangoRectangle pos;
    if (index <= frontier_) {
        const std::size_t p = pieceOfIndex(index);
        pango_layout_index_to_pos(shape(p), static_cast<int>(index - pieces_[p].start), &pos);
        return pieces_[p].x + static_cast<double>(pos.x) / PANGO_SCALE;
    }
    if (stretch_ && index >= stretch_->start && index <= stretch_->end) {
        pango_layout_index_to_pos(stretch_->layout.get(), static_cast<int>(index - stretch_->start), &pos);
        return stretchX() + static_cast<double>(pos.x) / PANGO_SCALE;
    }
    return estimatedX(index);
}

std::size_t Text::LineLayout::indexOfX(double x) const {
    int index = 0;
    int trailing = 0;
    std::size_t i = 0;
    if (complete() || x < frontierX()) {
        const auto after = std::upper_bound(pieces_.begin() + 1, pieces_.end(), x,
                                            [](double at, const Placed& piece) { return at < piece.x; });
        const auto p = static_cast<std::size_t>(after - pieces_.begin()) - 1;
        pango_layout_xy_to_index(shape(p), static_cast<int>((x - pieces_[p].x) * PANGO_SCALE), 0, &index,
                                 &trailing);
        i = pieces_[p].start + static_cast<std::size_t>(std::max(index, 0));
    } else if (stretch_ && x >= stretchX() && x <= stretchX() + stretch_->width) {
        pango_layout_xy_to_index(stretch_->layout.get(), static_cast<int>((x - stretchX()) * PANGO_SCALE), 0,
                                 &index, &trailing);
        i = stretch_->start + static_cast<std::size_t>(std::max(index, 0));
    } else {
        const bool afterStretch = stretch_ && x > stretchX();
        const std::size_t base = afterStretch ? stretch_->end : frontier_;
        const double baseX = afterStretch ? stretchX() + stretch_->width : frontierX();
        const double per = perByte();
        const double bytes = per > 0 ? std::max(0.0, std::round((x - baseX) / per)) : 0;
        return characterStart(text_, base + static_cast<std::size_t>(
                                                std::min(bytes, static_cast<double>(text_.size() - base))));
    }
    for (; trailing > 0; --trailing) {
        i = nextCharacterBoundary(text_, i);
    }
    return std::min(i, text_.size());
}

std::vector<Text::LineLayout::Run> Text::LineLayout::visibleRuns(double left, double right) const {
    std::vector<Run> runs;
    if (text_.empty()) {
        return runs;
    }
    // From the character before the left edge to the one after the right.
    const std::size_t first = indexOfX(left);
    const std::size_t last = std::min(text_.size(), nextCharacterBoundary(text_, indexOfX(right)));
    if (first < frontier_) {
        const auto& from = pieces_[pieceOfIndex(first)];
        const auto& to = pieces_[pieceOfIndex(std::min(last, frontier_) - 1)];
        runs.push_back({from.start, to.start + to.length, from.x});
    }
    std::size_t at = std::max(first, frontier_);
    // Estimated text is drawn up to this many bytes at a time.
    constexpr std::size_t estimatedLimit = 4096;
    const auto estimated = [&](std::size_t end) {
        if (at < end) {
            end = characterStart(text_, std::min(end, at + estimatedLimit));
            runs.push_back({at, end, xOfIndex(at)});
        }
    };
    if (at < last && stretch_ && stretch_->end > at && stretch_->start < last) {
        estimated(stretch_->start);
        runs.push_back({stretch_->start, stretch_->end, stretchX()});
        at = stretch_->end;
    }
    estimated(last);
    return runs;
}

template <typename Stop>
std::size_t Text::LineLayout::split(std::size_t start, double x, std::vector<Placed>& out, Widths& widths,
                                    Deadline deadline, std::size_t atLeast, Stop stop) {
    std::size_t i = start;
    for (std::size_t count = 0; i < text_.size() && !stop(i); ++count) {
        // The clock is read every few pieces; one piece is always measured.
        constexpr std::size_t clockEvery = 16;
        if (count > 0 && i >= atLeast && count % clockEvery == 0 &&
            std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::size_t end = i;
        while (end < text_.size() && end - i < pieceLimit && text_[end] != ' ') {
            end = nextCharacterBoundary(text_, end);
        }
        if (end < text_.size() && text_[end] == ' ') {
            ++end;
        }
        const double width = measure(text_.substr(i, end - i), widths);
        out.push_back({i, end - i, x, width});
        x += width;
        i = end;
    }
    return i;
}

double Text::LineLayout::measure(const std::string& piece, Widths& widths) const {
    if (const auto known = widths.find(piece); known != widths.end()) {
        return known->second;
    }
    const LayoutPointer layout(graphics::detail::createLayout(context_, attributed_(piece), {-1, false}));
    const double width = graphics::detail::layoutSize(layout.get()).width;
    if (widths.size() < cachedWidthsLimit) {
        widths.emplace(piece, width);
    }
    return width;
}

std::size_t Text::LineLayout::pieceOfIndex(std::size_t index) const {
    const auto after = std::upper_bound(pieces_.begin() + 1, pieces_.end(), index,
                                        [](std::size_t at, const Placed& piece) { return at < piece.start; });
    return static_cast<std::size_t>(after - pieces_.begin()) - 1;
}

PangoLayout* Text::LineLayout::shape(std::size_t p) const {
    if (!shaped_ || shapedIndex_ != p) {
        shaped_ = layoutOf(pieces_[p].start, pieces_[p].start + pieces_[p].length);
        shapedIndex_ = p;
    }
    return shaped_.get();
}

Text::LineLayout::LayoutPointer Text::LineLayout::layoutOf(std::size_t start, std::size_t end) const {
    return LayoutPointer(
        graphics::detail::createLayout(context_, attributed_(text_.substr(start, end - start)), {-1, false}));
}

} // namespace ui
