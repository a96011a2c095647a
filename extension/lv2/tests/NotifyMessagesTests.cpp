// The notification port's messages: each survives the trip through a forged sequence unchanged, writing is
// whole or nothing, and bytes from anywhere decode to nothing or to values in bounds without a read past
// them.
// clang-format off
// gtest first, which cannot take Xlib's macros; then Xlib, whose macros the codec's header must take.
#include <gtest/gtest.h>
#if __has_include(<X11/Xlib.h>)
#include <X11/Xlib.h>
#endif
#include "extension/lv2/NotifyMessages.hpp"
// clang-format on
#include "extension/lv2/tests/UridMap.hpp"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <functional>
#include <limits>
#include <lv2/atom/util.h>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

using tessaray_lv2::AnalyserMessage;
using tessaray_lv2::kAnalyserBands;
using tessaray_lv2::kAnalyserMessageSize;
using tessaray_lv2::kPresetNameCapacity;
using tessaray_lv2::NotifyMessage;
using tessaray_lv2::NotifyMessages;
using tessaray_lv2::PresetNameMessage;
using tessaray_lv2::presetNameMessageSize;

namespace {

using lv2test::UridMap;

// A forge writing into a buffer of its own.
struct Forged {
    explicit Forged(LV2_URID_Map& map, std::size_t bytes = 4096) : buffer((bytes + 7) / 8) {
        lv2_atom_forge_init(&forge, &map);
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(buffer.data()), uint32_t(bytes));
    }
    const LV2_Atom* atom(uint32_t offset = 0) const {
        return reinterpret_cast<const LV2_Atom*>(reinterpret_cast<const uint8_t*>(buffer.data()) + offset);
    }
    // The bytes of the first atom written.
    std::vector<uint8_t> bytes() const {
        const auto* start = reinterpret_cast<const uint8_t*>(buffer.data());
        return {start, start + sizeof(LV2_Atom) + atom()->size};
    }

    std::vector<uint64_t> buffer;
    LV2_Atom_Forge forge{};
};

// Bytes in a heap block of exactly their length (new[] aligns it as atoms need), so that the address
// sanitizer reports any read past them.
std::optional<NotifyMessage> decodeExactly(const NotifyMessages& messages,
                                           const std::vector<uint8_t>& bytes) {
    const auto block = std::make_unique<uint8_t[]>(bytes.size());
    if (!bytes.empty()) {
        std::memcpy(block.get(), bytes.data(), bytes.size());
    }
    return messages.decode(reinterpret_cast<const LV2_Atom*>(block.get()), bytes.size());
}

AnalyserMessage someAnalyser() {
    AnalyserMessage message;
    message.bandCount = 37;
    message.rangeLo = 20.0f;
    message.rangeHi = 18500.5f;
    for (int i = 0; i < kAnalyserBands; ++i) {
        message.levels[std::size_t(i)] = i < 37 ? 0.01f * float(i) + 0.003f : 0.0f;
    }
    return message;
}

std::vector<uint8_t> forgedAnalyser(UridMap& map, const NotifyMessages& messages, const AnalyserMessage& m) {
    Forged forged(map.map);
    EXPECT_TRUE(messages.writeAnalyser(forged.forge, m));
    return forged.bytes();
}

std::vector<uint8_t> forgedName(UridMap& map, const NotifyMessages& messages, std::string_view name) {
    Forged forged(map.map);
    EXPECT_TRUE(messages.writePresetName(forged.forge, name));
    return forged.bytes();
}

// The analyser as the plug-in forges it, with each property given by the caller (null leaves it out).
using PropertyWriter = std::function<void(LV2_Atom_Forge&)>;
std::vector<uint8_t> analyserWith(UridMap& map, const PropertyWriter& count, const PropertyWriter& lo,
                                  const PropertyWriter& hi, const PropertyWriter& levels) {
    Forged forged(map.map);
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_object(&forged.forge, &frame, 0, map(tessaray_lv2::kAnalyserURI));
    const std::pair<const char*, const PropertyWriter*> properties[] = {
        {tessaray_lv2::kBandCountURI, &count},
        {tessaray_lv2::kRangeLoURI, &lo},
        {tessaray_lv2::kRangeHiURI, &hi},
        {tessaray_lv2::kBandLevelsURI, &levels}};
    for (const auto& [key, write] : properties) {
        if (*write) {
            lv2_atom_forge_key(&forged.forge, map(key));
            (*write)(forged.forge);
        }
    }
    lv2_atom_forge_pop(&forged.forge, &frame);
    return forged.bytes();
}

