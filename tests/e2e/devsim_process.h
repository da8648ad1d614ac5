// qlx-devsim as a child process for end-to-end tests: started with the given arguments, ready
// once it has announced every device, stopped with SIGTERM when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <string>
#include <vector>

namespace e2e {

class DevSim {
public:
    // Every argument is passed on as it stands; `devices` is how many "listening" lines to await.
    bool start(const std::vector<std::string>& args, int devices) {
        QStringList list;
        for (const auto& a : args) list << QString::fromStdString(a);
        m_process.setProgram(QStringLiteral(QLX_DEVSIM_PATH));
        m_process.setArguments(list);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(5000)) return false;
        QElapsedTimer t;
        t.start();
        int seen = 0;
        while (seen < devices && t.elapsed() < 5000) {
            if (!m_process.canReadLine()) m_process.waitForReadyRead(100);
            while (m_process.canReadLine()) {
                if (m_process.readLine().startsWith("listening")) ++seen;
            }
            if (m_process.state() != QProcess::Running) break;
        }
        return seen >= devices;
    }
    ~DevSim() { stop(); }
    void stop() {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) m_process.kill();
        m_process.waitForFinished(1000);
    }
    std::string errors() { return m_process.readAllStandardError().toStdString(); }

private:
    QProcess m_process;
};

}  // namespace e2e
