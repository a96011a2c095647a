#include "Vimbra/MenuModel.hpp"

#include "core/FileManager.hpp"
#include "ui/Application.hpp"

namespace vimbra {

bool operator==(const VmMenuType& a, const VmMenuType& b) {
    if (a.kind_ != b.kind_) {
        return false;
    }
    switch (a.kind_) {
    case VmMenuType::Kind::sectionHeader:
        return a.title_ == b.title_;
    case VmMenuType::Kind::documentTemplates:
    case VmMenuType::Kind::recentDocuments:
        return a.delegate_ == b.delegate_;
    default:
        return true;
    }
}

namespace detail {

std::vector<std::shared_ptr<ui::MenuItem>> presentableItems(const MenuPresentable& value,
                                                            const std::shared_ptr<ui::Object>& target,
                                                            const ui::Selector& action) {
    const ui::Selector itemAction = action.empty() ? value.action() : action;
    const auto itemTarget = target ? target : value.target();

    auto item = ui::MenuItem::make(value.title(), itemAction);
    item->setTag(value.tag());
    item->setRepresentedObject(value.representedObject());
    item->setImage(value.image());
    item->setOnStateImage(value.onStateImage());
    item->setOffStateImage(value.offStateImage());
    item->setMixedStateImage(value.mixedStateImage());
    item->setTarget(itemTarget);

    const auto alternateTag = value.alternateTag();
    const auto alternateTitle = value.alternateTitle();
    if (!alternateTag || !alternateTitle) {
        return {item};
    }
    auto alternate = ui::MenuItem::make(*alternateTitle, itemAction);
    alternate->setTag(*alternateTag);
    alternate->setRepresentedObject(value.alternateRepresentedObject());
    alternate->setTarget(itemTarget);
    alternate->setAlternate(true);
    alternate->setKeyEquivalentModifierMask(ui::Modifier::option);
    return {item, alternate};
}

std::shared_ptr<ui::MenuItem> submenuItem(const std::string& title,
                                          const std::vector<std::shared_ptr<ui::MenuItem>>& children,
                                          bool hasChildren) {
    auto item = ui::MenuItem::make(title);
    if (hasChildren) {
        auto menu = ui::Menu::make(title);
        for (const auto& child : children) {
            menu->addItem(child);
        }
        item->setSubmenu(menu);
    }
    return item;
}

std::shared_ptr<ui::MenuItem> structureSeparator() {
    auto separator = ui::MenuItem::separatorItem();
    separator->setTag(-1000);
    return separator;
}

} // namespace detail

VmMenuItem::VmMenuItem(std::optional<std::string> title, ui::Selector action,
                       const std::shared_ptr<ui::Object>& target, std::optional<std::string> shortcutKey,
                       ui::ModifierFlags modifiers, VmMenuType menuType,
                       std::optional<std::vector<VmMenuItem>> submenu,
                       std::optional<std::vector<std::shared_ptr<const MenuPresentable>>> submenuEnum,
                       ui::Selector submenuEmumSelector, std::optional<std::int64_t> tag,
                       std::any representedObject)
    : title(std::move(title)), action(std::move(action)), target(target), shortcutKey(std::move(shortcutKey)),
      modifiers(modifiers), menuType(std::move(menuType)), submenu(std::move(submenu)),
      submenuEnum(std::move(submenuEnum)), submenuEmumSelector(std::move(submenuEmumSelector)), tag(tag),
      representedObject(std::move(representedObject)) {}

std::shared_ptr<ui::MenuItem> VmMenuItem::makeMenuItem() const {
    auto item = ui::MenuItem::make(title.value_or(""), action, shortcutKey.value_or(""));
    item->setKeyEquivalentModifierMask(modifiers);

    switch (menuType.kind()) {
    case VmMenuType::Kind::sectionHeader:
        return ui::MenuItem::sectionHeader(menuType.title());
    case VmMenuType::Kind::separator:
        return ui::MenuItem::separatorItem();
    case VmMenuType::Kind::documentTemplates:
    case VmMenuType::Kind::recentDocuments: {
        auto menu = ui::Menu::make();
        menu->setDelegate(menuType.delegate());
        item->setSubmenu(menu);
        break;
    }
    case VmMenuType::Kind::services: {
        auto menu = ui::Menu::make();
        ui::Application::shared()->setServicesMenu(menu);
        item->setSubmenu(menu);
        break;
    }
    case VmMenuType::Kind::standard:
        break;
    }

    if (submenu) {
        auto menu = ui::Menu::make();
        for (const auto& entry : *submenu) {
            menu->addItem(entry.makeMenuItem());
        }
        item->setSubmenu(menu);
    } else if (submenuEnum) {
        auto menu = ui::Menu::make();
        for (const auto& value : *submenuEnum) {
            if (!value) {
                continue;
            }
            auto valueItem = ui::MenuItem::make(value->title(), submenuEmumSelector);
            valueItem->setTag(value->tag());
            valueItem->setImage(value->image());
            menu->addItem(valueItem);
        }
        item->setSubmenu(menu);
    }

    item->setTarget(target.lock());
    if (tag) {
        item->setTag(*tag);
    }
    if (representedObject.has_value()) {
        item->setRepresentedObject(representedObject);
    }
    return item;
}

std::shared_ptr<ui::Menu> VmMenuItem::makeMenu(const std::vector<VmMenuItem>& items) {
    auto menu = ui::Menu::make();
    menu->setAutoenablesItems(false);
    for (const auto& entry : items) {
        menu->addItem(entry.makeMenuItem());
    }
    return menu;
}

DocumentController::DocumentController(std::shared_ptr<core::RecentDocuments> recents, OpenDocument open,
                                       IconForFile icon)
    : recents_(std::move(recents)), open_(std::move(open)), icon_(std::move(icon)) {}

std::vector<core::URL> DocumentController::recentDocumentURLs() const {
    return recents_ ? recents_->recentDocumentURLs() : std::vector<core::URL>{};
}

void DocumentController::openDocument(const core::URL& url, bool display) const {
    if (open_) {
        open_(url, display);
    }
}

void DocumentController::clearRecentDocuments() const {
    if (recents_) {
        recents_->clearRecentDocuments();
    }
}

graphics::ImageRef DocumentController::iconForFile(const std::filesystem::path& file) const {
    return icon_ ? icon_(file) : nullptr;
}

RecentDocumentsMenuDelegate::RecentDocumentsMenuDelegate(std::shared_ptr<DocumentController> documents)
    : documents_(std::move(documents)) {
    setActionHandler("openRecentDocument:",
                     [this](const std::shared_ptr<ui::Object>& sender) { openRecentDocument(sender); });
    setActionHandler("clearRecentDocuments:",
                     [this](const std::shared_ptr<ui::Object>& sender) { clearRecentDocuments(sender); });
}

namespace {

// The icon's representations of at most 16 points in either dimension, in a new image.
graphics::ImageRef smallIcon(const graphics::ImageRef& icon) {
    if (!icon) {
        return nullptr;
    }
    graphics::ImageRef image;
    for (const auto& rep : icon->representations()) {
        if (rep->size().width <= 16 || rep->size().height <= 16) {
            if (!image) {
                image = graphics::Image::make(rep->size());
            }
            image->addRepresentation(rep);
        }
    }
    return image;
}

} // namespace

void RecentDocumentsMenuDelegate::menuNeedsUpdate(const std::shared_ptr<ui::Menu>& menu) {
    std::vector<std::shared_ptr<ui::MenuItem>> items;
    const auto self = sharedAs<ui::Object>();
    for (const auto& url : documents_->recentDocumentURLs()) {
        const auto path = url.filePath();
        if (!path || !core::FileManager::fileExists(*path)) {
            continue;
        }
        auto item = ui::MenuItem::make(url.lastPathComponent(), "openRecentDocument:");
        item->setRepresentedObject(url);
        item->setTarget(self);
        item->setImage(smallIcon(documents_->iconForFile(*path)));
        items.push_back(std::move(item));
    }
    items.push_back(ui::MenuItem::separatorItem());
    items.push_back(ui::MenuItem::make("Clear Recent Documents", "clearRecentDocuments:"));
    menu->setItems(items);
}

void RecentDocumentsMenuDelegate::openRecentDocument(const std::shared_ptr<ui::Object>& sender) {
    const auto item = std::dynamic_pointer_cast<ui::MenuItem>(sender);
    if (!item) {
        return;
    }
    if (const auto* url = std::any_cast<core::URL>(&item->representedObject())) {
        documents_->openDocument(*url, true);
    }
}

void RecentDocumentsMenuDelegate::clearRecentDocuments(const std::shared_ptr<ui::Object>& sender) {
    (void)sender;
    documents_->clearRecentDocuments();
}

} // namespace vimbra