PropertyWriter anInt(int32_t value) {
    return [value](LV2_Atom_Forge& f) { lv2_atom_forge_int(&f, value); };
}
PropertyWriter aFloat(float value) {
    return [value](LV2_Atom_Forge& f) { lv2_atom_forge_float(&f, value); };
}
PropertyWriter floats(std::vector<float> values) {
    return [values](LV2_Atom_Forge& f) {
        const float none = 0.0f; // the forge copies from a pointer even when there is nothing to copy
        lv2_atom_forge_vector(&f, sizeof(float), f.Float, uint32_t(values.size()),
                              values.empty() ? &none : values.data());
    };
}
PropertyWriter ints(int n) {
    return [n](LV2_Atom_Forge& f) {
        const std::vector<int32_t> values(std::size_t(n), 1);
        lv2_atom_forge_vector(&f, sizeof(int32_t), f.Int, uint32_t(n), values.data());
    };
}

} // namespace

// Each message goes into a sequence as the plug-in sends it and comes back out of every event's body as it
// went in, taking exactly the bytes the codec states.
TEST(NotifyMessages, EachMessageRoundTripsThroughASequence) {
    UridMap map;
    const NotifyMessages messages(&map.map);
    AnalyserMessage full = someAnalyser();
    full.bandCount = kAnalyserBands;
    full.levels.fill(0.5f);
    const std::vector<NotifyMessage> sent{
        someAnalyser(),
        full,
        AnalyserMessage{},
        PresetNameMessage{""},
        PresetNameMessage{"Slow Melt"},
        PresetNameMessage{"Caf\xC3\xA9 \xF0\x9F\x8E\xB5 Choir"},
        PresetNameMessage{std::string(kPresetNameCapacity, 'x')},
    };

    Forged forged(map.map);
    LV2_Atom_Forge_Frame sequence;
    ASSERT_TRUE(lv2_atom_forge_sequence_head(&forged.forge, &sequence, 0));
    for (const NotifyMessage& message : sent) {
        ASSERT_TRUE(lv2_atom_forge_frame_time(&forged.forge, 0));
        const uint32_t before = forged.forge.offset;
        if (const auto* analyser = std::get_if<AnalyserMessage>(&message)) {
            ASSERT_TRUE(messages.writeAnalyser(forged.forge, *analyser));
            EXPECT_EQ(forged.forge.offset - before, kAnalyserMessageSize);
        } else {
            const std::string& name = std::get<PresetNameMessage>(message).name;
            ASSERT_TRUE(messages.writePresetName(forged.forge, name));
            EXPECT_EQ(forged.forge.offset - before, presetNameMessageSize(uint32_t(name.size())));
        }
    }
    lv2_atom_forge_pop(&forged.forge, &sequence);

    std::vector<NotifyMessage> received;
    LV2_ATOM_SEQUENCE_FOREACH(reinterpret_cast<const LV2_Atom_Sequence*>(forged.buffer.data()), event) {
        const auto message = messages.decode(&event->body, sizeof(LV2_Atom) + event->body.size);
        ASSERT_TRUE(message.has_value());
        received.push_back(*message);
    }
    EXPECT_EQ(received, sent);
}

