#include "Vimbra/DragAndDrop.hpp"
#include "ui/View.hpp"

#include <gtest/gtest.h>

using graphics::Point;
using graphics::Rect;
using ui::PasteboardItem;
using ui::PasteboardReadingClass;

namespace {

core::URL url(const char* text) {
    return *core::URL::parse(text);
}

// A drag of a file, some text, a web address and a second file, each item framed where it was picked up.
ui::DraggingInfo dragOfFilesAndText() {
    auto pasteboard = std::make_shared<ui::Pasteboard>();
    pasteboard->writeObjects({PasteboardItem::withURL(core::URL::fileURL("/sounds/one.wav")),
                              PasteboardItem::withString("two"),
                              PasteboardItem::withURL(url("https://three.example/")),
                              PasteboardItem::withURL(core::URL::fileURL("/sounds/four.wav"))});
    ui::DraggingInfo info(pasteboard, Point(15, 15), ui::DragOperation::copy);
    info.setItemFrames({Rect(10, 10, 8, 8), Rect(20, 10, 8, 8), Rect(30, 10, 8, 8), Rect(40, 10, 8, 8)});
    return info;
}

TEST(DragAndDrop, DraggingItemsCollectsEveryReadableItemInOrder) {
    const auto info = dragOfFilesAndText();
    const auto all = vimbra::draggingItems(info, 0, nullptr,
                                           {PasteboardReadingClass::url, PasteboardReadingClass::string});
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].item, ui::PasteboardObject(core::URL::fileURL("/sounds/one.wav")));
    EXPECT_EQ(all[1].item, ui::PasteboardObject(std::string("two")));
    EXPECT_EQ(all[2].item, ui::PasteboardObject(url("https://three.example/")));
    EXPECT_EQ(all[3].draggingFrame, Rect(40, 10, 8, 8));

    // Only the items of the class, framed in the view's coordinates.
    auto view = std::make_shared<ui::View>(Rect(5, 5, 100, 100));
    const auto urls = vimbra::draggingItems(info, 0, view, {PasteboardReadingClass::url});
    ASSERT_EQ(urls.size(), 3u);
    EXPECT_EQ(urls[1].item, ui::PasteboardObject(url("https://three.example/")));
    EXPECT_EQ(urls[1].draggingFrame, Rect(25, 5, 8, 8));
    EXPECT_TRUE(vimbra::draggingItems(info, 0, nullptr, {}).empty());
}

TEST(DragAndDrop, DraggedObjectsKeepTheItemsOfTheClassThatAreOfTheType) {
    const auto info = dragOfFilesAndText();
    EXPECT_EQ(vimbra::draggedObjects<core::URL>(info, PasteboardReadingClass::url),
              (std::vector<core::URL>{core::URL::fileURL("/sounds/one.wav"), url("https://three.example/"),
                                      core::URL::fileURL("/sounds/four.wav")}));
    EXPECT_EQ(vimbra::draggedObjects<std::string>(info, PasteboardReadingClass::string),
              (std::vector<std::string>{"two"}));
    EXPECT_TRUE(vimbra::draggedObjects<std::string>(info, PasteboardReadingClass::url).empty())
        << "URLs are not text";
    EXPECT_TRUE(vimbra::draggedObjects<core::URL>(
                    ui::DraggingInfo(nullptr, Point(), ui::DragOperation::every), PasteboardReadingClass::url)
                    .empty());
}

} // namespace
