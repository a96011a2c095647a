#include "Vimbra/CollectionOperations.hpp"

#include <any>
#include <deque>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace {

using vimbra::Array;
using vimbra::RangeReplaceable;
using vimbra::TreeMove;
using Strings = std::vector<std::string>;

const Strings abc{"a", "b", "c"};

TEST(VimbraArray, MovesByOffsetsWithListGapDestinations) {
    EXPECT_EQ(Array::moving(abc, std::vector<int>{0}, 2), (Strings{"b", "a", "c"}));
    EXPECT_EQ(Array::moving(abc, std::vector<int>{2}, 0), (Strings{"c", "a", "b"}));
    EXPECT_EQ(Array::moving(abc, std::vector<int>{2, 0, 2}, 3), (Strings{"b", "a", "c"}));
    EXPECT_EQ(Array::moving(abc, 1, 1), abc);
    EXPECT_EQ(Array::moving(abc, 1, 2), abc) << "the gap right after the element";
    EXPECT_EQ(Array::moving(abc, 0, 3), (Strings{"b", "c", "a"}));
    auto unchanged = abc;
    Array::move(unchanged, core::IndexSet{}, 1);
    EXPECT_EQ(unchanged, abc);
    EXPECT_EQ(Array::elements(abc, core::IndexSet{2, 0, 7}), (Strings{"a", "c"}));
}

TEST(VimbraArray, RemovesOneOccurrencePerListedElement) {
    const Strings list{"x", "y", "x", "z", "x"};
    EXPECT_EQ(Array::removing(list, std::string("x")), (Strings{"y", "x", "z", "x"}));
    EXPECT_EQ(Array::removingContentsOf(list, Strings{"x", "x"}), (Strings{"y", "z", "x"}));
    EXPECT_EQ(Array::removingContentsOf(list, Strings{"q"}), list);
}

TEST(VimbraRangeReplaceable, RemovesDistinctIndicesAndClampsTheDestination) {
    std::deque<int> numbers{10, 11, 12, 13, 14};
    // A repeated index removes its element once, not a neighbour too.
    EXPECT_EQ(RangeReplaceable::removeAtIndices(numbers, std::vector<int>{3, 1, 3}),
              (std::vector<int>{11, 13}));
    EXPECT_EQ(numbers, (std::deque<int>{10, 12, 14}));

    std::vector<int> values{0, 1, 2, 3, 4};
    RangeReplaceable::move(values, std::vector<int>{0, 1}, 99);
    EXPECT_EQ(values, (std::vector<int>{2, 3, 4, 0, 1})) << "a destination past the end appends";
    RangeReplaceable::move(values, std::vector<int>{4, 4}, 0);
    EXPECT_EQ(values, (std::vector<int>{1, 2, 3, 4, 0}));
    RangeReplaceable::move(values, 0, 2); // no gap correction: the shortened collection's index
    EXPECT_EQ(values, (std::vector<int>{2, 3, 1, 4, 0}));

    std::string text = "bc";
    using vimbra::operator+=;
    text += 'd';
    text += std::optional<char>();
    text += std::optional<char>('e');
    RangeReplaceable::prepend(text, 'a');
    RangeReplaceable::remove(text, std::optional<char>('c'));
    RangeReplaceable::remove(text, std::optional<char>());
    EXPECT_EQ(text, "abde");
}

TEST(VimbraRangeReplaceable, AppliesACollectionDifference) {
    const std::vector<int> from{1, 2, 3, 4}, to{0, 2, 4, 5};
    auto values = from;
    RangeReplaceable::apply(values, core::CollectionDifference<int>::between(from, to));
    EXPECT_EQ(values, to);
}

struct Item final : vimbra::TreeItem {
    explicit Item(std::string id) : id(std::move(id)) {}
    std::string title() const override { return "Item " + id; }
    std::string identifier() const override { return id; }
    std::string id;
};

std::shared_ptr<vimbra::TreeItem> item(const std::string& id) {
    return std::make_shared<Item>(id);
}

bool sameFields(const TreeMove& a, const TreeMove& b) {
    return a.item() == b.item() && a.previousParent() == b.previousParent() &&
           a.previousIndex() == b.previousIndex() && a.newParent() == b.newParent() &&
           a.newIndex() == b.newIndex();
}

TEST(VimbraTreeMove, NormalisesSuccessiveMovesWithinAndOutOfAParent) {
    const auto folder = item("folder"), other = item("other");
    const std::vector<TreeMove> within{TreeMove(item("a"), folder, 1, folder, 5),
                                       TreeMove(item("b"), item("folder"), 3, folder, 6)};
    const auto normalised = TreeMove::normalized(within);
    EXPECT_TRUE(sameFields(normalised[0], within[0]));
    EXPECT_EQ(normalised[1].previousIndex(), 2) << "equal identifiers make equal parents";

    // Leaving the same parent after an earlier move from a lower index; decrements accumulate.
    const std::vector<TreeMove> leaving{TreeMove(item("a"), folder, 0, other, 0),
                                        TreeMove(item("b"), folder, 1, other, 1),
                                        TreeMove(item("c"), folder, 4, nullptr, 0)};
    const auto leavingNormalised = TreeMove::normalized(leaving);
    EXPECT_EQ(leavingNormalised[1].previousIndex(), 0);
    EXPECT_EQ(leavingNormalised[2].previousIndex(), 2);
    EXPECT_EQ(leaving[2].previousIndex(), 4) << "the input is left alone";
}

