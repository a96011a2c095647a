#pragma once

// A view controller whose view is a HostingView showing a declarative tree. Its sizing options say
// which of the tree's sizes it publishes: the ideal size as the preferred content size, and the
// smallest and largest sizes as the window's content size limits.

#include "declarative/Hosting.hpp"
#include "ui/ViewController.hpp"

#include <cstdint>
#include <memory>

namespace declarative {

using HostingSizingOptions = std::uint32_t;
namespace HostingSizingOption {
inline constexpr HostingSizingOptions minSize = 1 << 0;
inline constexpr HostingSizingOptions intrinsicContentSize = 1 << 1;
inline constexpr HostingSizingOptions maxSize = 1 << 2;
inline constexpr HostingSizingOptions preferredContentSize = 1 << 3;
inline constexpr HostingSizingOptions standardBounds = minSize | intrinsicContentSize | maxSize;
} // namespace HostingSizingOption

class HostingController : public ui::ViewController {
public:
    explicit HostingController(declarative::View rootView);

    void setRootView(declarative::View rootView);
    // The view (loaded on first use).
    std::shared_ptr<HostingView> hostingView();

    HostingSizingOptions sizingOptions() const { return sizingOptions_; }
    void setSizingOptions(HostingSizingOptions options);

    // The tree's sizes: for a zero proposal, for an unspecified one, and for an infinite one.
    Size minimumSize();
    Size idealSize();
    Size maximumSize();
    // Publishes the sizes the options ask for (also when the view appears).
    void updateSizes();

    void loadView() override;
    void viewWillAppear() override;

private:
    declarative::View rootView_;
    HostingSizingOptions sizingOptions_ = HostingSizingOption::standardBounds;
};

} // namespace declarative
