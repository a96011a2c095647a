#include "audiounit/Parameter.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace audiounit;

namespace {

std::shared_ptr<AUParameter> makeParameter(AUParameterAddress address, std::string identifier,
                                           AudioUnitParameterOptions flags = 0xC0000000,
                                           std::optional<std::vector<std::string>> strings = std::nullopt) {
    return AUParameterTree::createParameter(identifier, identifier + " name", address, -10.0f, 10.0f,
                                            AudioUnitParameterUnit::generic, "", flags, std::move(strings),
                                            std::nullopt);
}

} // namespace

TEST(ParameterTree, CreationKeepsEveryAttributeAndFlagsDecompose) {
    auto clumped = AUParameterTree::createParameter(
        "note", "Note", 11, -600, 600, AudioUnitParameterUnit::absoluteCents, "", 0xD0100000,
        std::vector<std::string>{}, std::vector<AUParameterAddress>{});
    EXPECT_EQ(uint32_t(clumped->unit()), 20u);
    EXPECT_TRUE(clumped->hasFlags(ParameterFlag::kIsWritable | ParameterFlag::kIsReadable |
                                  ParameterFlag::kIsGlobalMeta | ParameterFlag::kHasClump));
    EXPECT_FALSE(clumped->hasFlags(ParameterFlag::kValuesHaveStrings));
    EXPECT_FALSE(clumped->hasFlags(ParameterFlag::kCanRamp));
    // Empty and absent stay distinct.
    ASSERT_TRUE(clumped->valueStrings().has_value());
    EXPECT_TRUE(clumped->valueStrings()->empty());
    ASSERT_TRUE(clumped->dependentParameters().has_value());

    auto ramped = makeParameter(6, "inputGain", 0xC2200000);
    EXPECT_EQ(ramped->flags(), ParameterFlag::kIsWritable | ParameterFlag::kIsReadable |
                                   ParameterFlag::kCanRamp | ParameterFlag::kValuesHaveStrings);
    EXPECT_FALSE(ramped->valueStrings().has_value());
    EXPECT_FALSE(ramped->dependentParameters().has_value());

    // Unit numbers this layer has no name for are kept.
    auto odd = AUParameterTree::createParameter("x", "X", 0, 0, 1, AudioUnitParameterUnit(99), "things", 0,
                                                std::nullopt, std::nullopt);
    EXPECT_EQ(uint32_t(odd->unit()), 99u);
    EXPECT_EQ(odd->unitName(), "things");
}

TEST(ParameterTree, LookupByAddressAndIdentifier) {
    auto first = makeParameter(3, "slice");
    auto duplicate = makeParameter(3, "other");
    auto tree = AUParameterTree::createTree({first, nullptr, duplicate, makeParameter(17, "morphX")});
    ASSERT_EQ(tree->allParameters().size(), 3u);
    EXPECT_EQ(tree->allParameters()[2]->identifier(), "morphX");
    EXPECT_EQ(tree->parameterWithAddress(3), first);
    EXPECT_EQ(tree->parameterWithAddress(17)->identifier(), "morphX");
    EXPECT_EQ(tree->parameterWithAddress(9), nullptr);
    EXPECT_EQ(tree->parameterWithIdentifier("other"), duplicate);
    EXPECT_EQ(tree->parameterWithIdentifier("missing"), nullptr);
    EXPECT_EQ(first->tree(), tree);

    // Rebuilding a tree from the same parameters moves them to the new one.
    auto rebuilt = AUParameterTree::createTree({first});
    EXPECT_EQ(first->tree(), rebuilt);
}

TEST(ParameterTree, ValueObserverRunsSynchronouslyForEverySet) {
    auto gain = makeParameter(6, "inputGain");
    auto mix = makeParameter(8, "mix");
    auto tree = AUParameterTree::createTree({gain, mix});

    // Without an observer a set only stores, unclamped.
    gain->setValue(42.0f);
    EXPECT_EQ(gain->value(), 42.0f);

    struct Call {
        AUParameterAddress address;
        float value;
        std::thread::id thread;
    };
    std::vector<Call> calls;
    tree->setImplementorValueObserver([&](const AUParameter& parameter, float value) {
        calls.push_back({parameter.address(), value, std::this_thread::get_id()});
        // Re-entry from the observer is the normal way values are echoed; it must not deadlock.
        if (parameter.address() == 6) {
            mix->setValue(value * 2.0f);
        }
    });

    gain->setValue(1.0f);
    gain->setValue(1.0f, kNoOriginator, 5, AUParameterAutomationEventType::touch);
    gain->setValue(1.0f, kNoOriginator, 6, AUParameterAutomationEventType::release);
    std::thread other([&] { gain->setValue(3.0f, kNoOriginator, 7, AUParameterAutomationEventType::value); });
    other.join();

    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[0].address, 6u);
    EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
    EXPECT_EQ(calls[1].address, 8u);
    EXPECT_EQ(calls[1].value, 2.0f);
    EXPECT_EQ(calls[6].value, 3.0f);
    EXPECT_NE(calls[6].thread, std::this_thread::get_id());
    EXPECT_EQ(mix->value(), 6.0f);
}

