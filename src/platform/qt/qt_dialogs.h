// The dialogs port on QMessageBox, QInputDialog and QFileDialog.
#pragma once

#include "platform/dialogs.h"

class QWidget;

namespace platform::qt {

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
    QWidget* m_parent;
};

}  // namespace platform::qt
