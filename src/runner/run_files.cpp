#include "runner/run_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

#include "devlist/list_file.h"
#include "fleet/list_writer.h"
#include "fleet/record_identity.h"
#include "fleet/selection.h"
#include "platform/files.h"
#include "runner/messages.h"
#include "runner/run_texts.h"
#include "text/cp932.h"

namespace runner {
namespace {

namespace fs = std::filesystem;

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

// A folder this process may make files in.
bool writableFolder(const fs::path& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

RunFiles LocateRunFiles(const CliOptions& o) {
    RunFiles f;
    const fleet::WindowFiles window =
        fleet::LocateWindowFiles(platform::programPathNative().parent_path());
    const std::filesystem::path ini =
        o.iniFile.empty() ? window.settingsFile : std::filesystem::path(o.iniFile);
    // The window starts with the defaults when its settings file is missing; a file named on the
    // command line must be there.
    if (!o.iniFile.empty() || platform::fileExistsNative(ini)) {
        auto bytes = platform::readFileNative(ini);
        if (!bytes) {
            f.error = Fill(Tr("cannot read the settings file %1: %2"),
                           {ini.string(), ReasonUnreadable(ini)});
            return f;
        }
        f.settings = fleet::ReadRunSettings(*bytes);
    }
    if (o.pace) f.settings.pace = *o.pace;
    f.settingsFile = ini;
    f.listFile = o.listFile.empty() ? f.settings.listFile : o.listFile;
    f.workFolder = o.workFolder.empty() ? window.workFolder : std::filesystem::path(o.workFolder);
    return f;
}

std::string ReportClash(const fs::path& report, const RunFiles& files) {
    if (report.empty()) return {};
    if (sameFile(report, text::toPath(files.listFile)))
        return Fill(Tr("the report %1 is the device list"), {report.string()});
    if (sameFile(report, files.settingsFile))
        return Fill(Tr("the report %1 is the settings file"), {report.string()});
    return {};
}

std::string SecondNameProblem(const RunFiles& files) {
    const unsigned long names = fleet::ListNameCount(files.listFile);
    if (names < 2) return {};
    return Fill(Tr("the device list %1 has %2 names (hard links): give it one name, or copy it"),
                {text::toPath(files.listFile).string(), std::to_string(names)});
}

std::string UnusablePlace(const RunFiles& files, const fs::path& report) {
    if (!platform::createDirectoriesNative(files.workFolder) || !writableFolder(files.workFolder))
        return Fill(Tr("cannot write into the work folder %1"), {files.workFolder.string()});
    // Every result takes the lock beside the list and rewrites the list (in place where its
    // folder takes no new file).
    const fs::path list = text::toPath(files.listFile);
    const fs::path lock = fleet::LockPathOf(files.listFile);
    // A FIFO or a device there would take the run's writes nowhere: every result would be lost
    // after its device was served.
    struct stat named {};
    if (::lstat(lock.c_str(), &named) == 0 && !S_ISREG(named.st_mode))
        return Fill(Tr("the lock file %1 is not a plain file"), {lock.string()});
    const int fd = platform::openLockFile(lock);
    if (fd < 0) return Fill(Tr("cannot make the lock file %1"), {lock.string()});
    ::close(fd);
    if (::access(list.c_str(), W_OK) != 0)
        return Fill(Tr("cannot write the device list %1: %2"),
                    {list.string(), SystemReason(errno)});
    if (std::string names = SecondNameProblem(files); !names.empty()) return names;
    if (!report.empty()) {
        std::error_code ec;
        const fs::file_status st = fs::status(report, ec);
        if (fs::exists(st) && !fs::is_regular_file(st))
            return Fill(Tr("the report %1 is not a regular file"), {report.string()});
        const fs::path folder = report.has_parent_path() ? report.parent_path() : fs::path(".");
        if (!writableFolder(folder))
            return Fill(Tr("cannot write the report into %1"), {folder.string()});
    }
    return {};
}

std::optional<fleet::LoadedList> LoadRunList(const Terminal& t, const RunFiles& files) {
    auto list = fleet::LoadList(files.listFile);
    if (!list) {
        SayListUnreadable(t, files.listFile);
        return std::nullopt;
    }
    SayLoadNotes(t, files.listFile, devlist::BuildListRecords(list->raw));
    return list;
}

std::vector<fleet::FleetDevice> SelectDevices(const Terminal& t, const CliOptions& o,
                                              const fleet::LoadedList& list) {
    std::vector<fleet::FleetDevice> devices;
    // Every identity refers to the list as loaded, which tells a record from its twins.
    const auto start = std::make_shared<const devlist::LineStore>(list.raw);
    for (int index : fleet::Select(o.selection, list.records)) {
        const int raw = list.rawLine[static_cast<size_t>(index)];
        devices.push_back(
            {index + 1, list.records[static_cast<size_t>(index)], fleet::IdentityOf(start, raw)});
    }
    // An empty selection is a mistake in the command line, not a run that went well.
    if (devices.empty())
        t.complain(NothingSelected(fleet::WhyNothingSelected(o.selection, list.records)));
    return devices;
}

}  // namespace runner
