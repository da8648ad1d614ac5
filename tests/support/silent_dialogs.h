// Dialogs for fuzz targets and benchmarks: nothing is shown, every question gets the same
// answer, the last information and error texts are kept for a look afterwards.
#pragma once

#include <optional>
#include <string>

#include "platform/dialogs.h"

namespace testsupport {

class SilentDialogs : public platform::Dialogs {
public:
    explicit SilentDialogs(bool answer = false) : m_answer(answer) {}
    void warning(const std::string&) override {}
    void information(const std::string& text) override { lastInformation = text; }
    void error(const std::string& text) override { lastError = text; }
    bool confirm(const std::string&) override { return m_answer; }
    bool askYesNo(const std::string&) override { return m_answer; }
    std::optional<std::string> inputText(const std::string&, const std::string&,
                                         const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> openFile(const platform::FileChoice&) override { return {}; }
    std::optional<std::string> saveFile(const platform::FileChoice&) override { return {}; }

    std::string lastInformation;
    std::string lastError;

private:
    bool m_answer;
};

}  // namespace testsupport
