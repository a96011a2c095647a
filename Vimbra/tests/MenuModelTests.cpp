#include "Vimbra/MenuModel.hpp"
#include "Vimbra/tests/MenuValues.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "ui/Application.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vimbra;
using vimbratest::Rate;
using vimbratest::Shape;

namespace {

std::vector<std::string> titles(const std::shared_ptr<ui::Menu>& menu) {
    std::vector<std::string> result;
    for (const auto& item : menu->items()) {
        result.push_back(item->isSeparatorItem() ? "---" : item->title());
    }
    return result;
}

class Delegate : public ui::MenuDelegate {};

} // namespace

TEST(VmMenuItem, SeparatorsAndHeadersIgnoreTheRestOfTheRecord) {
    auto target = std::make_shared<ui::Object>();
    VmMenuItem header("ignored", "act:", target, "k", ui::Modifier::command,
                      VmMenuType::sectionHeader("Voices"), std::vector<VmMenuItem>{VmMenuItem()},
                      std::nullopt, {}, 7, std::string("object"));
    auto item = header.makeMenuItem();
    EXPECT_TRUE(item->isSectionHeader());
    EXPECT_EQ(item->title(), "Voices");
    EXPECT_EQ(item->tag(), 0);
    EXPECT_EQ(item->target(), nullptr);
    EXPECT_FALSE(item->hasSubmenu());
    EXPECT_FALSE(item->representedObject().has_value());

    header.menuType = VmMenuType::separator();
    item = header.makeMenuItem();
    EXPECT_TRUE(item->isSeparatorItem());
    EXPECT_EQ(item->tag(), 0);
    EXPECT_FALSE(item->hasSubmenu());
    EXPECT_TRUE(VmMenuItem().makeMenuItem()->isSeparatorItem());
}

TEST(VmMenuItem, StandardItemsCarryTheRecordAndNestedEntriesWinOverValues) {
    auto target = std::make_shared<ui::Object>();
    std::vector<std::shared_ptr<const MenuPresentable>> values{std::make_shared<Shape>(1),
                                                               std::make_shared<Shape>(2)};
    VmMenuItem record("Open", "openDocument:", target, "o", ui::Modifier::command | ui::Modifier::shift,
                      VmMenuType::standard(), std::nullopt, values, "shape:", 42, std::string("payload"));
    auto item = record.makeMenuItem();
    EXPECT_EQ(item->title(), "Open");
    EXPECT_EQ(item->action(), "openDocument:");
    EXPECT_EQ(item->keyEquivalent(), "o");
    EXPECT_EQ(item->keyEquivalentModifierMask(), ui::Modifier::command | ui::Modifier::shift);
    EXPECT_EQ(item->target(), target);
    EXPECT_EQ(item->tag(), 42);
    EXPECT_EQ(std::any_cast<std::string>(item->representedObject()), "payload");
    ASSERT_TRUE(item->hasSubmenu());
    EXPECT_EQ(titles(item->submenu()), (std::vector<std::string>{"Square", "Saw"}));
    EXPECT_EQ(item->submenu()->itemAt(1)->tag(), 2);
    EXPECT_EQ(item->submenu()->itemAt(1)->action(), "shape:");
    EXPECT_EQ(item->submenu()->itemAt(1)->keyEquivalent(), "");

    // Nested entries win; a target that is gone leaves the item without one; no tag leaves it alone.
    record.submenu = std::vector<VmMenuItem>{
        VmMenuItem("Close", "close:", nullptr, std::nullopt, 0, VmMenuType::standard()), VmMenuItem()};
    record.tag.reset();
    target.reset();
    item = record.makeMenuItem();
    EXPECT_EQ(titles(item->submenu()), (std::vector<std::string>{"Close", "---"}));
    EXPECT_EQ(item->target(), nullptr);
    EXPECT_EQ(item->tag(), 0);

    auto menu = VmMenuItem::makeMenu(
        {record, VmMenuItem(),
         VmMenuItem(std::nullopt, {}, nullptr, std::nullopt, 0, VmMenuType::standard())});
    EXPECT_FALSE(menu->autoenablesItems());
    EXPECT_EQ(titles(menu), (std::vector<std::string>{"Open", "---", ""}));
}