// A message goes out whole or not at all, so a full buffer never holds half of one; a codec made without a
// map writes and reads nothing.
TEST(NotifyMessages, WritesWholeMessagesOrNothing) {
    UridMap map;
    const NotifyMessages messages(&map.map);
    const auto writes = [&](uint32_t room, bool analyser) {
        Forged forged(map.map, room);
        const bool written = analyser ? messages.writeAnalyser(forged.forge, someAnalyser())
                                      : messages.writePresetName(forged.forge, "Slow Melt");
        EXPECT_EQ(forged.forge.offset, written ? room : 0u);
        return written;
    };
    EXPECT_TRUE(writes(kAnalyserMessageSize, true));
    EXPECT_FALSE(writes(kAnalyserMessageSize - 1, true));
    EXPECT_TRUE(writes(presetNameMessageSize(9), false));
    EXPECT_FALSE(writes(presetNameMessageSize(9) - 1, false));

    const NotifyMessages unmapped;
    Forged forged(map.map);
    EXPECT_FALSE(unmapped.writeAnalyser(forged.forge, someAnalyser()));
    EXPECT_FALSE(unmapped.writePresetName(forged.forge, "Slow Melt"));
    EXPECT_EQ(forged.forge.offset, 0u);
    EXPECT_FALSE(decodeExactly(unmapped, forgedAnalyser(map, messages, someAnalyser())));
}

// Names longer than their capacity go out cut short before the first character that does not fit whole.
TEST(NotifyMessages, LongNamesAreCutBeforeTheFirstCharacterThatDoesNotFit) {
    UridMap map;
    const NotifyMessages messages(&map.map);
    const auto roundTrip = [&](const std::string& name) {
        const auto message = decodeExactly(messages, forgedName(map, messages, name));
        return message ? std::get<PresetNameMessage>(*message).name : "(nothing)";
    };
    EXPECT_EQ(roundTrip(std::string(1000, 'n')), std::string(kPresetNameCapacity, 'n'));
    EXPECT_EQ(roundTrip(std::string(kPresetNameCapacity - 1, 'n') + "\xC3\xA9"),
              std::string(kPresetNameCapacity - 1, 'n'));
    EXPECT_EQ(roundTrip(std::string(kPresetNameCapacity - 2, 'n') + "\xC3\xA9!"),
              std::string(kPresetNameCapacity - 2, 'n') + "\xC3\xA9");
    EXPECT_EQ(roundTrip(std::string(kPresetNameCapacity - 1, 'n') + "\xF0\x9F\x8E\xB5"),
              std::string(kPresetNameCapacity - 1, 'n'));
}

// Bytes cut short anywhere, and atoms whose headers claim more than they hold, decode to nothing.
TEST(NotifyMessages, TruncatedMessagesDecodeToNothing) {
    UridMap map;
    const NotifyMessages messages(&map.map);
    for (const auto& whole :
         {forgedAnalyser(map, messages, someAnalyser()), forgedName(map, messages, "Slow Melt")}) {
        ASSERT_TRUE(decodeExactly(messages, whole));
        for (std::size_t length = 0; length < whole.size(); ++length) {
            // The buffer ends early, the header still claiming the whole message...
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + std::ptrdiff_t(length));
            EXPECT_FALSE(decodeExactly(messages, cut)) << length << " bytes";
            // ... or the header agrees with the buffer, and the last value claims bytes past both.
            if (length >= sizeof(LV2_Atom)) {
                std::vector<uint8_t> shortened = cut;
                reinterpret_cast<LV2_Atom*>(shortened.data())->size = uint32_t(length - sizeof(LV2_Atom));
                const auto message = decodeExactly(messages, shortened);
                // Only the padding after the name's terminator may go.
                EXPECT_TRUE(!message || whole.size() - length < 8) << length << " bytes";
            }
        }
    }
    EXPECT_FALSE(messages.decode(nullptr, 1000));
    // Misaligned for an atom's header.
    std::vector<uint64_t> storage(64);
    const auto name = forgedName(map, messages, "Slow Melt");
    std::memcpy(reinterpret_cast<uint8_t*>(storage.data()) + 1, name.data(), name.size());
    EXPECT_FALSE(messages.decode(
        reinterpret_cast<const LV2_Atom*>(reinterpret_cast<const uint8_t*>(storage.data()) + 1),
        name.size()));
}

