// qlx-setting-cli speaks the operator's language, chosen by the locale: under C every line is
// English, under ja_JP.UTF-8 every message is Japanese, and what scripts read (the exit code,
// the report's fields and keys) is the same under both. Lists that went through a spreadsheet
// among them: one it cannot take is refused with the reason and left as it was, a header row is
// skipped with one word.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "runner_fixture.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readBytes;
using testsupport::writeBytes;

constexpr int kLocalePort = 2395;
const std::string kHeader =
    "No,Flags,ListName,IpAddress,HttpPort,TelnetPort,MacAddress,ModelVersion,DeviceName,UserId,"
    "Password,SendFile,LastSend,Message";

std::string localeRec(int no, const std::string& name, int host) {
    return "00" + std::to_string(no) + ",F0000001," + name + ",127.0.95." + std::to_string(host) +
           ",80," + std::to_string(kLocalePort) + ",,,,admin,plume,defalt.txt,,";
}

bool allAscii(const std::string& line) {
    for (unsigned char c : line)
        if (c >= 0x80) return false;
    return true;
}

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The report as scripts read it: every key, and every value but the times.
std::string scriptFields(const std::string& json) {
    static const std::regex times(R"re("(start|end|seconds)": [^,}\]]*)re");
    return std::regex_replace(json, times, "\"$1\": T");
}

class RunnerLocaleE2e : public e2e::RunnerProcessTest {
protected:
    void SetUp() override {
        RunnerProcessTest::SetUp();
        m_files = false;  // each case names its list
        writeList({localeRec(1, "fine", 81), localeRec(2, "refuse", 82)});
        // A spreadsheet's heading row above the records: a note on every load.
        writeBytes(m_dir / "head.csv",
                   devlist::LineStore({"No,Flags,Name", localeRec(2, "fine", 81)}).toBytes());
        startSim({"--no-search", "--port", std::to_string(kLocalePort), "--device", "127.0.95.81",
                  "--device", "127.0.95.82,fault=wrong-password"},
                 2);
    }

    // The run under the locale, from sheet.csv as `sheet` when it is given; its output holds the
    // report as scripts read it.
    e2e::RunnerResult run(const std::string& locale, const std::vector<std::string>& args,
                          const std::string& sheet) {
        if (!sheet.empty()) writeBytes(m_dir / "sheet.csv", sheet);
        fs::remove(m_dir / "r.json");
        e2e::RunnerResult r = runner(args, {{"LC_ALL", locale}});
        r.output = fs::exists(m_dir / "r.json") ? scriptFields(readBytes(m_dir / "r.json")) : "";
        return r;
    }
};

