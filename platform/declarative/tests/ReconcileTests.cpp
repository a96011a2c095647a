#include "Support.hpp"

#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <thread>

using namespace decltest;
using graphics::DrawOpKind;

namespace {

struct Model {
    core::Observed<int> a{0};
    core::Observed<int> b{0};
    core::Observed<bool> flag{true};
    core::Observed<std::vector<int>> order{std::vector<int>{1, 2, 3}};
};

// Shared bookkeeping: how often each body ran, and the state handles they created.
struct Log {
    std::map<std::string, int> evaluations;
    std::map<std::string, State<int>> states;
};

struct Counter {
    std::string name;
    std::shared_ptr<Log> log;
    View body(Context& context) const {
        ++log->evaluations[name];
        auto count = context.state(0);
        log->states[name] = count;
        return Text(name + ":" + std::to_string(count.get()));
    }
};

struct ReadsA {
    std::shared_ptr<Model> model;
    std::shared_ptr<Log> log;
    View body(Context&) const {
        ++log->evaluations["A"];
        return Text("a" + std::to_string(model->a.get()));
    }
};

struct ReadsB {
    std::shared_ptr<Model> model;
    std::shared_ptr<Log> log;
    View body(Context&) const {
        ++log->evaluations["B"];
        return Text("b" + std::to_string(model->b.get()));
    }
};

// Equal inputs: the body is skipped when the parent re-evaluates.
struct Pure {
    int value = 0;
    Log* log = nullptr;
    bool operator==(const Pure&) const = default;
    View body(Context&) const {
        ++log->evaluations["pure"];
        return Text("p" + std::to_string(value));
    }
};

std::vector<std::string> texts(Harness& h) {
    std::vector<std::string> out;
    for (const auto& op : h.record(DrawOpKind::text)) {
        out.push_back(op.text);
    }
    return out;
}

} // namespace

TEST(Observation, AChangeReevaluatesOnlyTheBodiesThatReadItOncePerFlush) {
    auto model = std::make_shared<Model>();
    auto log = std::make_shared<Log>();
    Harness h(VStack({ReadsA{model, log}, ReadsB{model, log}, Pure{1, log.get()}}));
    EXPECT_EQ(log->evaluations["A"], 1);
    EXPECT_EQ(log->evaluations["B"], 1);

    model->a = 5;
    EXPECT_TRUE(h.host->flushPending());
    EXPECT_EQ(log->evaluations["A"], 1) << "re-evaluation waits for the main queue";
    h.settle();
    EXPECT_EQ(log->evaluations["A"], 2);
    EXPECT_EQ(log->evaluations["B"], 1);
    EXPECT_EQ(log->evaluations["pure"], 1);
    EXPECT_EQ(texts(h), (std::vector<std::string>{"a5", "b0", "p1"}));

    // Several writes before the flush: one evaluation.
    model->a = 6;
    model->a = 7;
    model->b = 1;
    h.settle();
    EXPECT_EQ(log->evaluations["A"], 3);
    EXPECT_EQ(log->evaluations["B"], 2);
    // An equal write changes nothing.
    model->a = 7;
    h.settle();
    EXPECT_EQ(log->evaluations["A"], 3);
}

TEST(Observation, AWriteFromAnotherThreadIsCoalescedOntoTheMainQueue) {
    auto model = std::make_shared<Model>();
    auto log = std::make_shared<Log>();
    Harness h(ReadsA{model, log});
    std::thread writer([&] { model->a = 42; });
    writer.join();
    h.settle();
    EXPECT_EQ(log->evaluations["A"], 2);
    EXPECT_EQ(texts(h), (std::vector<std::string>{"a42"}));
}

