#include "session/session_files.h"

#include <cerrno>

#include "platform/files.h"
#include "session/file_names.h"
#include "text/cp932.h"

namespace session {

void SessionFiles::nameFromDevice(devlist::EditPanel& served) {
    if (!m_ctx.panel.saveName.empty()) return;
    std::string name = ReportedSaveName(m_ctx.panel.rec.macAddress, m_ctx.uniqueSaveName);
    if (name != m_ctx.uniqueSaveName && m_ctx.claimSaveName && !m_ctx.claimSaveName(name))
        name = m_ctx.uniqueSaveName;
    served.saveName = name;
    m_ctx.panel.saveName = std::move(name);
}

std::string SessionFiles::header(std::string_view title, std::string_view name) const {
    const auto& rec = m_ctx.panel.rec;
    platform::LocalTime now = m_ctx.clock.now();
    return std::string(title) + std::string(name) + "IP:" + rec.ipAddress +
           " MAC:" + rec.macAddress + " " + platform::shortDateText(now) + " " +
           platform::timeText(now);
}

std::string SessionFiles::dumpName(bool beforeWrite) const {
    const std::string& saveName = m_ctx.panel.saveName;
    return beforeWrite ? PreWriteDumpName(saveName) : PostWriteDumpName(saveName);
}

std::string SessionFiles::log20Name() const {
    return Log20FileName(m_ctx.panel.saveName, m_ctx.panel.rec.macAddress, m_ctx.uniqueSaveName);
}

std::string SessionFiles::commLogName() const {
    return CommLogName(m_ctx.panel.saveName);
}

std::optional<SaveFailure> SessionFiles::write(const std::string& name, std::string_view bytes) {
    std::filesystem::path path = platform::nativeIn(m_ctx.workFolder, name);
    if (m_ctx.saves ? m_ctx.saves->write(path, bytes)
                    : platform::writeFileAtomicNative(path, bytes)) {
        m_saved.push_back(name);
        return std::nullopt;
    }
    const int error = errno;
    return SaveFailure{std::move(path), error};
}

void SessionFiles::save(const std::string& name, std::string bytes, std::shared_ptr<bool> alive,
                        std::function<void(std::optional<SaveFailure>)> done) {
    std::filesystem::path path = platform::nativeIn(m_ctx.workFolder, name);
    m_ctx.saver->save(
        path, std::move(bytes),
        [this, name, path, alive = std::move(alive), done = std::move(done)](int error) {
            if (!*alive) return;
            if (error != 0) return done(SaveFailure{path, error});
            m_saved.push_back(name);
            done(std::nullopt);
        });
}

namespace {
std::string saveFailureTail() {
    return text::sj(" に書き込めません");
}
}  // namespace

std::string SaveFailureBox(const std::filesystem::path& file) {
    return text::fromPath(file) + saveFailureTail();
}

bool IsSaveFailureBox(std::string_view text) {
    return text.ends_with(saveFailureTail());
}

void SessionFiles::tell(const SaveFailure& failure) const {
    m_ctx.dialogs.error(SaveFailureBox(failure.file));
}

}  // namespace session
