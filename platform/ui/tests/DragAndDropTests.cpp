// Pasteboards read by type and as objects, and drags enumerating their items.

#include "Helpers.hpp"
#include "ui/DraggingInfo.hpp"
#include "ui/Pasteboard.hpp"

#include <gtest/gtest.h>

namespace {

using graphics::Point;
using graphics::Rect;
using ui::PasteboardItem;
using ui::PasteboardObject;
using ui::PasteboardReadingClass;
namespace Type = ui::PasteboardType;

core::URL url(const char* text) {
    return *core::URL::parse(text);
}

// Text, a web address, a file, an item whose URL is not one, and an item of a type nobody reads.
std::shared_ptr<ui::Pasteboard> mixedPasteboard() {
    auto pasteboard = std::make_shared<ui::Pasteboard>("drag");
    auto broken = std::make_shared<PasteboardItem>();
    broken->setString("not a url", Type::url);
    auto custom = std::make_shared<PasteboardItem>();
    custom->setString("{}", "com.example.custom");
    pasteboard->writeObjects(
        {PasteboardItem::withString("hello"), PasteboardItem::withURL(url("https://a.example/x")),
         PasteboardItem::withURL(core::URL::fileURL("/tmp/a b.wav")), broken, nullptr, custom});
    return pasteboard;
}

TEST(Pasteboard, HoldsItemsByTypeAndCountsItsChanges) {
    auto pasteboard = mixedPasteboard();
    EXPECT_EQ(pasteboard->pasteboardItems().size(), 5u) << "a null item is not written";
    EXPECT_EQ(pasteboard->types(),
              (std::vector<std::string>{Type::string, Type::url, Type::fileURL, "com.example.custom"}));
    EXPECT_EQ(pasteboard->stringForType(Type::url), "https://a.example/x") << "the first item that has it";
    EXPECT_EQ(pasteboard->stringForType(Type::fileURL), "file:///tmp/a%20b.wav");
    EXPECT_FALSE(pasteboard->stringForType("public.png"));

    auto item = std::make_shared<PasteboardItem>();
    EXPECT_FALSE(item->setString("x", ""));
    item->setString("plain", Type::string);
    item->setString("https://b.example/", Type::url);
    item->setString("again", Type::string);
    EXPECT_EQ(item->types(), (std::vector<std::string>{Type::string, Type::url})) << "a type is held once";
    EXPECT_EQ(item->stringForType(Type::string), "again");
    EXPECT_EQ(item->availableType({Type::fileURL, Type::url, Type::string}), std::string(Type::url));
    EXPECT_FALSE(item->availableType({Type::fileURL}));

    const long before = pasteboard->changeCount();
    EXPECT_EQ(pasteboard->clearContents(), before + 1);
    EXPECT_TRUE(pasteboard->pasteboardItems().empty());
    EXPECT_TRUE(pasteboard->types().empty());
}

TEST(Pasteboard, ReadsEachItemAsTheFirstClassItFits) {
    auto pasteboard = mixedPasteboard();
    EXPECT_EQ(pasteboard->readObjects({PasteboardReadingClass::string}),
              (std::vector<PasteboardObject>{std::string("hello")}));
    EXPECT_EQ(pasteboard->readObjects({PasteboardReadingClass::url}),
              (std::vector<PasteboardObject>{url("https://a.example/x"), core::URL::fileURL("/tmp/a b.wav")}))
        << "an item whose URL is not one is left out";
    EXPECT_EQ(pasteboard->readObjects({PasteboardReadingClass::url}, {true}),
              (std::vector<PasteboardObject>{core::URL::fileURL("/tmp/a b.wav")}));

    // An item with both text and a URL is read as whichever class comes first.
    auto both = std::make_shared<PasteboardItem>();
    both->setString("link text", Type::string);
    both->setString("https://c.example/", Type::url);
    EXPECT_EQ(both->read({PasteboardReadingClass::url, PasteboardReadingClass::string}),
              PasteboardObject(url("https://c.example/")));
    EXPECT_EQ(both->read({PasteboardReadingClass::string, PasteboardReadingClass::url}),
              PasteboardObject(std::string("link text")));
    EXPECT_EQ(both->read({PasteboardReadingClass::url}, {true}), std::nullopt);
    EXPECT_EQ(both->read({}), std::nullopt);

    // A file URL type that holds a web address is no file.
    auto lying = std::make_shared<PasteboardItem>();
    lying->setString("https://d.example/", Type::fileURL);
    EXPECT_EQ(lying->read({PasteboardReadingClass::url}), std::nullopt);
}

TEST(DraggingInfo, EnumeratesReadableItemsWithTheirFramesInTheViewsCoordinates) {
    uitest::WindowScope scope;
    auto window = ui::Window::make(Rect(0, 0, 200, 100));
    auto view = std::make_shared<ui::View>(Rect(50, 20, 100, 60));
    window->contentView()->addSubview(view);

    auto source = std::make_shared<ui::Object>();
    ui::DraggingInfo info(mixedPasteboard(), Point(70, 30), ui::DragOperation::copy | ui::DragOperation::move,
                          source);
    EXPECT_EQ(info.draggingLocation(), Point(70, 30));
    EXPECT_EQ(info.draggingSourceOperationMask(), ui::DragOperation::copy | ui::DragOperation::move);
    EXPECT_EQ(info.draggingSource(), source);
    EXPECT_EQ(info.draggingPasteboard()->name(), "drag");
    info.setItemFrames({Rect(60, 25, 10, 10), Rect(80, 40, 20, 10)});

    struct Seen {
        PasteboardObject item;
        Rect frame;
        std::size_t index;
    };
    std::vector<Seen> seen;
    auto collect = [&seen](ui::DraggingItem& item, std::size_t index, bool&) {
        seen.push_back({item.item, item.draggingFrame, index});
    };
    info.enumerateDraggingItems(0, view.get(), {PasteboardReadingClass::url}, {}, collect);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].item, PasteboardObject(url("https://a.example/x")));
    EXPECT_EQ(seen[0].index, 1u) << "the index is the item's place on the pasteboard";
    EXPECT_EQ(seen[0].frame, Rect(30, 20, 20, 10)) << "the item's own frame, in the view's coordinates";
    EXPECT_EQ(seen[1].index, 2u);
    EXPECT_EQ(seen[1].frame, Rect(20, 10, 0, 0)) << "an item without a frame sits at the location";

    // Without a view the frames stay in window coordinates; the block can stop the enumeration.
    seen.clear();
    info.enumerateDraggingItems(ui::DraggingItemEnumeration::concurrent, nullptr,
                                {PasteboardReadingClass::string, PasteboardReadingClass::url}, {},
                                [&](ui::DraggingItem& item, std::size_t index, bool& stop) {
                                    collect(item, index, stop);
                                    stop = index == 1;
                                });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].item, PasteboardObject(std::string("hello")));
    EXPECT_EQ(seen[0].frame, Rect(60, 25, 10, 10));
    EXPECT_EQ(seen[1].frame, Rect(80, 40, 20, 10));

    // A drag from another program has no source; one without a pasteboard has an empty one.
    ui::DraggingInfo foreign(nullptr, Point(), ui::DragOperation::every);
    EXPECT_EQ(foreign.draggingSource(), nullptr);
    ASSERT_NE(foreign.draggingPasteboard(), nullptr);
    EXPECT_TRUE(foreign.draggingPasteboard()->pasteboardItems().empty());
    window->close();
}

} // namespace