namespace {
struct Parent {
    std::shared_ptr<Model> model;
    std::shared_ptr<Log> log;
    View body(Context&) const {
        ++log->evaluations["parent"];
        const int a = model->a.get();
        return VStack({Counter{"x", log}, Text(std::to_string(a)), Pure{a > 100 ? 1 : 0, log.get()}});
    }
};
struct Branching {
    std::shared_ptr<Model> model;
    std::shared_ptr<Log> log;
    View body(Context&) const { return If(model->flag.get(), Counter{"x", log}, Text("none")); }
};
// The counter sits a few nodes below the branch, so dropping the branch drops its ancestors with it.
struct DeepBranching {
    std::shared_ptr<Model> model;
    std::shared_ptr<Log> log;
    View body(Context&) const {
        return If(model->flag.get(), VStack({Counter{"x", log}}).padding(2).opacity(0.9), Text("none"));
    }
};
struct List {
    std::shared_ptr<Model> model;
    std::shared_ptr<Log> log;
    View body(Context&) const {
        return VStack({ForEach(
            model->order.get(), [](int i) { return std::int64_t{i}; },
            [log = log](int i) {
                return View(Counter{std::to_string(i), log});
            })});
    }
};
} // namespace

TEST(Reconciliation, StateLivesAsLongAsItsIdentity) {
    auto model = std::make_shared<Model>();
    auto log = std::make_shared<Log>();
    Harness h(Parent{model, log});
    log->states["x"].set(3);
    h.settle();
    EXPECT_EQ(log->evaluations["parent"], 1) << "a child's state change leaves the parent alone";
    EXPECT_EQ(log->evaluations["x"], 2);
    model->a = 1;
    h.settle();
    EXPECT_EQ(log->evaluations["parent"], 2);
    EXPECT_EQ(log->evaluations["pure"], 1) << "equal inputs skip the body";
    EXPECT_EQ(texts(h), (std::vector<std::string>{"x:3", "1", "p0"}));
}

TEST(Reconciliation, SwitchingBranchesResetsState) {
    auto model = std::make_shared<Model>();
    auto log = std::make_shared<Log>();
    Harness h(Branching{model, log});
    log->states["x"].set(3);
    h.settle();
    EXPECT_EQ(texts(h), (std::vector<std::string>{"x:3"}));
    model->flag = false;
    h.settle();
    EXPECT_EQ(texts(h), (std::vector<std::string>{"none"}));
    model->flag = true;
    h.settle();
    EXPECT_EQ(texts(h), (std::vector<std::string>{"x:0"}));
}

TEST(Reconciliation, AChangedNodeDroppedWithItsAncestorsInTheSameTurnIsLeftAlone) {
    auto model = std::make_shared<Model>();
    auto log = std::make_shared<Log>();
    Harness h(DeepBranching{model, log});
    ASSERT_EQ(texts(h), (std::vector<std::string>{"x:0"}));
    // Both change before the flush: the branch goes, and with it the counter's ancestors.
    log->states["x"].set(3);
    model->flag = false;
    h.settle();
    EXPECT_EQ(log->evaluations["x"], 1) << "a node that left the tree is not evaluated again";
    EXPECT_EQ(texts(h), (std::vector<std::string>{"none"}));
}

TEST(Reconciliation, ForEachIdsCarryStateThroughReordersAndRemovalsResetIt) {
    auto model = std::make_shared<Model>();
    auto log = std::make_shared<Log>();
    Harness h(List{model, log});
    log->states["2"].set(7);
    h.settle();
    model->order = std::vector<int>{3, 2, 1};
    h.settle();
    EXPECT_EQ(texts(h), (std::vector<std::string>{"3:0", "2:7", "1:0"}));
    model->order = std::vector<int>{3, 1};
    h.settle();
    model->order = std::vector<int>{2, 3, 1};
    h.settle();
    EXPECT_EQ(texts(h), (std::vector<std::string>{"2:0", "3:0", "1:0"}));
    // Duplicate ids do not share one node.
    model->order = std::vector<int>{1, 1};
    h.settle();
    EXPECT_EQ(texts(h), (std::vector<std::string>{"1:0", "1:0"}));
}

namespace {
struct Theme {
    std::string name;
};
struct Themed {
    View body(Context& context) const {
        auto theme = context.environmentObject<Theme>();
        const auto& env = context.environment();
        return Text((theme ? theme->name : "none") + (env.isEnabled ? "" : " disabled"));
    }
};
} // namespace

TEST(Environment, ObjectsAndValuesReachDescendants) {
    auto theme = std::make_shared<Theme>(Theme{"dark"});
    Harness h(
        VStack({View(Themed{}).environmentObject(theme), View(Themed{}).disabled(true), View(Themed{})}));
    EXPECT_EQ(texts(h), (std::vector<std::string>{"dark", "none disabled", "none"}));
}

