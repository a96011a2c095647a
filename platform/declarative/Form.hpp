#pragma once

// Form views: a form of rows, labelled rows, sections and dividers, and the iteration over the children
// a content view stands for (the elements of its groups), with which containers wrap each one.

#include "declarative/Core.hpp"

namespace declarative {

// Rows top to bottom, leading-aligned, `rowSpacing` apart, each proposed the form's whole width. The
// form takes all the space it is offered and keeps its rows at the top; it does not scroll.
inline constexpr double formRowSpacing = 8;
View Form(std::vector<View> rows);

// A row of a label followed by its content, side by side.
struct LabeledContentOptions {
    VerticalAlignment alignment = VerticalAlignment::center;
    double spacing = 8;
};
View LabeledContent(View content, View label, LabeledContentOptions options = {});

// A group of rows in a form: the header (if any), the rows and the footer (if any), top to bottom with
// the form's row spacing, each proposed the section's whole width.
View Section(std::vector<View> rows, std::optional<View> header = {}, std::optional<View> footer = {});

// A 1-point line in the separator colour: vertical when the stack it sits in directly is horizontal,
// horizontal anywhere else; it takes the length it is offered along the line.
View Divider();

// One child of a content view, with the identity it has among its siblings.
struct ChildView {
    View view;
    Id id;
};

// The children `content` stands for: the elements of its groups (ForEach, If, Group), flattened in order,
// each identified by its group's position and its own id (or its position); any other view is its own
// single child. Component bodies are not looked into: a component is one child.
std::vector<ChildView> childrenOf(const View& content);

// One view per child of `content`, made by `transform` and keeping that child's identity: reordering a
// ForEach's elements moves the wrapped views with their state.
View ForEachChild(const View& content, const std::function<View(const View&)>& transform);

} // namespace declarative
