// qlx-devsim beside the benchmark program, as a child process: announced ready once every device
// listens; stopped with SIGTERM, and ended with the benchmark however it ends, since a simulator
// left behind would keep its addresses, and the lock other loopback runs wait for, taken.
#pragma once

#include <signal.h>
#include <sys/prctl.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <string>

namespace bench {

inline std::string simPath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "qlx-devsim").string();
}

class DevSim {
public:
    bool start(const QStringList& args, int devices, int readyWithinMs = 10000) {
        m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start(QString::fromStdString(simPath()), args);
        if (!m_process.waitForStarted(5000)) return false;
        QElapsedTimer t;
        t.start();
        int seen = 0;
        while (seen < devices && t.elapsed() < readyWithinMs &&
               m_process.state() == QProcess::Running) {
            if (!m_process.canReadLine()) m_process.waitForReadyRead(100);
            while (m_process.canReadLine()) seen += m_process.readLine().startsWith("listening");
        }
        return seen >= devices;
    }
    ~DevSim() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) m_process.kill();
    }

private:
    QProcess m_process;
};

}  // namespace bench
