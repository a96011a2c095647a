#pragma once

// Menus described as values and made into toolkit menus on demand: VmMenuItem records for menu-bar style
// menus (with document, recent-document and services submenus), MenuStructure trees of MenuPresentable
// values for a model's choices (an enumeration's cases as items carrying tag and represented object), and
// the delegate that fills an open-recent submenu each time it opens. Main thread only.

#include "core/RecentDocuments.hpp"
#include "core/URL.hpp"
#include "graphics/Image.hpp"
#include "ui/Menu.hpp"

#include <any>
#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vimbra {

// What kind of entry a VmMenuItem makes.
class VmMenuType {
public:
    enum class Kind { sectionHeader, documentTemplates, recentDocuments, standard, separator, services };

    // A section title inside a menu.
    static VmMenuType sectionHeader(std::string title) {
        return VmMenuType(Kind::sectionHeader, std::move(title), nullptr);
    }
    // An item with an empty submenu that the delegate fills when it opens.
    static VmMenuType documentTemplates(std::shared_ptr<ui::MenuDelegate> delegate) {
        return VmMenuType(Kind::documentTemplates, {}, std::move(delegate));
    }
    static VmMenuType recentDocuments(std::shared_ptr<ui::MenuDelegate> delegate) {
        return VmMenuType(Kind::recentDocuments, {}, std::move(delegate));
    }
    static VmMenuType standard() { return VmMenuType(Kind::standard, {}, nullptr); }
    static VmMenuType separator() { return VmMenuType(Kind::separator, {}, nullptr); }
    // The application's services menu. The X11 desktop offers no services: the menu stays empty.
    static VmMenuType services() { return VmMenuType(Kind::services, {}, nullptr); }

    Kind kind() const { return kind_; }
    const std::string& title() const { return title_; }
    // The type keeps its delegate; a menu only points at it.
    const std::shared_ptr<ui::MenuDelegate>& delegate() const { return delegate_; }

    // Same kind, and for section headers the same title, for document menus the same delegate object.
    friend bool operator==(const VmMenuType& a, const VmMenuType& b);

private:
    VmMenuType(Kind kind, std::string title, std::shared_ptr<ui::MenuDelegate> delegate)
        : kind_(kind), title_(std::move(title)), delegate_(std::move(delegate)) {}

    Kind kind_;
    std::string title_;
    std::shared_ptr<ui::MenuDelegate> delegate_;
};

// A value that appears in menus. Only tag and title are required; the rest default to nothing.
class MenuPresentable {
public:
    virtual ~MenuPresentable() = default;

    virtual std::int64_t tag() const = 0;
    virtual std::string title() const = 0;
    virtual std::any representedObject() const { return {}; }
    virtual graphics::ImageRef image() const { return nullptr; }
    virtual graphics::ImageRef onStateImage() const { return nullptr; }
    virtual graphics::ImageRef offStateImage() const { return nullptr; }
    virtual graphics::ImageRef mixedStateImage() const { return nullptr; }
    // An item shown instead of this one while Option is held; needs both a tag and a title.
    virtual std::optional<std::int64_t> alternateTag() const { return std::nullopt; }
    virtual std::optional<std::string> alternateTitle() const { return std::nullopt; }
    virtual std::any alternateRepresentedObject() const { return {}; }
    // The target and action of the value's items unless the builder is given others.
    virtual std::shared_ptr<ui::Object> target() const { return nullptr; }
    virtual ui::Selector action() const { return {}; }
};

// A menu-presentable value over a raw value (an enumeration's case). With a signed integer raw value the
// tag is the raw value and the represented object holds it as std::int64_t; with an unsigned one the tag
// is the raw value as a signed integer (such raw values stay at or below its maximum) and the represented
// object holds it as std::uint64_t. Other raw types supply tag and represented object themselves.
template <class Raw> class RawMenuPresentable : public MenuPresentable {
public:
    using RawValue = Raw;

    explicit RawMenuPresentable(Raw raw) : rawValue_(std::move(raw)) {}
    const Raw& rawValue() const { return rawValue_; }

    std::int64_t tag() const override {
        if constexpr (std::integral<Raw>) {
            return static_cast<std::int64_t>(rawValue_);
        } else {
            return 0;
        }
    }
    std::any representedObject() const override {
        if constexpr (std::signed_integral<Raw>) {
            return static_cast<std::int64_t>(rawValue_);
        } else if constexpr (std::unsigned_integral<Raw>) {
            return static_cast<std::uint64_t>(rawValue_);
        } else {
            return {};
        }
    }

    friend bool operator==(const RawMenuPresentable& a, const RawMenuPresentable& b) {
        return a.rawValue_ == b.rawValue_;
    }

private:
    Raw rawValue_;
};

