// What the Qt dialogs adapter shows: every message as plain text (device text can hold
// anything), and the file chooser with its pattern as the bare filter.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "platform/qt/qt_dialogs.h"

namespace {

// Runs look on the modal widget the next call opens, then closes it.
template <class Modal>
void whenShown(std::function<void(Modal*)> look) {
    QTimer::singleShot(0, [look] {
        auto* modal = qobject_cast<Modal*>(QApplication::activeModalWidget());
        ASSERT_NE(modal, nullptr);
        look(modal);
        modal->reject();
    });
}

TEST(QtDialogs, EveryMessageBoxShowsItsTextAsPlainText) {
    using Show = std::function<void(platform::qt::QtDialogs&, const std::string&)>;
    const Show shows[] = {
        [](auto& d, const std::string& t) { d.warning(t); },
        [](auto& d, const std::string& t) { d.information(t); },
        [](auto& d, const std::string& t) { d.error(t); },
        [](auto& d, const std::string& t) { d.confirm(t); },
        [](auto& d, const std::string& t) { d.askYesNo(t); },
    };
    platform::qt::QtDialogs dialogs;
    for (const Show& show : shows) {
        Qt::TextFormat format = Qt::RichText;
        QString text;
        whenShown<QMessageBox>([&](QMessageBox* box) {
            format = box->textFormat();
            text = box->text();
        });
        show(dialogs, "failure:<b>BOLD</b>");
        EXPECT_EQ(format, Qt::PlainText);
        EXPECT_EQ(text, QStringLiteral("failure:<b>BOLD</b>"));
    }
}

TEST(QtDialogs, TheFileChooserFilterIsTheBarePattern) {
    platform::qt::QtDialogs dialogs;
    QStringList filters;
    whenShown<QFileDialog>([&](QFileDialog* chooser) { filters = chooser->nameFilters(); });
    platform::FileChoice choice;
    choice.title = "title";
    choice.filter = "*.txt";
    choice.directory = "/tmp";
    EXPECT_EQ(dialogs.openFile(choice), std::nullopt);
    EXPECT_EQ(filters, QStringList{QStringLiteral("*.txt")});
}

}  // namespace
