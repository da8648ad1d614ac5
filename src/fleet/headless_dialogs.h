// The dialogs port for a program without a window: nothing is asked (every question is
// answered no, every chooser cancelled) and the texts of the boxes go to one line handler.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/dialogs.h"

namespace fleet {

class HeadlessDialogs : public platform::Dialogs {
public:
    explicit HeadlessDialogs(std::function<void(const std::string&)> line)
        : m_line(std::move(line)) {}
    void warning(const std::string& text) override { m_line(text); }
    void information(const std::string& text) override { m_line(text); }
    void error(const std::string& text) override { m_line(text); }
    bool confirm(const std::string&) override { return false; }
    bool askYesNo(const std::string&) override { return false; }
    std::optional<std::string> inputText(const std::string&, const std::string&,
                                         const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> openFile(const platform::FileChoice&) override { return {}; }
    std::optional<std::string> saveFile(const platform::FileChoice&) override { return {}; }

private:
    std::function<void(const std::string&)> m_line;
};

}  // namespace fleet
