#include "declarative/Focus.hpp"

#include "core/MainQueue.hpp"
#include "declarative/Hosting.hpp"
#include "declarative/Modifier.hpp"
#include "ui/Window.hpp"

#include <algorithm>

namespace declarative {

namespace {

// Holds focus for a subtree: focusable(), focused().
struct FocusParams {
    std::function<bool()> wantsFocus;
    std::function<void(bool)> setFocused;
};
class FocusModifierNode final : public FocusableNode {
public:
    const FocusParams& params() const {
        return descriptionAs<detail::ParamsDescription<FocusParams, FocusModifierNode>>().params;
    }
    void focusChanged(bool focused) override {
        if (params().setFocused) {
            params().setFocused(focused);
        }
    }
    bool hitsSelf(Point local) const override { return frame_.contains(local); }

protected:
    std::vector<View> childViews() override {
        return descriptionAs<detail::ParamsDescription<FocusParams, FocusModifierNode>>().children;
    }
    void didUpdate() override {
        if (!params().wantsFocus || !host()) {
            return;
        }
        // The binding is watched by this node itself, so a write moves focus even when no body reads it.
        bool wants = false;
        std::weak_ptr<Node> weak = weak_from_this();
        setTracking(core::withObservationTracking([&] { wants = params().wantsFocus(); },
                                                  [weak] {
                                                      if (auto node = weak.lock()) {
                                                          node->invalidate();
                                                      }
                                                  }));
        if (wants == host()->focusManager().isFocusWithin(this)) {
            return;
        }
        // Focus moves after this pass, never inside reconciliation.
        std::weak_ptr<HostingView> weakHost = host()->sharedAs<HostingView>();
        core::mainAsync([weak, weakHost, wants] {
            auto node = weak.lock();
            auto h = weakHost.lock();
            if (!node || !h || node->host() != h.get()) {
                return;
            }
            if (wants) {
                h->focusManager().focus(node.get());
            } else if (h->focusManager().isFocusWithin(node.get())) {
                h->focusManager().focus(nullptr);
            }
        });
    }
};

struct KeyParams {
    std::function<KeyResult(const KeyPressEvent&)> handler;
    unsigned phases = keyDownAndRepeat;
};
class KeyHandlerNode final : public detail::ParamsNode<KeyParams, KeyHandlerNode> {};

struct SubmitParams {
    std::function<void()> action;
};
class SubmitNode final : public detail::ParamsNode<SubmitParams, SubmitNode> {};

} // namespace

namespace {
// The focusable nodes from node up to the root: all of them hold focus while node has it.
std::vector<std::shared_ptr<Node>> focusChain(Node* node) {
    std::vector<std::shared_ptr<Node>> chain;
    for (Node* n = node; n; n = n->parent()) {
        if (dynamic_cast<FocusableNode*>(n)) {
            chain.push_back(n->shared_from_this());
        }
    }
    return chain;
}
bool contains(const std::vector<std::shared_ptr<Node>>& chain, const std::shared_ptr<Node>& node) {
    return std::find(chain.begin(), chain.end(), node) != chain.end();
}
} // namespace

Node* FocusManager::innermostFocusable(Node* node) {
    // Focus given to a container goes to the first focusable view inside it (a field in a focused()).
    for (const auto& child : node->children()) {
        if (auto* inner = innermostFocusable(child.get())) {
            return inner;
        }
    }
    return dynamic_cast<FocusableNode*>(node) ? node : nullptr;
}

bool FocusManager::isFocusWithin(const Node* node) const {
    for (Node* n = focused_.lock().get(); n; n = n->parent()) {
        if (n == node) {
            return true;
        }
    }
    return false;
}

void FocusManager::focus(Node* node) {
    if (node) {
        node = innermostFocusable(node);
    }
    auto current = focused_.lock();
    if (current.get() == node) {
        return;
    }
    const auto oldChain = focusChain(current.get());
    const auto newChain = focusChain(node);
    focused_ = node ? node->weak_from_this() : std::weak_ptr<Node>();
    for (const auto& n : oldChain) {
        if (!contains(newChain, n)) {
            static_cast<FocusableNode&>(*n).focusChanged(false);
            n->invalidate();
        }
    }
    for (const auto& n : newChain) {
        if (!contains(oldChain, n)) {
            static_cast<FocusableNode&>(*n).focusChanged(true);
            n->invalidate();
        }
    }
    if (node) {
        // Keys reach the tree through the hosting view.
        if (auto window = host_.window(); window && window->firstResponder().get() != &host_) {
            window->makeFirstResponder(host_.sharedAs<HostingView>());
        }
    }
    host_.setNeedsDisplay();
}

bool FocusManager::dispatch(const KeyPressEvent& press) {
    auto focused = focused_.lock();
    for (Node* node = focused.get(); node; node = node->parent()) {
        if (auto* focusable = dynamic_cast<FocusableNode*>(node)) {
            if (focusable->keyPress(press) == KeyResult::handled) {
                return true;
            }
        } else if (auto* keys = dynamic_cast<KeyHandlerNode*>(node)) {
            const auto& p = keys->params();
            if ((p.phases & static_cast<unsigned>(press.phase)) && p.handler) {
                auto handler = p.handler;
                if (handler(press) == KeyResult::handled) {
                    return true;
                }
            }
        }
    }
    return false;
}

void FocusManager::validate() {
    auto focused = focused_.lock();
    if (!focused) {
        return;
    }
    for (Node* n = focused.get(); n; n = n->parent()) {
        if (n->depth() == 0) {
            if (n == host_.rootNode()) {
                return;
            }
            break;
        }
    }
    // The focused node left the tree: whatever of its chain is still here loses focus.
    focused_.reset();
    for (const auto& n : focusChain(focused.get())) {
        static_cast<FocusableNode&>(*n).focusChanged(false);
    }
}

namespace detail {
View focusedModifier(const View& view, std::function<bool()> wantsFocus,
                     std::function<void(bool)> setFocused) {
    return make<FocusModifierNode>({view}, FocusParams{std::move(wantsFocus), std::move(setFocused)});
}
} // namespace detail

View focusedIf(const View& view, Binding<bool> binding) {
    return detail::focusedModifier(
        view, [binding] { return binding.get(); }, [binding](bool focused) { binding.set(focused); });
}

View focusable(const View& view) {
    return detail::focusedModifier(view, {}, {});
}

View View::onKeyPress(std::function<KeyResult(const KeyPressEvent&)> handler, unsigned phases) const {
    return detail::make<KeyHandlerNode>({*this}, KeyParams{std::move(handler), phases});
}

View View::onSubmit(std::function<void()> action) const {
    return detail::make<SubmitNode>({*this}, SubmitParams{std::move(action)});
}

namespace detail {
// Runs the nearest onSubmit action above node.
void submit(Node& node) {
    for (Node* n = node.parent(); n; n = n->parent()) {
        if (auto* s = dynamic_cast<SubmitNode*>(n)) {
            if (auto action = s->params().action) {
                action();
            }
            return;
        }
    }
}
} // namespace detail

} // namespace declarative
