// The small builders every part of the window uses, so that each control gets its geometry and
// its accessible name (equal to its caption) in one place, and the panels share one look. The
// "qlxRole" property set here is what the window's style sheet picks colours by. Internal to ui/.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace ui {

// Fixed areas of the window, in client pixels.
constexpr int kOperationX = 584, kOperationY = 304;
constexpr int kPanelWidth = 440, kBasicHeight = 320, kPanelHeight = 340;
constexpr int kRowHeight = 23;

// The fixed-pitch face in which one Shift-JIS byte takes one 8-px cell at 16 px.
QFont cellFont();
QFont windowFont();

void setRole(QWidget* w, const char* role);
QLabel* makeLabel(QWidget* parent, const QString& text, QRect r, const char* role);
QLabel* makeCaption(QWidget* parent, const QString& text, QRect r);
QPushButton* makeButton(QWidget* parent, const QString& text, QRect r);
// A file chooser's button: the style's folder picture, no caption; screen readers and the
// tool tip still name it.
QPushButton* makeChooserButton(QWidget* parent, const QString& accessibleName, QRect r);
QLineEdit* makeBox(QWidget* parent, const QString& accessibleName, QRect r);
QCheckBox* makeCheck(QWidget* parent, const QString& text, QRect r);
QGroupBox* makeGroup(QWidget* parent, const QString& title, QRect r);
QComboBox* makeChoice(QWidget* parent, const QString& accessibleName, const QStringList& items,
                      QRect r);
// A panel of the operation area, named for tests and screen readers.
QWidget* makePanel(QWidget* parent, const char* name, int height);
// The tab strip of a panel; returns the strip so that the basic panel can put buttons there.
QWidget* makeTabStrip(QWidget* panel);
QRect tabRect(int index);
QLabel* makeTabLabel(QWidget* strip, const QString& text, int index, bool active);
QPlainTextEdit* makeTextArea(QWidget* parent, QRect r);

}  // namespace ui