TEST(VmMenuItem, DocumentMenusGetADelegatedSubmenuAndServicesAnEmptyOne) {
    auto delegate = std::make_shared<Delegate>();
    VmMenuItem recent("Open Recent", {}, nullptr, std::nullopt, 0, VmMenuType::recentDocuments(delegate));
    auto item = recent.makeMenuItem();
    ASSERT_TRUE(item->hasSubmenu());
    EXPECT_EQ(item->submenu()->numberOfItems(), 0u);
    EXPECT_EQ(item->submenu()->delegate(), delegate);

    VmMenuItem services("Services", {}, nullptr, std::nullopt, 0, VmMenuType::services());
    item = services.makeMenuItem();
    ASSERT_TRUE(item->hasSubmenu());
    EXPECT_EQ(ui::Application::shared()->servicesMenu(), item->submenu());
    ui::Application::shared()->setServicesMenu(nullptr);

    EXPECT_EQ(VmMenuType::sectionHeader("A"), VmMenuType::sectionHeader("A"));
    EXPECT_NE(VmMenuType::sectionHeader("A"), VmMenuType::sectionHeader("B"));
    EXPECT_EQ(VmMenuType::recentDocuments(delegate), VmMenuType::recentDocuments(delegate));
    EXPECT_NE(VmMenuType::recentDocuments(delegate),
              VmMenuType::recentDocuments(std::make_shared<Delegate>()));
    EXPECT_NE(VmMenuType::recentDocuments(delegate), VmMenuType::documentTemplates(delegate));
    EXPECT_EQ(VmMenuType::services(), VmMenuType::services());
    EXPECT_NE(VmMenuType::standard(), VmMenuType::separator());
}

TEST(MenuStructure, ValuesBecomeTaggedItemsWithAlternatesOnlyWhenTheyHaveBoth) {
    auto submenu = Rate::menuStructure().submenuMenu();
    ASSERT_TRUE(submenu);
    EXPECT_EQ(submenu->title(), "Rate");
    EXPECT_EQ(titles(submenu), (std::vector<std::string>{"Speeds", "1x", "1x (exact)", "2x", "---", "4x"}));
    EXPECT_TRUE(submenu->itemAt(0)->isSectionHeader());
    const auto one = submenu->itemAt(1);
    const auto exact = submenu->itemAt(2);
    EXPECT_EQ(one->tag(), 1);
    EXPECT_EQ(std::any_cast<std::uint64_t>(one->representedObject()), 1u);
    EXPECT_TRUE(exact->isAlternate());
    EXPECT_EQ(exact->tag(), 101);
    EXPECT_EQ(exact->keyEquivalentModifierMask(), ui::Modifier::option);
    EXPECT_EQ(submenu->itemAt(4)->tag(), -1000);

    // An alternate title without an alternate tag gives one item; explicit target and action win.
    struct TitleOnly : Shape {
        using Shape::Shape;
        std::optional<std::string> alternateTitle() const override { return "alt"; }
        ui::Selector action() const override { return "own:"; }
    };
    auto target = std::make_shared<ui::Object>();
    auto items = MenuStructure<TitleOnly>::item(TitleOnly(2)).menuItems();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->action(), "own:");
    items = MenuStructure<TitleOnly>::item(TitleOnly(2)).menuItems(target, "given:");
    EXPECT_EQ(items[0]->action(), "given:");
    EXPECT_EQ(items[0]->target(), target);
    EXPECT_EQ(std::any_cast<std::int64_t>(items[0]->representedObject()), 2);
}

