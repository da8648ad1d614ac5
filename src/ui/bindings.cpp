// The bindings of the window's boxes, text areas, check boxes and choices to the state: typing
// goes into the state through one input rule, and a refresh shows the state in the widgets.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolTip>

#include "platform/qt/qt_text.h"
#include "ui/box_input.h"
#include "ui/main_window.h"
#include "ui/text_tail.h"
#include "ui/widgets.h"

namespace ui {

using platform::qt::toQString;
using platform::qt::ui;

namespace {

// The newest line in view, the caret at the start of the last line.
void showNewestLine(QPlainTextEdit* edit) {
    QTextCursor c(edit->document());
    c.movePosition(QTextCursor::End);
    c.movePosition(QTextCursor::StartOfBlock);
    edit->setTextCursor(c);
    edit->ensureCursorVisible();
}

}  // namespace

// --- Bindings -------------------------------------------------------------------------------

MainWindow::TextBox& MainWindow::bindBox(QLineEdit* edit, std::string* field, size_t byteLimit) {
    return bindBox(
        edit, [field]() -> const std::string& { return *field; },
        [field](const std::string& bytes) { *field = bytes; }, byteLimit);
}

MainWindow::TextBox& MainWindow::bindBox(QLineEdit* edit, std::function<const std::string&()> get,
                                         std::function<void(const std::string&)> set,
                                         size_t byteLimit) {
    auto box = std::make_unique<TextBox>();
    box->edit = edit;
    box->get = std::move(get);
    box->set = std::move(set);
    box->byteLimit = byteLimit;
    TextBox& ref = *box;
    m_boxes.push_back(std::move(box));
    connect(edit, &QLineEdit::textEdited, this,
            [this, &ref](const QString& typed) { boxEdited(ref, typed); });
    return ref;
}

void MainWindow::boxEdited(TextBox& box, const QString& typed) {
    if (m_refreshing) return;
    BoxInput in = checkBoxInput(typed, box.byteLimit, box.commaAllowed);
    if (!in.bytes) {
        // Put back what the box showed, with the caret where the refused input began.
        int caret =
            box.edit->cursorPosition() - static_cast<int>(typed.size() - box.shownText.size());
        box.edit->setText(box.shownText);
        box.edit->setCursorPosition(std::clamp(caret, 0, static_cast<int>(box.shownText.size())));
        showHint(box.edit, refusalHint(in.refusal, box.byteLimit));
        return;
    }
    box.shownText = typed;
    box.shownBytes = *in.bytes;
    box.shown = true;
    std::string bytes = std::move(*in.bytes);
    run([&box, &bytes] { box.set(bytes); });
}

void MainWindow::syncBox(TextBox& box) {
    const std::string& now = box.get();
    if (box.shown && now == box.shownBytes) return;
    box.shownBytes = now;
    box.shownText = toQString(now);
    box.shown = true;
    box.edit->setText(box.shownText);
    box.edit->setCursorPosition(0);
}

MainWindow::StoreArea& MainWindow::bindArea(StoreArea& area, QPlainTextEdit* edit,
                                            devlist::LineStore* store) {
    area.edit = edit;
    area.store = store;
    area.editable = !edit->isReadOnly();
    if (area.editable) {
        connect(edit, &QPlainTextEdit::textChanged, this, [this, &area] { areaEdited(area); });
    }
    return area;
}

void MainWindow::areaEdited(StoreArea& area) {
    if (m_refreshing) return;
    BoxInput in = checkAreaInput(area.edit->toPlainText());
    if (!in.bytes) {
        area.shown = false;  // shown again from the store, which the refused input never reached
        showHint(area.edit, refusalHint(in.refusal, 0));
        refresh();
        return;
    }
    run([&area, &in] {
        area.store->setText(*in.bytes);
        area.shownLines = area.store->lines();
    });
}

void MainWindow::syncArea(StoreArea& area) {
    const std::vector<std::string>& now = area.store->lines();
    if (area.shown && now == area.shownLines) return;
    size_t bytes = 0;
    bool longLine = false;
    for (const std::string& line : now) {
        bytes += line.size() + 2;
        longLine = longLine || line.size() > static_cast<size_t>(kShownPieceChars);
    }
    const bool tailOnly = bytes > area.tailBytes || now.size() > area.tailLines || longLine;
    if (area.editable && area.edit->isReadOnly() != tailOnly) area.edit->setReadOnly(tailOnly);
    if (tailOnly) {
        showAreaTail(area);
        return;
    }
    QPlainTextEdit* edit = area.edit;
    const std::vector<std::string>& old = area.shownLines;
    size_t common = 0;
    if (area.shown && !area.tailOnly) {
        while (common < old.size() && common < now.size() && old[common] == now[common]) ++common;
    }
    auto joined = [&now](size_t from) {
        QString text;
        for (size_t i = from; i < now.size(); ++i) {
            if (i > from) text += u'\n';
            text += lineForDisplay(now[i]);
        }
        return text;
    };
    if (!area.shown || common == 0 || now.empty()) {
        edit->setPlainText(joined(0));
    } else {
        // Only the lines from the first difference on are replaced: a growing terminal text
        // costs its new lines, not the whole text again.
        QTextDocument* doc = edit->document();
        QTextCursor c(doc);
        if (common < old.size()) {
            QTextBlock first = doc->findBlockByNumber(static_cast<int>(common));
            if (common == now.size()) {
                // Lines were removed from the end: cut from the end of the last kept line.
                QTextBlock last = first.previous();
                c.setPosition(last.position() + last.length() - 1);
            } else {
                c.setPosition(first.position());
            }
            c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            c.insertText(joined(common));
        } else {
            c.movePosition(QTextCursor::End);
            c.insertText(QStringLiteral("\n") + joined(common));
        }
    }
    area.shownLines = now;
    area.shown = true;
    area.tailOnly = false;
    if (area.followEnd) showNewestLine(edit);
}

// The newest lines of the store, as many as the tail holds, long lines in pieces.
void MainWindow::showAreaTail(StoreArea& area) {
    const std::vector<std::string>& now = area.store->lines();
    size_t first = now.size();
    size_t bytes = 0;
    while (first > 0 && now.size() - first < area.tailLines && bytes < area.tailBytes) {
        --first;
        bytes += now[first].size() + 2;
    }
    QString text;
    qsizetype lineChars = 0;
    for (size_t i = first; i < now.size(); ++i) {
        if (i > first) {
            text += u'\n';
            lineChars = 0;
        }
        std::string_view line = now[i];
        // An endless first line: its end only.
        if (i == first && bytes > area.tailBytes && line.size() > area.tailBytes)
            line = line.substr(line.size() - area.tailBytes);
        text += inPieces(lineForDisplay(std::string(line)), lineChars);
    }
    area.edit->setPlainText(text);
    area.shownLines = now;
    area.shown = true;
    area.tailOnly = true;
    if (area.followEnd) showNewestLine(area.edit);
}

void MainWindow::bindCheck(QAbstractButton* box, bool* field) {
    m_checks.push_back({box, field});
    connect(box, &QAbstractButton::clicked, this,
            [this, field](bool on) { run([field, on] { *field = on; }); });
}

void MainWindow::bindChoice(QComboBox* box, int* field) {
    m_choices.push_back({box, field});
    connect(box, &QComboBox::activated, this,
            [this, field](int index) { run([field, index] { *field = index; }); });
}

void MainWindow::showHint(QWidget* at, const QString& hint) {
    m_inputHint->setText(hint);
    m_hintTimer.start(5000);
    QToolTip::showText(at->mapToGlobal(QPoint(0, at->height())), hint, at);
}

}  // namespace ui
