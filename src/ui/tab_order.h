// The keyboard's way through the window: Tab follows the panels from the top left, as the eye
// reads them, whatever order the widgets were made in.
#pragma once

#include <QWidget>

namespace ui {

// The list across the top first, then the text areas of the left column, then the operation
// area on the right; inside each, row by row from the left. Hidden panels keep their place in
// the chain; Qt passes over what is hidden or disabled.
void SetReadingTabOrder(QWidget* window, int operationAreaLeft, int listBottom);

}  // namespace ui
