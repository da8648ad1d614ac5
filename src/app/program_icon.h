// The window's icon: the picture of the menu entry's icon (packaging/qlx-setting.svg), drawn
// here so that the program needs neither Qt's SVG plugin nor an installed icon theme.
#pragma once

#include <QIcon>

namespace app {

QIcon ProgramIcon();

}  // namespace app
