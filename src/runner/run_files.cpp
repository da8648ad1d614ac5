#include "runner/run_files.h"

#include "platform/files.h"
#include "text/cp932.h"

namespace runner {

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
            f.error = "cannot read the settings file " + ini.string();
            return f;
        }
        f.settings = fleet::ReadRunSettings(*bytes);
    }
    f.listFile = o.listFile.empty() ? f.settings.listFile : o.listFile;
    f.workFolder = o.workFolder.empty() ? window.workFolder : std::filesystem::path(o.workFolder);
    return f;
}

}  // namespace runner