template <class Item> class MenuStructure;

// A value type that a pop-up button can show and read back: made from its raw value (nullopt for raw
// values that name no value), with the title of a submenu of all its values and the structure a pop-up
// shows for it.
template <class T>
concept RawRepresentable = requires(const T& value, const typename T::RawValue& raw) {
    { value.rawValue() } -> std::convertible_to<typename T::RawValue>;
    { T::fromRawValue(raw) } -> std::same_as<std::optional<T>>;
};

template <class T>
concept MenuPresentableValue =
    std::derived_from<T, MenuPresentable> && std::copy_constructible<T> && requires {
    { T::menuTitle() } -> std::convertible_to<std::string>;
    { T::menuStructure() } -> std::same_as<MenuStructure<T>>;
};

// A type that lists all its values in declaration order.
template <class T>
concept CaseIterable = requires {
    { T::allCases() } -> std::convertible_to<std::vector<T>>;
};

namespace detail {
// The items of one value (and its alternate); an explicit target or action replaces the value's own.
std::vector<std::shared_ptr<ui::MenuItem>> presentableItems(const MenuPresentable& value,
                                                            const std::shared_ptr<ui::Object>& target,
                                                            const ui::Selector& action);
// An item with the title and, when there are children, a submenu of them.
std::shared_ptr<ui::MenuItem> submenuItem(const std::string& title,
                                          const std::vector<std::shared_ptr<ui::MenuItem>>& children,
                                          bool hasChildren);
// The separator of a structure: tag -1000.
std::shared_ptr<ui::MenuItem> structureSeparator();
} // namespace detail

// A tree of a model's choices as menu entries.
template <class Item> class MenuStructure {
public:
    struct Submenu {
        std::string title;
        std::vector<MenuStructure> children;
    };
    struct InlineTitle {
        std::string title;
    };
    struct Separator {};
    using Case = std::variant<Item, Submenu, InlineTitle, Separator>;

    static MenuStructure item(Item value) {
        return MenuStructure(Case(std::in_place_index<0>, std::move(value)));
    }
    static MenuStructure submenu(std::string title, std::vector<MenuStructure> children) {
        return MenuStructure(Case(std::in_place_index<1>, Submenu{std::move(title), std::move(children)}));
    }
    static MenuStructure inlineTitle(std::string title) {
        return MenuStructure(Case(std::in_place_index<2>, InlineTitle{std::move(title)}));
    }
    static MenuStructure separator() { return MenuStructure(Case(std::in_place_index<3>, Separator{})); }
    // A submenu titled with the type's menuTitle holding every value of the type, in declaration order.
    static MenuStructure submenuForAllCases() requires CaseIterable<Item> && MenuPresentableValue<Item> {
        std::vector<MenuStructure> children;
        for (auto& value : static_cast<std::vector<Item>>(Item::allCases())) {
            children.push_back(item(std::move(value)));
        }
        return submenu(Item::menuTitle(), std::move(children));
    }

    const Case& value() const { return case_; }

    // The toolkit items of this entry: an item and, when it has one, its alternate; a submenu item; a
    // section header; a separator tagged -1000. An explicit target or action replaces the values' own.
    std::vector<std::shared_ptr<ui::MenuItem>> menuItems(const std::shared_ptr<ui::Object>& target = nullptr,
                                                         const ui::Selector& action = {}) const {
        switch (case_.index()) {
        case 0:
            return detail::presentableItems(std::get<0>(case_), target, action);
        case 1: {
            const auto& sub = std::get<1>(case_);
            std::vector<std::shared_ptr<ui::MenuItem>> children;
            for (const auto& child : sub.children) {
                for (auto& built : child.menuItems(target, action)) {
                    children.push_back(std::move(built));
                }
            }
            return {detail::submenuItem(sub.title, children, !sub.children.empty())};
        }
        case 2:
            return {ui::MenuItem::sectionHeader(std::get<2>(case_).title)};
        default:
            return {detail::structureSeparator()};
        }
    }
    // menuItems for an item entry; nothing for the others.
    std::vector<std::shared_ptr<ui::MenuItem>>
    itemMenuItems(const std::shared_ptr<ui::Object>& target = nullptr,
                  const ui::Selector& action = {}) const {
        return case_.index() == 0 ? menuItems(target, action) : std::vector<std::shared_ptr<ui::MenuItem>>{};
    }
    // The submenu of a submenu entry's item; null for other entries and for a submenu without children.
    std::shared_ptr<ui::Menu> submenuMenu(const std::shared_ptr<ui::Object>& target = nullptr,
                                          const ui::Selector& action = {}) const {
        if (case_.index() != 1) {
            return nullptr;
        }
        return menuItems(target, action).front()->submenu();
    }

private:
    explicit MenuStructure(Case value) : case_(std::move(value)) {}
    Case case_;
};

