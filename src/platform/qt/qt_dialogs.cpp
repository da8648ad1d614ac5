#include "platform/qt/qt_dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "platform/qt/qt_text.h"

namespace platform::qt {
namespace {

const QString kCaption = QStringLiteral("QLX-Setting");

// Messages carry device and file text, which may look like markup: always shown as typed.
int exec(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    return box.exec();
}

int run(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton escape) {
    QMessageBox box(icon, kCaption, toQString(text), buttons, parent);
    box.setEscapeButton(escape);
    return exec(box);
}

// The pattern alone is the filter, without a description around it.
QString nameFilter(const std::string& filter) {
    return toQString(filter);
}

}  // namespace

std::optional<std::string> chooserPath(const QString& path) {
    return fromQString(path);
}

std::optional<std::string> QtDialogs::chosen(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    auto bytes = chooserPath(path);
    if (!bytes) {
        QMessageBox box(QMessageBox::Warning, kCaption,
                        path + QStringLiteral("\n") +
                            ui("このパスには Shift-JIS で表せない文字があるため使用できません。"),
                        QMessageBox::Ok, m_parent);
        exec(box);
    }
    return bytes;
}

void QtDialogs::warning(const std::string& text) {
    run(m_parent, QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
}
void QtDialogs::information(const std::string& text) {
    run(m_parent, QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}
void QtDialogs::error(const std::string& text) {
    run(m_parent, QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
}
bool QtDialogs::confirm(const std::string& text) {
    return run(m_parent, QMessageBox::Question, text, QMessageBox::Ok | QMessageBox::Cancel,
               QMessageBox::Cancel) == QMessageBox::Ok;
}
bool QtDialogs::askYesNo(const std::string& text) {
    return run(m_parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> QtDialogs::inputText(const std::string& caption,
                                                const std::string& prompt,
                                                const std::string& initial) {
    bool ok = false;
    QString s = QInputDialog::getText(m_parent, toQString(caption), toQString(prompt),
                                      QLineEdit::Normal, toQString(initial), &ok);
    if (!ok) return std::nullopt;
    return fromQString(s);
}

std::optional<std::string> QtDialogs::openFile(const FileChoice& choice) {
    QString dir = toQString(choice.directory);
    if (!choice.fileName.empty()) dir += QStringLiteral("/") + toQString(choice.fileName);
    return chosen(QFileDialog::getOpenFileName(m_parent, toQString(choice.title), dir,
                                               nameFilter(choice.filter)));
}

std::optional<std::string> QtDialogs::saveFile(const FileChoice& choice) {
    QString dir = toQString(choice.directory);
    if (!choice.fileName.empty()) {
        if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
        dir += toQString(choice.fileName);
    }
    return chosen(QFileDialog::getSaveFileName(m_parent, toQString(choice.title), dir,
                                               nameFilter(choice.filter)));
}

}  // namespace platform::qt
