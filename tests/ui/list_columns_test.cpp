// What the operator can read of the list and the tabs: every column of the list, the last one
// too, under its caption, and inactive tabs that look like the buttons they are.
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "ui/device_list.h"
#include "window_fixture.h"

namespace uitest {
namespace {

using Delegate = ui::CheckListDelegate;

TEST_F(WindowFixture, EveryColumnCanBeScrolledIntoViewUnderItsCaption) {
    struct Case {
        const char* name;
        bool listEdit;
    };
    const Case cases[] = {{"basic", false}, {"List編集", true}};
    ui::DeviceListView* list = m_window->listView();
    QLabel* caption = nullptr;
    for (QLabel* l : m_window->findChildren<QLabel*>())
        if (l->text() == q("Message")) caption = l;
    ASSERT_NE(caption, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.listEdit)
            QTest::mouseClick(named<QPushButton>(m_window.get(), "List編集"), Qt::LeftButton);
        m_window->refresh();
        ASSERT_EQ(state().listEditShown, c.listEdit);
        QScrollBar* bar = list->horizontalScrollBar();
        // How far the caption stands from the column's first cell, unscrolled and scrolled.
        auto captionOffset = [&] {
            const QRect row = list->visualRect(list->listModel()->index(0));
            const int start = row.left() + Delegate::kTextOffset + 97 * Delegate::kCellWidth;
            return list->viewport()->mapTo(m_window.get(), QPoint(start, 0)).x() -
                   caption->mapTo(m_window.get(), QPoint(0, 0)).x();
        };
        const int unscrolled = captionOffset();
        bar->setValue(bar->maximum());
        QApplication::processEvents();
        const QRect row = list->visualRect(list->listModel()->index(0));
        // The end of the "Message" column is inside the view, beside the vertical scroll bar.
        const int messageEnd =
            row.left() + Delegate::kTextOffset + Delegate::kLineCells * Delegate::kCellWidth;
        EXPECT_LE(messageEnd, list->viewport()->width());
        EXPECT_GT(bar->value(), 0);
        EXPECT_EQ(captionOffset(), unscrolled);
        bar->setValue(0);
    }
}

// The relative luminance contrast of two colours (1 to 21).
double contrast(QColor a, QColor b) {
    auto lum = [](QColor c) {
        auto lin = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    const double x = lum(a), y = lum(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

TEST_F(WindowFixture, AnInactiveTabReadsAsAButtonAndADisabledOneDoesNot) {
    QPushButton* tab = named<QPushButton>(m_window.get(), "List編集");
    ASSERT_NE(tab, nullptr);
    struct Look {
        QColor background;
        double text;  // the best contrast of the caption against it
    };
    auto look = [&] {
        const QImage image = tab->grab().toImage();
        Look l{image.pixelColor(3, image.height() - 3), 1.0};
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                l.text = std::max(l.text, contrast(l.background, image.pixelColor(x, y)));
        return l;
    };
    ASSERT_TRUE(tab->isEnabled());
    const Look enabled = look();
    tab->setEnabled(false);
    const Look disabled = look();
    EXPECT_GE(enabled.text, 4.5);
    EXPECT_GE(contrast(enabled.background, disabled.background), 1.5);
    EXPECT_EQ(tab->cursor().shape(), Qt::PointingHandCursor);
}

}  // namespace
}  // namespace uitest
