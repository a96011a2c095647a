// The glue's own decisions that a plug-in run through a real host does not reach: option fallbacks, the
// change tracking of control ports, reading malformed state values and walking damaged atoms.
#include "lv2/Atoms.hpp"
#include "lv2/ControlPorts.hpp"
#include "lv2/Features.hpp"
#include "lv2/State.hpp"

#include <gtest/gtest.h>
#include <limits>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

struct TestMap {
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) {
                         auto* self = static_cast<TestMap*>(h);
                         return self->ids.emplace(uri, LV2_URID(self->ids.size() + 1)).first->second;
                     }};
    LV2_URID operator()(const char* uri) { return map.map(map.handle, uri); }
};

} // namespace

TEST(LV2Options, BlockLengthsOfAnyNumericTypeWithFallbacks) {
    TestMap map;
    const float nominal = 128.0f;
    const int32_t zero = 0;
    const char text[] = "512";
    LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, map(LV2_BUF_SIZE__maxBlockLength), sizeof text, map(LV2_ATOM__String),
         text},
        {LV2_OPTIONS_INSTANCE, 0, map(LV2_BUF_SIZE__nominalBlockLength), sizeof nominal, map(LV2_ATOM__Float),
         &nominal},
        {LV2_OPTIONS_INSTANCE, 0, map(LV2_BUF_SIZE__minBlockLength), sizeof zero, map(LV2_ATOM__Int), &zero},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    const auto read = lv2::HostOptions::read(options, &map.map);
    EXPECT_FALSE(read.maxBlockLength.has_value()) << "a maximum that is no number is skipped";
    EXPECT_FALSE(read.minBlockLength.has_value()) << "a zero block length promises nothing";
    EXPECT_EQ(read.nominalBlockLength, 128u);
    EXPECT_EQ(read.maximumBlock(1024), 128u) << "the usual block stands in for a missing maximum";
    EXPECT_EQ(lv2::HostOptions::read(options, nullptr).maximumBlock(1024), 1024u) << "without a map";
}

TEST(LV2ControlPorts, ReportsOnlyChangedFiniteValues) {
    lv2::ControlPorts ports(3);
    float a = 1.0f, b = 2.0f;
    ports.connect(0, &a);
    ports.connect(2, &b);
    std::vector<std::pair<std::size_t, float>> seen;
    auto take = [&] {
        seen.clear();
        ports.takeChanged([&](std::size_t slot, float v) { seen.emplace_back(slot, v); });
        return seen;
    };
    using Seen = decltype(seen);

    EXPECT_EQ(take(), (Seen{{0, 1.0f}, {2, 2.0f}})) << "every connected port counts at first";
    EXPECT_EQ(take(), Seen{});

    b = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(take(), Seen{}) << "a NaN is dropped";
    b = 7.0f;
    EXPECT_EQ(take(), (Seen{{2, 7.0f}})) << "and the next finite value still counts";

    ports.markAllChanged();
    EXPECT_EQ(take().size(), 2u);

    float c = 1.0f;
    ports.connect(0, &c);
    EXPECT_EQ(take(), (Seen{{0, 1.0f}})) << "a new location counts even with an equal value";
}

TEST(LV2State, MalformedStringsAreNeverReadPastTheirEnd) {
    TestMap map;
    struct Stored {
        const void* data;
        size_t size;
        uint32_t type;
    } stored{};
    auto retrieve = [](LV2_State_Handle h, uint32_t, size_t* size, uint32_t* type, uint32_t*) -> const void* {
        auto* s = static_cast<Stored*>(h);
        *size = s->size;
        *type = s->type;
        return s->data;
    };
    lv2::StateReader reader(retrieve, &stored, &map.map);

    const char unterminated[3] = {'a', 'b', 'c'};
    stored = {unterminated, sizeof unterminated, map(LV2_ATOM__String)};
    EXPECT_EQ(reader.string("urn:key"), "abc");

    const int32_t number = 7;
    stored = {&number, sizeof number, map(LV2_ATOM__Int)};
    EXPECT_EQ(reader.string("urn:key"), std::nullopt);

    EXPECT_EQ(lv2::StateWriter(nullptr, nullptr, nullptr).storeString("urn:key", "x"),
              LV2_STATE_ERR_NO_FEATURE);
}

// An object's walk visits only properties that lie whole within it, whatever their headers claim, and never
// reads past the object for a last property that lacks its padding.
TEST(LV2Atoms, ObjectWalksStayWithinTheObject) {
    std::vector<uint64_t> storage(16, 0);
    auto* object = reinterpret_cast<LV2_Atom_Object*>(storage.data());
    auto* first = reinterpret_cast<LV2_Atom_Property_Body*>(&object->body + 1);
    auto* second = reinterpret_cast<LV2_Atom_Property_Body*>(reinterpret_cast<uint8_t*>(first + 1) + 8);
    *first = {1, 0, {4, 7}};
    *second = {2, 0, {4, 7}};
    const auto keys = [&](uint32_t objectSize) {
        object->atom = {objectSize, 9};
        std::vector<LV2_URID> visited;
        lv2::forEachProperty(*object, [&](LV2_URID key, const LV2_Atom&) { visited.push_back(key); });
        return visited;
    };
    EXPECT_EQ(keys(8 + 24 + 24), (std::vector<LV2_URID>{1, 2}));
    EXPECT_EQ(keys(8 + 24 + 20), (std::vector<LV2_URID>{1, 2})) << "the last padding may be missing";
    EXPECT_EQ(keys(8 + 24 + 19), (std::vector<LV2_URID>{1})) << "the last value is cut short";
    EXPECT_EQ(keys(8 + 24 + 8), (std::vector<LV2_URID>{1})) << "the last header is cut short";
    second->value.size = 0xFFFFFFF0u;
    EXPECT_EQ(keys(8 + 24 + 24), (std::vector<LV2_URID>{1}));
    EXPECT_TRUE(keys(4).empty());

    // An atom is within its bytes only when its header and its body are.
    object->atom = {40, 9};
    EXPECT_EQ(lv2::atomWithin(object, 48), &object->atom);
    EXPECT_EQ(lv2::atomWithin(object, 47), nullptr);
    EXPECT_EQ(lv2::atomWithin(object, 4), nullptr);
    EXPECT_EQ(lv2::atomWithin(reinterpret_cast<uint8_t*>(storage.data()) + 2, 100), nullptr) << "misaligned";
}
