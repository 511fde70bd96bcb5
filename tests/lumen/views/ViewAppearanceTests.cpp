#include "Lumen/views/ViewAppearance.h"

#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QScrollArea>
#include <QScrollBar>

#include <memory>
#include <utility>
#include <vector>

namespace Lumen {
namespace {

constexpr int rowCount = 200;
constexpr int rowHeight = 20;

// Hands its events to its appearance, which goes before its QWidget part.
class Row : public QWidget {
public:
    using QWidget::QWidget;
    bool event(QEvent* event) override
    {
        if (appearance)
            appearance->viewEvent(*event);
        return QWidget::event(event);
    }
    std::unique_ptr<ViewAppearance> appearance;
};

// A column of watched rows in a scroll area, which each step changes; after each, the rows in
// sight must be the visible ones that overlap the viewport of the area holding them.
class ViewAppearanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (QScrollArea* area : {&area, &otherArea}) {
            area->setFrameShape(QFrame::NoFrame);
            area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        }
        area.resize(100, 100);
        otherArea.resize(100, 300);
        rows = new QWidget;
        rows->resize(80, rowCount * rowHeight);
        for (int index = 0; index < rowCount; ++index) {
            auto* row = new Row(rows);
            row->setGeometry(0, index * rowHeight, 80, rowHeight);
            told.emplace_back(false);
            row->appearance = std::make_unique<ViewAppearance>(
                *row, [this, index] { told[index] = true; }, [this, index] { told[index] = false; });
            appearances.push_back(row->appearance.get());
        }
        area.setWidget(rows);
        area.show();
    }

    QWidget* row(int index) const { return rows->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).at(index); }

    // The rows each appearance holds in sight, and has told so, must be those seen.
    void expectRowsInSight(const char* step) const
    {
        Tivrand::Testing::pumpEvents(std::chrono::milliseconds(10));
        const QRect seen(-rows->pos(), rows->parentWidget()->size());
        for (int index = 0; index < rowCount; ++index) {
            const bool expected = rows->isVisible() && row(index)->isVisibleTo(rows) && row(index)->geometry().intersects(seen);
            ASSERT_EQ(appearances[index]->inSight(), expected) << step << ", row " << index;
            ASSERT_EQ(bool(told[index]), expected) << step << ", row " << index;
        }
    }

    // Before the areas, which own the rows and tell them of their end.
    std::vector<char> told;
    std::vector<const ViewAppearance*> appearances;
    QScrollArea area;
    QScrollArea otherArea;
    QWidget* rows = nullptr;
};

TEST_F(ViewAppearanceTest, RowsAreInSightWhileTheyOverlapTheViewportWhateverMovesThemThere)
{
    expectRowsInSight("first screen");
    area.verticalScrollBar()->setValue(1000);
    expectRowsInSight("scrolled down");
    area.verticalScrollBar()->setValue(area.verticalScrollBar()->maximum());
    expectRowsInSight("scrolled to the end");
    area.resize(100, 400);
    expectRowsInSight("a taller viewport");

    row(3)->move(0, area.verticalScrollBar()->value() + 10);
    expectRowsInSight("a row moved into sight");
    area.verticalScrollBar()->setValue(0);
    expectRowsInSight("scrolled back past the moved row");
    row(5)->hide();
    expectRowsInSight("a row hidden");

    otherArea.setWidget(area.takeWidget());
    otherArea.show();
    expectRowsInSight("the rows in another area");
    otherArea.verticalScrollBar()->setValue(2000);
    expectRowsInSight("the other area scrolled");
    otherArea.hide();
    expectRowsInSight("the other area hidden");
}

// A scroll tells the rows it brings into sight one after another; one told may take a group of
// rows out of the list and delete it, and the rows of that group must not be told after.
TEST(ViewAppearanceScrollTest, ARowToldOfItsSightMayTakeOutAndDeleteAGroupOfOtherRows)
{
    QScrollArea area;
    area.setFrameShape(QFrame::NoFrame);
    area.resize(100, 100);
    auto* rows = new QWidget;
    rows->resize(80, 1000);
    std::vector<QWidget*> groups;
    bool takenOut = false;
    for (int index = 0; index < 4; ++index) {
        auto* group = new QWidget(rows);
        group->setGeometry(0, 500 + index * rowHeight, 80, rowHeight);
        auto* row = new Row(group);
        row->resize(80, rowHeight);
        groups.push_back(group);
        row->appearance = std::make_unique<ViewAppearance>(
            *row,
            [&, group] {
                if (std::exchange(takenOut, true))
                    return;
                for (QWidget* other : groups) {
                    if (other == group)
                        continue;
                    other->setParent(nullptr);
                    delete other;
                }
            },
            [] {});
    }
    area.setWidget(rows);
    area.show();
    Tivrand::Testing::pumpEvents(std::chrono::milliseconds(10));

    area.verticalScrollBar()->setValue(500);
    Tivrand::Testing::pumpEvents(std::chrono::milliseconds(10));
    EXPECT_TRUE(takenOut);
    EXPECT_EQ(rows->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 1);
}

} // namespace
} // namespace Lumen