TEST(Bindings, StateAndObservedBindingsReadAndWriteTheirSource) {
    auto model = std::make_shared<Model>();
    auto binding = Binding<int>::to(model->a);
    binding.set(4);
    EXPECT_EQ(model->a.peek(), 4);
    EXPECT_EQ(binding.get(), 4);
    auto log = std::make_shared<Log>();
    Harness h(Counter{"x", log});
    auto stateBinding = log->states["x"].binding();
    stateBinding.set(9);
    h.settle();
    EXPECT_EQ(texts(h), (std::vector<std::string>{"x:9"}));
    EXPECT_EQ(Binding<int>::constant(3).get(), 3);
}

namespace {
class Native : public ui::View {
public:
    Native() : ui::View(Rect(0, 0, 30, 20)) {}
    bool isFlipped() const override { return true; }
    void mouseDown(const ui::Event&) override { ++downs; }
    int updates = 0;
    int downs = 0;
    int lastValue = -1;
};
struct Wrapper {
    std::shared_ptr<Model> model;
    std::shared_ptr<int> makes;
    std::shared_ptr<int> dismantles;
    std::shared_ptr<std::weak_ptr<Native>> made;
    View body(Context&) const {
        const int a = model->a.get();
        auto makes = this->makes;
        auto made = this->made;
        auto dismantles = this->dismantles;
        return If(model->flag.get(),
                  represent(Representable<Native>{[makes, made] {
                                                      ++*makes;
                                                      auto v = std::make_shared<Native>();
                                                      *made = v;
                                                      return v;
                                                  },
                                                  [a](Native& v) {
                                                      ++v.updates;
                                                      v.lastValue = a;
                                                  },
                                                  [dismantles](Native&) { ++*dismantles; }})
                      .padding(5));
    }
};
} // namespace

TEST(Representable, MadeOnceUpdatedOnEveryEvaluationAndRemovedWithItsNode) {
    auto model = std::make_shared<Model>();
    auto makes = std::make_shared<int>(0);
    auto dismantles = std::make_shared<int>(0);
    auto made = std::make_shared<std::weak_ptr<Native>>();
    Harness h(Wrapper{model, makes, dismantles, made});
    auto native = made->lock();
    ASSERT_TRUE(native);
    EXPECT_EQ(native->superview().get(), h.host.get());
    // Without an intrinsic size it takes the proposal: the host less the padding.
    EXPECT_EQ(native->frame(), (Rect{5, 5, 190, 90}));
    model->a = 3;
    h.settle();
    EXPECT_EQ(*makes, 1);
    EXPECT_EQ(native->updates, 2);
    EXPECT_EQ(native->lastValue, 3);
    // Events reach it natively.
    h.click({90, 45});
    EXPECT_EQ(native->downs, 1);
    model->flag = false;
    h.settle();
    EXPECT_EQ(*dismantles, 1);
    EXPECT_EQ(native->superview(), nullptr);
}

namespace {
struct TextSettingsModel {
    core::Observed<int> lines{2};
    core::Observed<bool> tight{false};
};
// What the representable saw of its context at each call: the line limit, alignment, truncation,
// tightening, enabling and the coordinator.
struct Seen {
    std::optional<int> lines;
    declarative::TextAlignment alignment = declarative::TextAlignment::leading;
    declarative::TruncationMode truncation = declarative::TruncationMode::tail;
    bool tight = false;
    bool enabled = true;
    const void* coordinator = nullptr;
};
struct TextSettingsWrapper {
    std::shared_ptr<TextSettingsModel> model;
    std::shared_ptr<std::vector<Seen>> made;
    std::shared_ptr<std::vector<Seen>> updated;
    std::shared_ptr<int> coordinators;
    View body(Context&) const {
        const int lines = model->lines.get();
        const bool tight = model->tight.get();
        auto made = this->made;
        auto updated = this->updated;
        auto coordinators = this->coordinators;
        auto seen = [](const RepresentableContext& c) {
            const Environment& e = c.environment;
            return Seen{e.lineLimit, e.multilineTextAlignment, e.truncationMode, e.allowsTightening,
                        e.isEnabled, c.coordinator.get()};
        };
        return represent(Representable<Native>{[made, seen](const RepresentableContext& c) {
                                                   made->push_back(seen(c));
                                                   return std::make_shared<Native>();
                                               },
                                               [updated, seen](Native&, const RepresentableContext& c) {
                                                   updated->push_back(seen(c));
                                               },
                                               {},
                                               [coordinators] {
                                                   ++*coordinators;
                                                   return std::make_shared<int>(7);
                                               }})
            .lineLimit(lines == 0 ? std::nullopt : std::optional<int>(lines))
            .multilineTextAlignment(declarative::TextAlignment::trailing)
            .truncationMode(declarative::TruncationMode::middle)
            .allowsTightening(tight)
            .disabled(tight);
    }
};
} // namespace