TEST_F(RunnerLocaleE2e, TheLocaleChoosesTheLanguageNeverWhatScriptsRead) {
    const std::vector<std::string> files = {"--ini", "s.Ini", "--work", "work"};
    const std::vector<std::string> sheet = {"check", "--all", "--list", "sheet.csv"};
    // A record as a spreadsheet leaves it: "1" for "001", and its name (UTF-8 here) in English
    // lines too, unless it is ASCII.
    const std::string device = "1,F0000001,room,127.0.95.81,80," + std::to_string(kLocalePort) +
                               ",,,,admin,plume,defalt.txt,,";
    const std::string utf8Device = "1,F0000001,東京本社 ルーム,127.0.95.81,80,2395,,,,,,,,";
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string english;      // once in standard error under C
        std::string japanese;     // once in it under ja_JP.UTF-8
        std::string folder = {};  // stands at a file the run would write, while the case runs
        std::string sheet = {};   // sheet.csv, written before each run
    } cases[] = {
        {{"check", "--all", "--list", "list.csv", "--report", "r.json"},
         1,
         "bulk run: 2 device(s) served (succeeded: 1, failed: 1)",
         "一斉接続 2台 実行しました(成功:1 失敗:1)"},
        {{"plan", "--all", "--list", "list.csv"},
         1,
         "plan: 2 device(s), 0 answered, 2 failed",
         "変更予定: 2台 (応答:0 失敗:2"},
        {{"check", "--list", "nope.csv"},
         3,
         "nope.csv: No such file or directory",
         "nope.csv を読み込めません。(そのようなファイルやディレクトリはありません)"},
        {{"check", "--group", "2", "--list", "list.csv"},
         2,
         "--group 2: none of the 2 records",
         "--group 2: 2台のどれも"},
        {{"check", "--no", "999", "--list", "list.csv"},
         2,
         "--no 999: the list holds records 1 to 2",
         "--no 999: リストの番号は1から2までです"},
        {{"check", "--no", "999", "--list", "head.csv"},
         2,
         "head.csv: line(s) 1 have no number in the number field",
         "head.csv の 1行目は番号の欄が数字ではない"},
        {{"check", "--parallel", "0"}, 2, "--parallel takes 1 to 128", "--parallel には1〜128"},
        {{"check", "--no", "1", "--list", "list.csv", "--report", "r.json"},
         3,
         "QLX00EE80005F51q2.txt: Is a directory",
         "QLX00EE80005F51q2.txt",
         "work/QLX00EE80005F51q2.txt"},
        // A check writes only the dump after a send.
        {{"diff", "1", "--list", "list.csv"},
         3,
         "no dump from before a send: work/QLX00EE80005F51q1.txt",
         "送信前のダンプ work/QLX00EE80005F51q1.txt がありません"},
        {sheet,
         3,
         "sheet.csv is saved as UTF-8",
         "UTF-8で保存されているため",
         {},
         utf8Device + "\n"},
        {sheet, 3, "sheet.csv is saved as UTF-8", "UTF-8", {}, "\xEF\xBB\xBF" + kHeader + "\n"},
        {sheet,
         3,
         "its first line needs the number, a comma and the flag F within its first 10 bytes",
         "1行目の先頭10バイト以内に",
         {},
         "1,\"F0000001\",\"a\",\"127.0.95.81\"\n"},
        {sheet,
         0,
         "sheet.csv: line(s) 1 have no number in the number field",
         "sheet.csv の 1行目は番号の欄が数字ではない(見出し行など)ため、機器として扱いません。",
         {},
         kHeader + "\n" + device + "\n"},
        // Numbers a spreadsheet took for numbers.
        {sheet,
         0,
         "sheet.csv: line(s) 1 have a number that is not three digits",
         "sheet.csv の 1行目は番号が3桁ではありません(001 が 1 など)。",
         {},
         device + "\n"},
        {sheet,
         0,
         "sheet.csv: line(s) 1 run past 255 bytes from the F",
         "sheet.csv の 1行目はFから255バイトを超えるため",
         {},
         device + std::string(250, 'm') + "\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), files.begin(), files.end());
        const std::string what = c.args[1] + " " + c.args[2] + " " + c.sheet.substr(0, 12);
        if (!c.folder.empty()) {
            fs::remove(m_dir / c.folder);  // a dump an earlier case wrote
            fs::create_directories(m_dir / c.folder);
        }
        const e2e::RunnerResult english = run("C", args, c.sheet);
        const std::string afterEnglish = readBytes(m_dir / "sheet.csv");
        const e2e::RunnerResult japanese = run("ja_JP.UTF-8", args, c.sheet);
        if (!c.folder.empty()) fs::remove(m_dir / c.folder);
        EXPECT_EQ(english.code, c.code) << what << "\n" << english.errors;
        EXPECT_EQ(japanese.code, c.code) << what << "\n" << japanese.errors;
        EXPECT_EQ(japanese.output, english.output) << what;
        EXPECT_EQ(count(english.errors, c.english), 1u) << english.errors;
        EXPECT_EQ(count(japanese.errors, c.japanese), 1u) << japanese.errors;
        for (const std::string& line : splitLines(english.errors))
            EXPECT_TRUE(allAscii(line)) << line;
        // A Japanese line may quote names, addresses and options; it has words of its own.
        for (const std::string& line : splitLines(japanese.errors))
            EXPECT_FALSE(allAscii(line)) << line;
        if (c.sheet.empty()) continue;
        // A list refused is left as it was; else its one device is served and a header row kept.
        for (const auto& [r, after] : {std::pair{&english, afterEnglish},
                                       std::pair{&japanese, readBytes(m_dir / "sheet.csv")}}) {
            if (c.code != 0) {
                EXPECT_EQ(after, c.sheet) << what;
                continue;
            }
            const auto before = devlist::LineStore::fromFileBytes(c.sheet);
            const auto lines = devlist::LineStore::fromFileBytes(after);
            ASSERT_EQ(lines.size(), before.size()) << what;
            EXPECT_EQ(lines[0] == kHeader, c.sheet.starts_with(kHeader)) << what;
            EXPECT_EQ(devlist::FieldGet(devlist::kMessage, lines[lines.size() - 1]),
                      text::sj("#000 OK 正常送信"));
            EXPECT_EQ(count(r->errors, "] No."), 1u) << r->errors;
        }
    }
}

}  // namespace
