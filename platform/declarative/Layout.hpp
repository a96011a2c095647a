#pragma once

// Layout views: stacks, spacers and the geometry reader. Layout runs proposal -> size -> placement:
// a parent proposes, the child answers with its size, the parent places it. Modifiers that change
// layout (padding, frame, offset, position, background, scaleEffect, ...) are members of View.

#include "declarative/Core.hpp"

#include <limits>

namespace declarative {

inline constexpr double infinity = std::numeric_limits<double>::infinity();

struct HStackOptions {
    VerticalAlignment alignment = VerticalAlignment::center;
    double spacing = 8; // may be negative: children overlap
};
struct VStackOptions {
    HorizontalAlignment alignment = HorizontalAlignment::center;
    double spacing = 8;
};

View HStack(std::vector<View> children);
View HStack(HStackOptions options, std::vector<View> children);
View VStack(std::vector<View> children);
View VStack(VStackOptions options, std::vector<View> children);
// Children on top of each other, later ones in front; sized to the union of the children.
View ZStack(std::vector<View> children);
View ZStack(Alignment alignment, std::vector<View> children);

// Takes the free space along its stack's axis (and nothing across it); outside a stack, both axes.
View Spacer(double minLength = 0);

// Flexible frame: each bound is optional; the size is the proposal clamped to [min, max], where a
// missing min or max stands for the child's own size. Without a proposal the ideal size is used.
struct FrameLimits {
    std::optional<double> minWidth;
    std::optional<double> idealWidth;
    std::optional<double> maxWidth;
    std::optional<double> minHeight;
    std::optional<double> idealHeight;
    std::optional<double> maxHeight;
    Alignment alignment = Alignment::center();
};

// What GeometryReader's content gets: its size and its frame in the hosting view.
struct GeometryProxy {
    Size size;
    Rect frameInHost;
};

// Takes the whole proposal; content is evaluated at layout time with the resulting geometry and
// placed at its top-left.
View GeometryReader(std::function<View(const GeometryProxy&)> content);

} // namespace declarative
