// The runner's catalogue: every message the runner prints has its Japanese text, with the same
// arguments, and the arguments land where the text puts them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "runner/cli_options.h"
#include "runner/messages.h"

namespace {

// The test data folder need not exist: the path is resolved by its words.
const std::filesystem::path kRunnerSource =
    (std::filesystem::path(QLX_TEST_DATA) / "../../src/runner").lexically_normal();

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The joined literals of every Tr("…") and N_("…") in the runner's sources.
std::vector<std::string> printedTexts() {
    const std::regex call(R"re(\b(?:Tr|N_)\(((?:\s*"(?:[^"\\]|\\.)*")+)\s*\))re");
    const std::regex piece(R"re("((?:[^"\\]|\\.)*)")re");
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(kRunnerSource)) {
        if (entry.path().extension() != ".cpp") continue;
        const std::string source = readText(entry.path());
        for (std::sregex_iterator m(source.begin(), source.end(), call), end; m != end; ++m) {
            const std::string literals = (*m)[1];
            std::string joined;
            for (std::sregex_iterator p(literals.begin(), literals.end(), piece); p != end; ++p)
                joined += (*p)[1];
            out.push_back(joined);
        }
    }
    return out;
}

// msgid -> msgstr, both as written in the file (escapes kept).
std::map<std::string, std::string> catalogue() {
    std::map<std::string, std::string> out;
    std::istringstream in(readText(kRunnerSource / "po/ja.po"));
    std::string line, id;
    const std::regex entry(R"re(^(msgid|msgstr) "(.*)"$)re");
    const std::regex more(R"re(^"(.*)"$)re");  // a text goes on over several lines
    std::string* open = nullptr;
    std::string header;  // the catalogue's own entry, under the empty msgid
    std::smatch m;
    while (std::getline(in, line)) {
        if (open && std::regex_match(line, m, more)) {
            *open += m[1];
        } else if (!std::regex_match(line, m, entry)) {
            open = nullptr;
        } else if (m[1] == "msgid") {
            id = m[2];
            open = &id;
        } else {
            open = id.empty() ? &header : &(out[id] = m[2]);
        }
    }
    return out;
}

std::multiset<std::string> matches(const std::string& text, const std::regex& pattern) {
    std::multiset<std::string> out;
    for (std::sregex_iterator m(text.begin(), text.end(), pattern), end; m != end; ++m)
        out.insert(m->str());
    return out;
}

// As the catalogue file writes a text.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out;
}

std::multiset<std::string> arguments(const std::string& text) {
    std::multiset<std::string> out;
    const std::regex arg("%[1-9]");
    for (std::sregex_iterator m(text.begin(), text.end(), arg), end; m != end; ++m)
        out.insert(m->str());
    return out;
}

}  // namespace

TEST(Catalogue, EveryPrintedTextHasAJapaneseTextWithTheSameArguments) {
    const auto texts = printedTexts();
    ASSERT_GT(texts.size(), 40u);  // the scan found the runner's sources
    const auto japanese = catalogue();
    for (const std::string& english : texts) {
        const auto found = japanese.find(english);
        ASSERT_NE(found, japanese.end()) << "no Japanese text for: " << english;
        EXPECT_FALSE(found->second.empty()) << english;
        EXPECT_NE(found->second, english) << english;
        EXPECT_EQ(arguments(found->second), arguments(english)) << english;
    }
}

TEST(Catalogue, FillPutsEachArgumentWhereTheTextNamesIt) {
    struct Case {
        std::string pattern;
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {"stored %1 records in %2", {"3", "a.csv"}, "stored 3 records in a.csv"},
        {"%2 に%1件を保存しました。", {"3", "a.csv"}, "a.csv に3件を保存しました。"},
        // An argument is never read as a pattern: a file named "%2" stays as it is.
        {"cannot write %1 (%2)", {"%2.csv", "full"}, "cannot write %2.csv (full)"},
        {"100% of %1, %3 missing", {"x"}, "100% of x, %3 missing"},
        {"ends with %", {}, "ends with %"},
    };
    for (const auto& c : cases) EXPECT_EQ(runner::Fill(c.pattern, c.args), c.out) << c.pattern;
}

// The help in Japanese: present for the text as it is now (else it silently stays English), and
// with every option, quoted text, line of usage and form of output of the English one.
TEST(Catalogue, TheHelpHasAJapaneseTextThatKeepsWhatOperatorsType) {
    const auto japanese = catalogue();
    const auto found = japanese.find(escaped(runner::kUsage));
    ASSERT_NE(found, japanese.end()) << "the help has changed: its Japanese text needs it too";
    const std::string& en = found->first;
    const std::string& ja = found->second;
    const struct {
        const char* what;
        std::regex pattern;
    } kept[] = {
        {"options", std::regex("--[a-z-]+")},
        {"quoted texts", std::regex(R"re(\\"[^\\]*\\")re")},
        {"usage lines", std::regex(R"re(qlx-setting-cli [^\\]*)re")},
        {"output lines",
         std::regex(
             R"re(\b(would [a-z]+|changed|added|removed) +(NAME|line)?:? [A-Z][A-Z>: -]*[A-Z])re")},
    };
    for (const auto& k : kept) EXPECT_EQ(matches(ja, k.pattern), matches(en, k.pattern)) << k.what;
}
