// The styled table and outline on a real X server, driven by XTest: rows selected by clicks with Shift
// and Control held, and an outline item opened by its disclosure button.
// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "Vimbra/StyledControls/tests/TableFixtures.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "display/X11Display.hpp"
#include "display/tests/X11TestFixture.hpp"

#include <X11/Xlib.h>
#include <X11/keysym.h>

using graphics::Rect;

namespace {

class X11Tables : public displaytest::X11TestFixture {
protected:
    void open() {
        openDisplay();
        window = ui::Window::make(Rect(0, 0, 420, 220));
    }
    void show() { showWindow(window, backend); }
    // A point of a view (its own coordinates) on the screen.
    std::pair<int, int> onScreen(const ui::View& view, graphics::Point p) const {
        const auto w = view.convertPointToView(p, nullptr);
        return input.rootPosition(backend->xid(), static_cast<int>(w.x),
                                  static_cast<int>(window->contentView()->bounds().height() - w.y));
    }
    void clickRow(const ui::TableView& table, int row, std::initializer_list<KeySym> held = {}) {
        const auto p = onScreen(table, table.frameOfCellAtColumn(0, row).center());
        for (KeySym k : held) {
            input.key(k, true);
        }
        input.click(p.first, p.second);
        for (KeySym k : held) {
            input.key(k, false);
        }
    }

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::X11WindowBackend> backend;
};

std::vector<int> rows(const core::IndexSet& set) {
    return {set.begin(), set.end()};
}

} // namespace

TEST_F(X11Tables, ClicksSelectRowsAndADisclosureButtonOpensItsItem) {
    open();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    tabletest::TableInScroll t(Rect(0, 0, 240, 220), 20);
    tabletest::OutlineInScroll o(Rect(250, 0, 160, 220));
    window->contentView()->addSubview(t.scroll);
    window->contentView()->addSubview(o.scroll);
    show();
    if (HasFatalFailure()) {
        return;
    }
    const auto& table = *t.table;
    clickRow(table, 1);
    clickRow(table, 3, {XK_Shift_L});
    clickRow(table, 6, {XK_Control_L});
    clickRow(table, 2, {XK_Control_L});
    // Wait for the last click's answer: the shift-click alone already selects three rows (1 to 3).
    const std::vector<int> expected{1, 3, 6};
    displaytest::pumpUntil(*display, [&] { return rows(table.selectedRowIndexes()) == expected; });
    EXPECT_EQ(rows(table.selectedRowIndexes()), expected);

    // C's disclosure button opens C on the server's click.
    ASSERT_FALSE(o.outline->isItemExpanded(o.c));
    const auto disclosure = o.outline->frameOfOutlineCellAtRow(2);
    const auto p = onScreen(*o.outline, disclosure.center());
    input.click(p.first, p.second);
    ASSERT_TRUE(displaytest::pumpUntil(*display, [&] { return o.outline->isItemExpanded(o.c); }));
    EXPECT_EQ(o.outline->numberOfRows(), 4);
    EXPECT_TRUE(o.outline->selectedRowIndexes().empty()) << "the button took the click";
}
