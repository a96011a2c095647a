#include "declarative/Form.hpp"

#include "declarative/Layout.hpp"
#include "declarative/Modifier.hpp"

namespace declarative {

using detail::make;
using detail::ParamsNode;

namespace {

struct DividerParams {};
class DividerNode final : public ParamsNode<DividerParams, DividerNode> {
public:
    void draw(graphics::GraphicsContext& context) override {
        if (!frame_.isEmpty()) {
            context.fillRect(frame_, graphics::Color::separatorColor());
        }
    }

protected:
    Size sizeThatFits(const Proposal& p) override {
        if (containerAxis() == Axis::horizontal) {
            return {thickness, std::max(0.0, p.height.value_or(0))};
        }
        return {std::max(0.0, p.width.value_or(0)), thickness};
    }

private:
    static constexpr double thickness = 1;
};

std::string idText(const Id& id) {
    if (const auto* number = std::get_if<std::int64_t>(&id)) {
        return "=" + std::to_string(*number);
    }
    return "='" + std::get<std::string>(id) + "'";
}

void collect(const View& view, const std::string& path, std::vector<ChildView>& out) {
    const auto* group = view.description()->groupChildren();
    if (!group) {
        out.push_back({view, Id(path.empty() ? std::string("/") : path)});
        return;
    }
    for (std::size_t i = 0; i < group->size(); ++i) {
        const View& child = (*group)[i];
        // An element with an id of its own keeps it wherever it moves within its group.
        const std::string step = child.explicitId() ? idText(*child.explicitId()) : "#" + std::to_string(i);
        collect(child, path + "/" + step, out);
    }
}

} // namespace

View Form(std::vector<View> rows) {
    return VStack({.alignment = HorizontalAlignment::leading, .spacing = formRowSpacing}, std::move(rows))
        .frame({.maxWidth = infinity, .maxHeight = infinity, .alignment = Alignment::topLeading()});
}

View LabeledContent(View content, View label, LabeledContentOptions options) {
    return HStack({.alignment = options.alignment, .spacing = options.spacing},
                  {std::move(label), std::move(content)});
}

View Section(std::vector<View> rows, std::optional<View> header, std::optional<View> footer) {
    std::vector<View> children;
    children.reserve(rows.size() + 2);
    if (header) {
        children.push_back(std::move(*header));
    }
    for (auto& row : rows) {
        children.push_back(std::move(row));
    }
    if (footer) {
        children.push_back(std::move(*footer));
    }
    return VStack({.alignment = HorizontalAlignment::leading, .spacing = formRowSpacing},
                  std::move(children));
}

View Divider() {
    return make<DividerNode>({}, DividerParams{});
}

std::vector<ChildView> childrenOf(const View& content) {
    std::vector<ChildView> children;
    collect(content, content.explicitId() ? idText(*content.explicitId()) : std::string(), children);
    return children;
}

View ForEachChild(const View& content, const std::function<View(const View&)>& transform) {
    std::vector<View> wrapped;
    for (auto& child : childrenOf(content)) {
        wrapped.push_back(transform(child.view).id(std::move(child.id)));
    }
    return Group(std::move(wrapped));
}

} // namespace declarative