TEST(Representable, GetsTheEnvironmentAndOneCoordinatorInMakeAndEveryUpdate) {
    auto model = std::make_shared<TextSettingsModel>();
    auto made = std::make_shared<std::vector<Seen>>();
    auto updated = std::make_shared<std::vector<Seen>>();
    auto coordinators = std::make_shared<int>(0);
    Harness h(TextSettingsWrapper{model, made, updated, coordinators});
    ASSERT_EQ(made->size(), 1u);
    ASSERT_EQ(updated->size(), 1u);
    const Seen& first = made->front();
    EXPECT_EQ(first.lines, 2);
    EXPECT_EQ(first.alignment, declarative::TextAlignment::trailing);
    EXPECT_EQ(first.truncation, declarative::TruncationMode::middle);
    EXPECT_FALSE(first.tight);
    EXPECT_TRUE(first.enabled);
    ASSERT_NE(first.coordinator, nullptr);
    EXPECT_EQ(updated->front().coordinator, first.coordinator);

    // A change of the environment reaches the next update; the coordinator stays the same one.
    model->lines = 0;
    model->tight = true;
    h.settle();
    ASSERT_EQ(updated->size(), 2u);
    EXPECT_EQ(updated->back().lines, std::nullopt);
    EXPECT_TRUE(updated->back().tight);
    EXPECT_FALSE(updated->back().enabled);
    EXPECT_EQ(updated->back().coordinator, first.coordinator);
    EXPECT_EQ(*coordinators, 1);
    EXPECT_EQ(made->size(), 1u);
}

TEST(Layout, HostileSizesNeitherCrashNorGoNegative) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Harness h(VStack({ColorView(red()).frame(nan, 1e300), ColorView(blue()).frame(-50, -50).padding(-1e9),
                      Text(std::string(2000, 'x')).frame({.minWidth = 100, .maxWidth = 10}), Spacer(-5)}));
    for (const auto& r : h.fills()) {
        EXPECT_GE(r.width(), 0);
        EXPECT_GE(r.height(), 0);
    }
    EXPECT_NO_THROW(h.host->sizeThatFits(Proposal::infinity()));
    EXPECT_NO_THROW(h.host->sizeThatFits(Proposal::zero()));
}

namespace {
// The example at the top of Declarative.hpp, kept compiling and working.
struct NameModel {
    core::Observed<std::string> name{std::string("Warm pad")};
};
struct Meter {
    std::shared_ptr<NameModel> model;
    View body(Context& c) const {
        auto open = c.state(false);
        return VStack(
                   {.spacing = 4},
                   {Text(model->name.get()).font(graphics::Font::systemFont(11, graphics::FontWeight::bold)),
                    Button([open] { open.set(!open.get()); }, Text(open.get() ? "Hide" : "Show")),
                    If(open.get(), TextField(Binding<std::string>::to(model->name)))})
            .padding(8)
            .background(RoundedRectangle(6).fill(graphics::Color::controlColor()));
    }
};
} // namespace

TEST(Example, TheHeaderExampleOpensItsFieldOnAClick) {
    auto model = std::make_shared<NameModel>();
    Harness h(Meter{model}, {300, 200});
    EXPECT_EQ(texts(h), (std::vector<std::string>{"Warm pad", "Show"}));
    const auto show = h.record(DrawOpKind::text)[1].rect;
    h.click(show.center());
    h.settle();
    EXPECT_EQ(texts(h), (std::vector<std::string>{"Warm pad", "Hide", "Warm pad"}));
}
