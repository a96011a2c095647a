#pragma once

// Internal: the shape of a modifier or container description (children plus parameters) and the node
// base that yields those children.

#include "declarative/Core.hpp"

namespace declarative::detail {

template <class Params, class NodeType> class ParamsDescription final : public Description {
public:
    ParamsDescription(std::vector<View> children, Params params)
        : children(std::move(children)), params(std::move(params)) {}
    std::shared_ptr<Node> makeNode() const override { return std::make_shared<NodeType>(); }
    std::vector<View> children;
    Params params;
};

template <class Params, class Self> class ParamsNode : public Node {
public:
    using DescriptionType = ParamsDescription<Params, Self>;
    const Params& params() const { return descriptionAs<DescriptionType>().params; }

protected:
    std::vector<View> childViews() override { return descriptionAs<DescriptionType>().children; }
};

template <class NodeType, class Params> View make(std::vector<View> children, Params params) {
    return View(
        std::make_shared<ParamsDescription<Params, NodeType>>(std::move(children), std::move(params)));
}

// Proposal arithmetic.
inline std::optional<double> minus(std::optional<double> value, double amount) {
    if (!value) {
        return value;
    }
    return std::max(0.0, *value - amount);
}

} // namespace declarative::detail
