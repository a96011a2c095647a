#include "declarative/Focus.hpp"

#include "core/MainQueue.hpp"
#include "declarative/Hosting.hpp"
#include "declarative/Modifier.hpp"

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
        // The binding asks for focus: move it after this pass (the binding is read untracked here,
        // as the owner's body read it when it was evaluated).
        if (params().wantsFocus && host() && host()->focusManager().focusedNode() != this) {
            bool wants = false;
            core::withObservationTracking([&] { wants = params().wantsFocus(); }, [] {}).cancel();
            if (wants) {
                std::weak_ptr<Node> weak = weak_from_this();
                HostingView* host = this->host();
                std::weak_ptr<HostingView> weakHost = host->sharedAs<HostingView>();
                core::mainAsync([weak, weakHost] {
                    auto node = weak.lock();
                    auto h = weakHost.lock();
                    if (node && h && node->host() == h.get()) {
                        h->focusManager().focus(node.get());
                    }
                });
            }
        } else if (params().wantsFocus && host() && host()->focusManager().focusedNode() == this) {
            bool wants = true;
            core::withObservationTracking([&] { wants = params().wantsFocus(); }, [] {}).cancel();
            if (!wants) {
                HostingView* host = this->host();
                std::weak_ptr<HostingView> weakHost = host->sharedAs<HostingView>();
                std::weak_ptr<Node> weak = weak_from_this();
                core::mainAsync([weak, weakHost] {
                    auto node = weak.lock();
                    auto h = weakHost.lock();
                    if (node && h && h->focusManager().focusedNode() == node.get()) {
                        h->focusManager().focus(nullptr);
                    }
                });
            }
        }
    }
};

struct KeyParams {
    std::function<KeyResult(const KeyPress&)> handler;
    unsigned phases = keyDownAndRepeat;
};
class KeyHandlerNode final : public detail::ParamsNode<KeyParams, KeyHandlerNode> {};

struct SubmitParams {
    std::function<void()> action;
};
class SubmitNode final : public detail::ParamsNode<SubmitParams, SubmitNode> {};

} // namespace

void FocusManager::focus(Node* node) {
    auto current = focused_.lock();
    if (current.get() == node) {
        return;
    }
    focused_.reset();
    if (auto* old = dynamic_cast<FocusableNode*>(current.get())) {
        old->focusChanged(false);
        old->invalidate();
    }
    if (auto* next = dynamic_cast<FocusableNode*>(node)) {
        focused_ = next->weak_from_this();
        next->focusChanged(true);
        next->invalidate();
    }
    host_.setNeedsDisplay();
}

bool FocusManager::dispatch(const KeyPress& press) {
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
    // The focused node left the tree.
    focused_.reset();
    if (auto* old = dynamic_cast<FocusableNode*>(focused.get())) {
        old->focusChanged(false);
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

View View::onKeyPress(std::function<KeyResult(const KeyPress&)> handler, unsigned phases) const {
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