// One entry of a menu-bar style menu. Made with no arguments it is a separator.
struct VmMenuItem {
    std::optional<std::string> title;
    ui::Selector action;
    std::weak_ptr<ui::Object> target;
    std::optional<std::string> shortcutKey;
    ui::ModifierFlags modifiers = 0;
    VmMenuType menuType = VmMenuType::separator();
    std::optional<std::vector<VmMenuItem>> submenu;
    std::optional<std::vector<std::shared_ptr<const MenuPresentable>>> submenuEnum;
    ui::Selector submenuEmumSelector;
    std::optional<std::int64_t> tag;
    std::any representedObject;

    VmMenuItem() = default;
    VmMenuItem(std::optional<std::string> title, ui::Selector action,
               const std::shared_ptr<ui::Object>& target, std::optional<std::string> shortcutKey,
               ui::ModifierFlags modifiers, VmMenuType menuType,
               std::optional<std::vector<VmMenuItem>> submenu = std::nullopt,
               std::optional<std::vector<std::shared_ptr<const MenuPresentable>>> submenuEnum = std::nullopt,
               ui::Selector submenuEmumSelector = {}, std::optional<std::int64_t> tag = std::nullopt,
               std::any representedObject = {});

    // The toolkit item. Separators and section headers take nothing else from the record; a nested list
    // of entries wins over a list of presentable values.
    std::shared_ptr<ui::MenuItem> makeMenuItem() const;
    // A menu that does not enable its items by itself, holding the entries' items in order.
    static std::shared_ptr<ui::Menu> makeMenu(const std::vector<VmMenuItem>& items);
};

// The application's documents as the open-recent menu sees them: the desktop's recently-used list, and
// whatever opens a document and finds a file's icon in this application.
class DocumentController {
public:
    using OpenDocument = std::function<void(const core::URL& url, bool display)>;
    using IconForFile = std::function<graphics::ImageRef(const std::filesystem::path& file)>;

    DocumentController(std::shared_ptr<core::RecentDocuments> recents, OpenDocument open,
                       IconForFile icon = nullptr);

    std::vector<core::URL> recentDocumentURLs() const;
    void openDocument(const core::URL& url, bool display) const;
    void clearRecentDocuments() const;
    // Null when the file has no icon this application can read.
    graphics::ImageRef iconForFile(const std::filesystem::path& file) const;

private:
    std::shared_ptr<core::RecentDocuments> recents_;
    OpenDocument open_;
    IconForFile icon_;
};

// Fills an open-recent submenu each time it is about to open: the documents whose files still exist,
// then a separator and "Clear Recent Documents" (which travels the responder chain).
class RecentDocumentsMenuDelegate : public ui::Object, public ui::MenuDelegate {
public:
    explicit RecentDocumentsMenuDelegate(std::shared_ptr<DocumentController> documents);

    void menuNeedsUpdate(const std::shared_ptr<ui::Menu>& menu) override;
    // The item's represented object names the document; anything else is ignored.
    void openRecentDocument(const std::shared_ptr<ui::Object>& sender);
    void clearRecentDocuments(const std::shared_ptr<ui::Object>& sender);

private:
    std::shared_ptr<DocumentController> documents_;
};

} // namespace vimbra