// Messages of the wrong types or sizes decode to nothing; numbers out of bounds decode in bounds.
TEST(NotifyMessages, ForeignOrMalformedValuesDecodeToNothingOrInBounds) {
    UridMap map;
    const NotifyMessages messages(&map.map);
    const auto decodes = [&](const std::vector<uint8_t>& bytes) {
        return decodeExactly(messages, bytes).has_value();
    };
    const std::vector<float> levels(kAnalyserBands, 0.25f);
    EXPECT_TRUE(decodes(analyserWith(map, anInt(8), aFloat(20), aFloat(20000), floats(levels))));

    // A property missing or of another type, a vector of another child type or length.
    EXPECT_FALSE(decodes(analyserWith(map, nullptr, aFloat(20), aFloat(20000), floats(levels))));
    EXPECT_FALSE(decodes(analyserWith(map, anInt(8), aFloat(20), nullptr, floats(levels))));
    EXPECT_FALSE(decodes(analyserWith(map, anInt(8), aFloat(20), aFloat(20000), nullptr)));
    EXPECT_FALSE(decodes(analyserWith(map, aFloat(8), aFloat(20), aFloat(20000), floats(levels))));
    EXPECT_FALSE(decodes(analyserWith(map, anInt(8), anInt(20), aFloat(20000), floats(levels))));
    EXPECT_FALSE(decodes(analyserWith(map, anInt(8), aFloat(20), aFloat(20000), aFloat(1))));
    EXPECT_FALSE(decodes(analyserWith(map, anInt(8), aFloat(20), aFloat(20000), ints(kAnalyserBands))));
    EXPECT_FALSE(decodes(analyserWith(map, anInt(8), aFloat(20), aFloat(20000), floats({0.5f, 0.5f}))));
    EXPECT_FALSE(decodes(analyserWith(map, anInt(8), aFloat(20), aFloat(20000),
                                      floats(std::vector<float>(kAnalyserBands + 1, 0.5f)))));
    EXPECT_FALSE(decodes(analyserWith(map, anInt(8), aFloat(20), aFloat(20000), floats({}))));
    // A vector claiming four-byte children of eight bytes each.
    auto wideChildren = analyserWith(map, anInt(8), aFloat(20), aFloat(20000), floats(levels));
    reinterpret_cast<LV2_Atom_Vector_Body*>(wideChildren.data() + wideChildren.size() -
                                            kAnalyserBands * sizeof(float) - sizeof(LV2_Atom_Vector_Body))
        ->child_size = 8;
    EXPECT_FALSE(decodes(wideChildren));

    // An int of the wrong size, and an atom of another type or an object of another.
    auto shortInt = analyserWith(map, anInt(8), aFloat(20), aFloat(20000), floats(levels));
    reinterpret_cast<LV2_Atom*>(shortInt.data() + sizeof(LV2_Atom_Object) +
                                offsetof(LV2_Atom_Property_Body, value))
        ->size = 2;
    EXPECT_FALSE(decodes(shortInt));
    auto otherObject = analyserWith(map, anInt(8), aFloat(20), aFloat(20000), floats(levels));
    reinterpret_cast<LV2_Atom_Object*>(otherObject.data())->body.otype = map("urn:other");
    EXPECT_FALSE(decodes(otherObject));
    auto notAnObject = otherObject;
    reinterpret_cast<LV2_Atom*>(notAnObject.data())->type = map(LV2_ATOM__Tuple);
    EXPECT_FALSE(decodes(notAnObject));

    // Non-finite ranges: nothing. Levels that are no finite, non-negative number read as silence; band
    // counts out of range are held to it.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(decodes(analyserWith(map, anInt(8), aFloat(nan), aFloat(20000), floats(levels))));
    EXPECT_FALSE(decodes(analyserWith(map, anInt(8), aFloat(20), aFloat(inf), floats(levels))));
    std::vector<float> odd = levels;
    odd[0] = nan;
    odd[1] = inf;
    odd[2] = -inf;
    odd[3] = -0.5f;
    const auto analyser = [&](int32_t count) {
        const auto message =
            decodeExactly(messages, analyserWith(map, anInt(count), aFloat(20), aFloat(20000), floats(odd)));
        return message ? std::get<AnalyserMessage>(*message) : AnalyserMessage{-1};
    };
    const AnalyserMessage bounded = analyser(1000);
    EXPECT_EQ(bounded.bandCount, kAnalyserBands);
    EXPECT_EQ(std::vector<float>(bounded.levels.begin(), bounded.levels.begin() + 5),
              (std::vector<float>{0.0f, 0.0f, 0.0f, 0.0f, 0.25f}));
    EXPECT_EQ(analyser(-3).bandCount, 0);
    EXPECT_EQ(analyser(std::numeric_limits<int32_t>::min()).bandCount, 0);
}

