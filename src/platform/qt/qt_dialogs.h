// The dialogs port on QMessageBox, QInputDialog and QFileDialog.
#pragma once

#include <QString>

#include "platform/dialogs.h"

class QWidget;

namespace platform::qt {

// A chosen file's path as the program holds it, in code page 932; nullopt for a path code page
// 932 cannot hold, which the program could neither store nor name again unchanged.
std::optional<std::string> chooserPath(const QString& path);

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void warning(const std::string& text) override;
    void information(const std::string& text) override;
    void error(const std::string& text) override;
    bool confirm(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    std::optional<std::string> inputText(const std::string& caption, const std::string& prompt,
                                         const std::string& initial) override;
    std::optional<std::string> openFile(const FileChoice& choice) override;
    std::optional<std::string> saveFile(const FileChoice& choice) override;

private:
    // The chosen path, or nullopt when cancelled or refused (the refusal is shown).
    std::optional<std::string> chosen(const QString& path);
    QWidget* m_parent;
};

}  // namespace platform::qt
