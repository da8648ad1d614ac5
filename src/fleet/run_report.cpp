#include "fleet/run_report.h"

#include <cstdio>

#include "devlist/fields.h"
#include "fleet/result_rule.h"
#include "session/file_names.h"
#include "text/cp932.h"

namespace fleet {
namespace {

std::string stamp(const platform::LocalTime& t) {
    return platform::dateText(t) + " " + platform::timeText(t);
}

std::string seconds(uint32_t ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%03u", ms / 1000, ms % 1000);
    return buf;
}

std::string doubleQuoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// A CSV field: valid code page 932, never a formula, quoted when it holds a comma, a quote or a
// line break.
std::string csvField(const std::string& raw) {
    std::string s = text::validOnly(raw, '?');
    if (!s.empty() && (s[0] == '=' || s[0] == '+' || s[0] == '-' || s[0] == '@')) s.insert(0, "'");
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    return doubleQuoted(s);
}

// A JSON string of code page 932 text: decoded to UTF-8, every invalid byte a U+FFFD.
std::string jsonString(const std::string& cp932) {
    std::string out = "\"";
    for (char c : text::decode(cp932)) {
        auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", b);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string joined(const std::vector<std::string>& files) {
    std::string out;
    for (const auto& f : files) out += (out.empty() ? "" : ";") + f;
    return out;
}

std::string jsonTime(const platform::LocalTime& t) {
    return "\"" + platform::isoText(t) + "\"";
}

std::string jsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i == 0 ? "" : ", ") + jsonString(items[i]);
    return out + "]";
}

}  // namespace

std::string MessageCode(const std::string& message) {
    if (!message.starts_with("#")) return {};
    return message.substr(
        1, message.find(' ') == std::string::npos ? std::string::npos : message.find(' ') - 1);
}

std::string MessageText(const std::string& message) {
    if (!message.starts_with("#")) return message;
    size_t blank = message.find(' ');
    return blank == std::string::npos ? std::string() : message.substr(blank + 1);
}

std::string ReportCsvHead() {
    return "No,Name,Address,Port,Start,End,Seconds,Code,Result,Files,Changed,Recorded\r\n";
}

std::string ReportCsvRow(const ReportRow& r) {
    std::string out;
    for (const std::string& f :
         {devlist::ZeroPad(r.number, 3), r.name, r.address, std::to_string(r.port), stamp(r.start),
          stamp(r.end), seconds(r.durationMs), MessageCode(r.message), MessageText(r.message)}) {
        out += csvField(f);
        out += ',';
    }
    out += csvField(joined(r.files));
    out += ',';
    out += csvField(ChangedColumn(r.changed));
    out += ',';
    out += RecordedColumn(r.recorded);
    out += "\r\n";
    return out;
}

std::string ReportCsv(const std::vector<ReportRow>& rows) {
    std::string out = ReportCsvHead();
    for (const ReportRow& r : rows) out += ReportCsvRow(r);
    return out;
}

std::string ReportJson(const RunSummary& run, const std::vector<ReportRow>& rows) {
    std::string out = "{\n  \"run\": {\"verb\": " + jsonString(run.verb) +
                      ", \"selection\": " + jsonString(run.selection) +
                      ", \"start\": " + jsonTime(run.start) + ", \"end\": " + jsonTime(run.end) +
                      ", \"counts\": {\"selected\": " + std::to_string(run.selected) +
                      ", \"served\": " + std::to_string(rows.size()) +
                      ", \"ok\": " + std::to_string(run.ok) +
                      ", \"failed\": " + std::to_string(run.failed) +
                      ", \"unrecorded\": " + std::to_string(run.unrecorded) +
                      "}, \"version\": " + jsonString(run.version) + "},\n  \"devices\": [";
    for (size_t i = 0; i < rows.size(); ++i) {
        const ReportRow& r = rows[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"no\": " + std::to_string(r.number) + ", \"name\": " + jsonString(r.name) +
               ", \"address\": " + jsonString(r.address) + ", \"port\": " + std::to_string(r.port) +
               ", \"start\": " + jsonTime(r.start) + ", \"end\": " + jsonTime(r.end) +
               ", \"seconds\": " + seconds(r.durationMs) +
               ", \"code\": " + jsonString(MessageCode(r.message)) +
               ", \"result\": " + jsonString(MessageText(r.message)) +
               ", \"ok\": " + (IsSuccessMessage(r.message) ? "true" : "false") +
               ", \"files\": " + jsonArray(r.files) + ", \"changed\": ";
        if (r.changed) {
            out += "{\"count\": " + std::to_string(r.changed->size()) +
                   ", \"names\": " + jsonArray(*r.changed) + "}";
        } else {
            out += "null";
        }
        out += ", \"recorded\": ";
        out += r.recorded ? (*r.recorded ? "true" : "false") : "null";
        out += "}";
    }
    return out + (rows.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string ChangedColumn(const std::optional<std::vector<std::string>>& changed) {
    if (!changed) return {};
    if (changed->empty()) return "0";
    std::string names;
    for (const std::string& name : *changed) {
        if (!names.empty()) names += ';';
        names += name.find_first_of(";\"") == std::string::npos ? name : doubleQuoted(name);
    }
    return std::to_string(changed->size()) + ": " + names;
}
std::string RecordedColumn(std::optional<bool> recorded) {
    return recorded ? (*recorded ? "yes" : "no") : "";
}

bool IsJsonReport(const std::filesystem::path& report) {
    std::string ext = report.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".json";
}

std::filesystem::path TranscriptFolder(const std::filesystem::path& report) {
    std::filesystem::path folder = report;
    folder.replace_extension();
    if (folder == report) folder += ".d";  // a report without extension keeps its name
    return folder;
}

std::string TranscriptName(int number, const std::string& address) {
    return session::SafeFileName("No" + devlist::ZeroPad(number, 3) + "-" + address + ".txt");
}

}  // namespace fleet

namespace fleet {

std::string CsvField(const std::string& raw) {
    return csvField(raw);
}

std::string JsonString(const std::string& cp932) {
    return jsonString(cp932);
}

std::string NamesColumn(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) {
        if (!out.empty()) out += ';';
        out += name.find_first_of(";\"") == std::string::npos ? name : doubleQuoted(name);
    }
    return out;
}

}  // namespace fleet