// Names come out as well-formed UTF-8 of at most their capacity, ending at their terminator or, without
// one, with their atom; a name of another type is none.
TEST(NotifyMessages, NamesDecodeBoundedAndWellFormed) {
    UridMap map;
    const NotifyMessages messages(&map.map);
    const auto nameWithBody = [&](LV2_URID type, const std::string& body) {
        Forged forged(map.map, body.size() + 256);
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_object(&forged.forge, &frame, 0, map(tessaray_lv2::kPresetNameMessageURI));
        lv2_atom_forge_key(&forged.forge, map(tessaray_lv2::kPresetNameKeyURI));
        lv2_atom_forge_atom(&forged.forge, uint32_t(body.size()), type);
        lv2_atom_forge_write(&forged.forge, body.data(), uint32_t(body.size()));
        lv2_atom_forge_pop(&forged.forge, &frame);
        const auto message = decodeExactly(messages, forged.bytes());
        return message ? std::get<PresetNameMessage>(*message).name : "(nothing)";
    };
    const LV2_URID string = map(LV2_ATOM__String);
    EXPECT_EQ(nameWithBody(string, std::string("Slow Melt", 9)), "Slow Melt") << "unterminated";
    EXPECT_EQ(nameWithBody(string, std::string("Slow\0Melt", 10)), "Slow");
    EXPECT_EQ(nameWithBody(string, std::string(1 << 20, 'n')), std::string(kPresetNameCapacity, 'n'));
    EXPECT_EQ(nameWithBody(string, "Bad \xFF name \xC3"), "Bad \xEF\xBF\xBD name \xEF\xBF\xBD");
    EXPECT_EQ(nameWithBody(string, ""), "");
    EXPECT_EQ(nameWithBody(map(LV2_ATOM__Int), std::string("abcd", 4)), "(nothing)");
    EXPECT_EQ(nameWithBody(map(LV2_ATOM__URI), std::string("Slow Melt", 10)), "(nothing)");
}

// Random damage to valid messages never leads a read astray, and whatever decodes is in bounds.
TEST(NotifyMessages, DamagedMessagesDecodeSafely) {
    UridMap map;
    const NotifyMessages messages(&map.map);
    const std::vector<std::vector<uint8_t>> originals{forgedAnalyser(map, messages, someAnalyser()),
                                                      forgedName(map, messages, "Slow Melt")};
    std::mt19937 random(7);
    for (int round = 0; round < 4000; ++round) {
        std::vector<uint8_t> bytes = originals[std::size_t(round) % originals.size()];
        for (int hit = 0; hit < 1 + round % 4; ++hit) {
            // Headers and sizes are where damage matters most: half the hits land in the first 48 bytes.
            const std::size_t at = random() % (random() % 2 ? 48 : bytes.size());
            bytes[at] = uint8_t(random() % 3 == 0 ? 0xFF : random());
        }
        if (round % 5 == 0) {
            bytes.resize(random() % bytes.size());
        }
        const auto message = decodeExactly(messages, bytes);
        if (!message) {
            continue;
        }
        if (const auto* analyser = std::get_if<AnalyserMessage>(&*message)) {
            EXPECT_GE(analyser->bandCount, 0);
            EXPECT_LE(analyser->bandCount, kAnalyserBands);
            EXPECT_TRUE(std::isfinite(analyser->rangeLo) && std::isfinite(analyser->rangeHi));
            for (const float level : analyser->levels) {
                EXPECT_TRUE(std::isfinite(level) && level >= 0.0f);
            }
        } else {
            EXPECT_LE(std::get<PresetNameMessage>(*message).name.size(), kPresetNameCapacity);
        }
    }
}
