// The shared builders of the window's controls; see widgets.h.
#include "ui/widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace ui {

QFont cellFont() {
    QFont f(QStringLiteral("IPAGothic"));
    f.setPixelSize(16);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setKerning(false);
    return f;
}

QFont windowFont() {
    QFont f(QStringLiteral("IPAPGothic"));
    f.setPixelSize(12);
    return f;
}

void setRole(QWidget* w, const char* role) {
    w->setProperty("qlxRole", QString::fromLatin1(role));
}

QLabel* makeLabel(QWidget* parent, const QString& text, QRect r, const char* role) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(r);
    l->setAccessibleName(text);
    setRole(l, role);
    return l;
}

QLabel* makeCaption(QWidget* parent, const QString& text, QRect r) {
    QLabel* l = makeLabel(parent, text, r, "caption");
    l->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    return l;
}

QPushButton* makeButton(QWidget* parent, const QString& text, QRect r) {
    auto* b = new QPushButton(text, parent);
    b->setGeometry(r);
    b->setAccessibleName(text);
    b->setAutoDefault(false);
    return b;
}

QPushButton* makeChooserButton(QWidget* parent, const QString& accessibleName, QRect r) {
    QPushButton* b = makeButton(parent, QString(), r);
    b->setIcon(b->style()->standardIcon(QStyle::SP_DirIcon));
    b->setAccessibleName(accessibleName);
    b->setToolTip(accessibleName);
    return b;
}

QLineEdit* makeBox(QWidget* parent, const QString& accessibleName, QRect r) {
    auto* e = new QLineEdit(parent);
    e->setGeometry(r);
    e->setAccessibleName(accessibleName);
    return e;
}

QCheckBox* makeCheck(QWidget* parent, const QString& text, QRect r) {
    auto* c = new QCheckBox(text, parent);
    c->setGeometry(r);
    c->setAccessibleName(text);
    return c;
}

QGroupBox* makeGroup(QWidget* parent, const QString& title, QRect r) {
    auto* g = new QGroupBox(title, parent);
    g->setGeometry(r);
    g->setAccessibleName(title);
    return g;
}

QComboBox* makeChoice(QWidget* parent, const QString& accessibleName, const QStringList& items,
                      QRect r) {
    auto* c = new QComboBox(parent);
    c->addItems(items);
    c->setGeometry(r);
    c->setAccessibleName(accessibleName);
    return c;
}

QWidget* makePanel(QWidget* parent, const char* name, int height) {
    auto* p = new QWidget(parent);
    p->setObjectName(QString::fromLatin1(name));
    p->setAccessibleName(QString::fromLatin1(name));
    p->setAttribute(Qt::WA_StyledBackground);
    p->setGeometry(kOperationX, kOperationY, kPanelWidth, height);
    setRole(p, "panel");
    return p;
}

QWidget* makeTabStrip(QWidget* panel) {
    auto* strip = new QWidget(panel);
    strip->setGeometry(3, 3, 434, 28);
    strip->setAttribute(Qt::WA_StyledBackground);
    setRole(strip, "tabStrip");
    return strip;
}

QRect tabRect(int index) {
    return QRect(2 + 98 * index, 2, 96, 25);
}

QLabel* makeTabLabel(QWidget* strip, const QString& text, int index, bool active) {
    QLabel* l = makeLabel(strip, text, tabRect(index), active ? "activeTab" : "inactiveTab");
    l->setAlignment(Qt::AlignCenter);
    return l;
}

QPlainTextEdit* makeTextArea(QWidget* parent, QRect r) {
    auto* t = new QPlainTextEdit(parent);
    t->setGeometry(r);
    return t;
}

}  // namespace ui
