#include "ui/tab_order.h"

#include <QList>
#include <algorithm>
#include <tuple>

namespace ui {

void SetReadingTabOrder(QWidget* window, int operationAreaLeft, int listBottom) {
    struct Stop {
        QWidget* widget;
        std::tuple<int, int, int> key;  // region, top, left
    };
    std::vector<Stop> stops;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        // Popups (a combo box's list, a completer) are windows of their own.
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() || w->window() != window)
            continue;
        const QPoint at = w->mapTo(window, QPoint(0, 0));
        const int region = at.y() < listBottom ? 0 : at.x() < operationAreaLeft ? 1 : 2;
        stops.push_back({w, {region, at.y(), at.x()}});
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const Stop& a, const Stop& b) { return a.key < b.key; });
    for (size_t i = 1; i < stops.size(); ++i) {
        QWidget::setTabOrder(stops[i - 1].widget, stops[i].widget);
    }
}

}  // namespace ui