TEST(ParameterTree, ObserversSkipTheirOwnOriginatorToken) {
    auto gain = makeParameter(6, "inputGain");
    auto tree = AUParameterTree::createTree({gain});
    std::vector<AUParameterEvent> hostSeen;
    std::vector<AUParameterEvent> editorSeen;
    const auto host = tree->addParameterObserver([&](const AUParameterEvent& e) { hostSeen.push_back(e); });
    const auto editor =
        tree->addParameterObserver([&](const AUParameterEvent& e) { editorSeen.push_back(e); });
    EXPECT_NE(host, editor);
    EXPECT_NE(host, kNoOriginator);

    gain->setValue(-3.0f, host, 1234, AUParameterAutomationEventType::touch);
    EXPECT_TRUE(hostSeen.empty());
    ASSERT_EQ(editorSeen.size(), 1u);
    EXPECT_EQ(editorSeen[0].hostTime, 1234u);
    EXPECT_EQ(editorSeen[0].address, 6u);
    EXPECT_EQ(editorSeen[0].value, -3.0f);
    EXPECT_EQ(editorSeen[0].eventType, AUParameterAutomationEventType::touch);

    gain->setValue(-4.0f); // no originator: everyone hears it
    EXPECT_EQ(hostSeen.size(), 1u);
    EXPECT_EQ(editorSeen.size(), 2u);

    tree->removeParameterObserver(editor);
    gain->setValue(-5.0f, host, 0, AUParameterAutomationEventType::value);
    EXPECT_EQ(hostSeen.size(), 1u);
    EXPECT_EQ(editorSeen.size(), 2u);
}

TEST(ParameterTree, ProviderAnswersReadsUntilRemoved) {
    auto note = makeParameter(11, "note");
    auto tree = AUParameterTree::createTree({note});
    note->setValue(5.0f);
    tree->setImplementorValueProvider(
        [](const AUParameter& parameter) { return float(parameter.address()) * 10; });
    EXPECT_EQ(note->value(), 110.0f);
    EXPECT_EQ(note->storedValue(), 5.0f);
    tree->setImplementorValueProvider(nullptr);
    EXPECT_EQ(note->value(), 5.0f);
}

TEST(ParameterTree, StringConversionsFallBackWithoutCallbacks) {
    auto indexed = makeParameter(0, "shape", 0xC0200000, std::vector<std::string>{"saw", "square", "sine"});
    auto plain = makeParameter(1, "level");
    auto tree = AUParameterTree::createTree({indexed, plain});
    const float second = 1.7f;
    const float outside = 3.0f;
    const float negative = -1.0f;
    EXPECT_EQ(indexed->stringFromValue(&second), "square");
    EXPECT_EQ(indexed->stringFromValue(&outside), "3");
    EXPECT_EQ(indexed->stringFromValue(&negative), "-1");
    plain->setValue(2.5f);
    EXPECT_EQ(plain->stringFromValue(nullptr), "2.5");

    EXPECT_EQ(plain->valueFromString("12.5"), 12.5f);
    EXPECT_EQ(plain->valueFromString("abc"), 0.0f);
    EXPECT_EQ(plain->valueFromString(" 1"), 0.0f);
    EXPECT_EQ(plain->valueFromString(""), 0.0f);

    tree->setImplementorStringFromValueCallback(
        [](const AUParameter&, const float* v) { return v ? "value" : "none"; });
    tree->setImplementorValueFromStringCallback(
        [](const AUParameter&, std::string_view text) { return float(text.size()); });
    EXPECT_EQ(plain->stringFromValue(nullptr), "none");
    EXPECT_EQ(plain->valueFromString("abcd"), 4.0f);
}

TEST(ParameterTree, CallbacksCanBeReplacedWhileOtherThreadsCallThem) {
    auto parameter = makeParameter(4, "blur");
    auto tree = AUParameterTree::createTree({parameter});
    tree->setImplementorStringFromValueCallback(
        [](const AUParameter&, const float*) { return std::string("A"); });

    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                const std::string text = parameter->stringFromValue(nullptr);
                if (text != "A" && text != "B" && text != "0") {
                    ++bad;
                }
                parameter->setValue(0.0f);
                (void)parameter->value();
            }
        });
    }
    for (int i = 0; i < 2000; ++i) {
        const std::string label = i % 2 ? "A" : "B";
        tree->setImplementorStringFromValueCallback(
            [label](const AUParameter&, const float*) { return label; });
        tree->setImplementorValueObserver([label](const AUParameter&, float) { (void)label.size(); });
        tree->setImplementorValueProvider([](const AUParameter&) { return 0.0f; });
        if (i % 100 == 0) {
            tree->setImplementorStringFromValueCallback(nullptr);
        }
        tree->removeParameterObserver(tree->addParameterObserver([label](const AUParameterEvent&) {}));
    }
    stop = true;
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(bad.load(), 0);
}