TEST(VimbraTreeMove, ListsParentsInvertsAndSpotsTheRoot) {
    const auto p = item("p"), q = item("q"), pAgain = item("p");
    const std::vector<TreeMove> moves{TreeMove(item("a"), p, 0, q, 1),
                                      TreeMove(item("b"), nullptr, 2, pAgain, 0),
                                      TreeMove(item("c"), q, 1, nullptr, 3)};
    const auto ids = [](const auto& items) {
        Strings result;
        for (const auto& i : items) {
            result.push_back(i->identifier());
        }
        return result;
    };
    EXPECT_EQ(ids(TreeMove::newParents(moves)), (Strings{"q", "p"}));
    EXPECT_EQ(ids(TreeMove::previousParents(moves)), (Strings{"p", "q"}));
    EXPECT_EQ(ids(TreeMove::affectedParents(moves)), (Strings{"p", "q"}));
    EXPECT_TRUE(TreeMove::involvesRoot(moves));
    EXPECT_FALSE(TreeMove::involvesRoot({}));
    EXPECT_FALSE(TreeMove::involvesRoot({moves[0]}));

    const auto inverse = TreeMove::inverted(moves);
    ASSERT_EQ(inverse.size(), 3u);
    EXPECT_EQ(inverse[0].item(), moves[2].item());
    EXPECT_EQ(inverse[0].previousParent(), nullptr);
    EXPECT_EQ(inverse[0].newIndex(), 1);
    const auto twice = TreeMove::inverted(inverse);
    for (std::size_t i = 0; i < moves.size(); ++i) {
        EXPECT_TRUE(sameFields(twice[i], moves[i])) << i;
    }
    EXPECT_TRUE(TreeMove::inverted({}).empty());
}

TEST(VimbraFileURL, RelativePathsNamesAndDates) {
    const auto url = [](const char* text) { return *core::URL::parse(text); };
    EXPECT_EQ(vimbra::relativePath(url("file:///a/b/c"), url("file:///a/b/d")), "c");
    EXPECT_EQ(vimbra::relativePath(url("file:///a/x/c"), url("file:///a/b/d")), "../x/c");
    EXPECT_EQ(vimbra::relativePath(url("file:///a/b/c"), url("https://example.com/a/b/d")), std::nullopt);
    EXPECT_EQ(vimbra::relativeURL(url("file:///a/b/My%20c"), url("file:///a/b/d"))->string(), "My%20c");
    EXPECT_EQ(vimbra::relativeURL(url("file:///a/x/"), url("file:///a/b/d"))->string(), "../x");
    EXPECT_FALSE(vimbra::relativeURL(url("http://h/a"), url("file:///a")));

    EXPECT_EQ(vimbra::nameWithoutExtension(url("file:///s/take.wav.wav")), "take");
    EXPECT_EQ(vimbra::nameWithoutExtension(url("file:///s/a.wav.b.wav")), "a.b");
    EXPECT_EQ(vimbra::nameWithoutExtension(url("file:///s/.hidden.")), "hidden");
    EXPECT_EQ(vimbra::pathWithoutLeadingSlash(url("file:///My%20Music/x")), "My Music/x");

    const auto file = std::filesystem::temp_directory_path() / "vimbra-modification-date";
    std::ofstream(file) << "x";
    EXPECT_TRUE(vimbra::modificationDate(core::URL::fileURL(file)));
    std::filesystem::remove(file);
    EXPECT_THROW(vimbra::modificationDate(core::URL::fileURL(file)), core::FileError);
}

} // namespace

TEST(VimbraSequence, OffsetsCastsAndValuesKeepOrderAndSkipMisfits) {
    using vimbra::Collection;
    using vimbra::Sequence;
    const std::vector<int> numbers{4, 7, 8, 1, 10};
    EXPECT_EQ(Sequence::offsets(numbers, [](int n) { return n % 2 == 0; }), (std::vector<int>{0, 2, 4}));
    EXPECT_THROW(Sequence::offsets(
                     numbers, [](int n) -> bool { return n == 8 ? throw std::runtime_error("8") : false; }),
                 std::runtime_error);

    EXPECT_TRUE(Collection::isValidIndex(numbers, 0));
    EXPECT_TRUE(Collection::isValidIndex(numbers, 4));
    EXPECT_FALSE(Collection::isValidIndex(numbers, 5));
    EXPECT_FALSE(Collection::isValidIndex(numbers, -1));
    EXPECT_FALSE(Collection::isValidIndex(std::vector<int>{}, 0));
    std::vector<std::size_t> indices;
    for (auto index : Collection::fullRange(numbers)) {
        indices.push_back(index);
    }
    EXPECT_EQ(indices, (std::vector<std::size_t>{0, 1, 2, 3, 4}));

    const std::vector<std::any> mixed{1, std::string("a"), 2.5, std::string("b")};
    EXPECT_EQ(Sequence::compactCast<std::string>(mixed), (Strings{"a", "b"}));
    struct Base {
        virtual ~Base() = default;
    };
    struct Derived : Base {};
    const std::vector<std::shared_ptr<Base>> objects{std::make_shared<Base>(), std::make_shared<Derived>(),
                                                     nullptr};
    const auto derived = Sequence::compactCast<Derived>(objects);
    ASSERT_EQ(derived.size(), 1u);
    EXPECT_EQ(derived[0], objects[1]);

    struct Row {
        std::any value;
    };
    const std::vector<Row> rows{{std::string("x")}, {3}, {}, {std::string("y")}};
    EXPECT_EQ(Sequence::compactValues<std::string>(rows, [](const Row& row) { return row.value; }),
              (Strings{"x", "y"}));
}
