// The styled table in numbers: 100,000 rows in a scroll view on the headless back end at 1x. Scrolling
// one page and the display pass that follows (with a count of the views made beyond the first screen:
// rows reuse the views of the rows that left), and reloading the data.

#include "Vimbra/StyledControls/StyledTableView.hpp"
#include "VimbraBenchWindow.hpp"
#include "ui/ScrollView.hpp"
#include "ui/TextField.hpp"

#include <benchmark/benchmark.h>
#include <memory>
#include <string>

namespace {

using graphics::Rect;

class Rows final : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    int numberOfRows(ui::TableView&) override { return 100000; }
    std::shared_ptr<ui::View> viewFor(ui::TableView& table, ui::TableColumn* column, int row) override {
        auto cell = std::dynamic_pointer_cast<vimbra::StyledTableCellView>(
            table.makeViewWithIdentifier("cell", nullptr));
        if (!cell) {
            cell = std::make_shared<vimbra::StyledTableCellView>(Rect(0, 0, 100, 20));
            cell->setIdentifier("cell");
            auto field = ui::TextField::labelWithString("");
            field->setFrame({12, 2, 84, 16});
            cell->setTextField(field);
            cell->addSubview(field);
            ++viewsMade;
        }
        cell->textField()->setStringValue(column->identifier() + " " + std::to_string(row));
        return cell;
    }
    std::shared_ptr<ui::TableRowView> rowViewForRow(ui::TableView& table, int) override {
        const auto& identifier = vimbra::StyledTableRowView::identifier();
        auto rowView = std::dynamic_pointer_cast<vimbra::StyledTableRowView>(
            table.makeViewWithIdentifier(identifier, nullptr));
        if (!rowView) {
            rowView = std::make_shared<vimbra::StyledTableRowView>();
            rowView->setIdentifier(identifier);
            ++viewsMade;
        }
        return rowView;
    }
    int viewsMade = 0;
};

struct Fixture : vimbrabench::BenchWindow {
    Fixture() : BenchWindow(Rect(0, 0, 400, 400)) {
        scroll = std::make_shared<ui::ScrollView>(Rect(0, 0, 400, 400));
        scroll->setHasVerticalScroller(true);
        for (const char* id : {"name", "kind", "size"}) {
            auto column = std::make_shared<vimbra::StyledTableColumn>(id);
            column->setTitle(id);
            column->setWidth(125);
            table->addTableColumn(column);
        }
        table->setAllowsMultipleSelection(true);
        scroll->setDocumentView(table);
        window->contentView()->addSubview(scroll);
        table->setDataSource(model);
        table->setDelegate(model);
        table->selectRowIndexes(core::IndexSet(core::IndexSet::Range{10, 5000}), false);
        attach(1.0);
        backend->displayIfNeeded();
    }
    std::shared_ptr<ui::ScrollView> scroll;
    std::shared_ptr<vimbra::StyledTableView> table = std::make_shared<vimbra::StyledTableView>();
    std::shared_ptr<Rows> model = std::make_shared<Rows>();
};

void BM_StyledTableScrollOnePage(benchmark::State& state) {
    Fixture f;
    auto clip = f.scroll->contentView();
    const int madeAtFirst = f.model->viewsMade;
    const double page = clip->bounds().height();
    double y = 0;
    for (auto _ : state) {
        y += page;
        if (y > f.table->bounds().height() - page) {
            y = 0;
        }
        clip->scrollToPoint({0, y});
        f.scroll->reflectScrolledClipView(*clip);
        f.backend->displayIfNeeded();
    }
    state.counters["viewsMadeAfterFirstScreen"] = f.model->viewsMade - madeAtFirst;
    state.counters["viewsOnFirstScreen"] = madeAtFirst;
}
BENCHMARK(BM_StyledTableScrollOnePage)->Unit(benchmark::kMillisecond);

void BM_StyledTableReloadData(benchmark::State& state) {
    Fixture f;
    const int madeAtFirst = f.model->viewsMade;
    for (auto _ : state) {
        f.table->reloadData();
        f.backend->displayIfNeeded();
    }
    state.counters["viewsMadeAfterFirstScreen"] = f.model->viewsMade - madeAtFirst;
}
BENCHMARK(BM_StyledTableReloadData)->Unit(benchmark::kMillisecond);

} // namespace