TEST(MenuStructure, SubmenusOfAllCasesAndEmptySubmenus) {
    auto all = MenuStructure<Shape>::submenuForAllCases();
    auto items = all.menuItems();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->title(), "Shape");
    EXPECT_EQ(titles(items[0]->submenu()), (std::vector<std::string>{"Sine", "Square", "Saw"}));
    EXPECT_TRUE(all.itemMenuItems().empty());

    auto empty = MenuStructure<Shape>::submenu("Nothing", {});
    EXPECT_FALSE(empty.menuItems()[0]->hasSubmenu());
    EXPECT_EQ(empty.submenuMenu(), nullptr);
    EXPECT_EQ(MenuStructure<Shape>::item(Shape(0)).submenuMenu(), nullptr);
    EXPECT_EQ(MenuStructure<Shape>::item(Shape(0)).itemMenuItems().size(), 1u);
}

namespace {

// A temporary XDG data folder holding the desktop's recently-used list, and a document file.
struct RecentFolder {
    std::filesystem::path root = std::filesystem::temp_directory_path() /
                                 ("vimbra-recent-" + std::to_string(::getpid()) + "-" +
                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    RecentFolder() {
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
    }
    ~RecentFolder() { std::filesystem::remove_all(root); }
    std::filesystem::path file(const std::string& name) const {
        auto path = root / name;
        std::ofstream(path) << "patch";
        return path;
    }
};

} // namespace

TEST(RecentDocumentsMenu, ListsExistingFilesThenClearAndRoundTripsThroughTheDesktopList) {
    vimbratest::Scene scene;
    RecentFolder folder;
    auto recents = std::make_shared<core::RecentDocuments>("tessaray", "tessaray %u",
                                                           folder.root / "recently-used.xbel");
    const auto kept = folder.file("Bells.tessaray");
    const auto gone = folder.file("Gone.tessaray");
    ASSERT_TRUE(recents->noteNewRecentDocumentURL(core::URL::fileURL(gone)));
    ASSERT_TRUE(recents->noteNewRecentDocumentURL(core::URL::fileURL(kept)));
    std::filesystem::remove(gone);

    std::vector<std::string> opened;
    auto icon = graphics::Image::make({32, 32});
    icon->addRepresentation(graphics::ImageRep::make(32, 32, {32, 32}));
    icon->addRepresentation(graphics::ImageRep::make(16, 16, {16, 16}));
    auto documents = std::make_shared<DocumentController>(
        recents,
        [&](const core::URL& url, bool display) {
            opened.push_back(url.lastPathComponent() + (display ? "+" : ""));
        },
        [&](const std::filesystem::path&) { return icon; });
    auto delegate = std::make_shared<RecentDocumentsMenuDelegate>(documents);

    auto item = VmMenuItem("Open Recent", {}, nullptr, std::nullopt, 0, VmMenuType::recentDocuments(delegate))
                    .makeMenuItem();
    auto menu = item->submenu();
    scene.window->setDelegate(delegate);
    menu->update();
    EXPECT_EQ(titles(menu), (std::vector<std::string>{"Bells.tessaray", "---", "Clear Recent Documents"}));
    ASSERT_TRUE(menu->itemAt(0)->image());
    EXPECT_EQ(menu->itemAt(0)->image()->representations().size(), 1u); // only the small icon
    EXPECT_EQ(menu->itemAt(2)->target(), nullptr);

    EXPECT_TRUE(menu->performActionForItemAt(0));
    EXPECT_EQ(opened, std::vector<std::string>{"Bells.tessaray+"});

    // The clear item travels the responder chain (here to the window's delegate) and empties the list.
    EXPECT_TRUE(menu->performActionForItemAt(2));
    EXPECT_TRUE(recents->recentDocumentURLs().empty());
    menu->update();
    EXPECT_EQ(titles(menu), (std::vector<std::string>{"---", "Clear Recent Documents"}));

    // An item whose represented object is not a URL does nothing.
    auto stray = ui::MenuItem::make("Stray", "openRecentDocument:");
    stray->setRepresentedObject(std::string("/not/a/url"));
    delegate->openRecentDocument(stray);
    EXPECT_EQ(opened.size(), 1u);
}
