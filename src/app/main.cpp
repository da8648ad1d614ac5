// Program entry: reads the command line, wires the Qt adapters of the ports to the App, runs the
// start-up before the window is shown, and runs the event loop until the window may close.
#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/display_check.h"
#include "app/options.h"
#include "app/program_icon.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_host_address.h"
#include "platform/qt/qt_tcp_socket.h"
#include "platform/qt/qt_udp_socket.h"
#include "shell/app.h"
#include "ui/main_window.h"

namespace {

// The file names in every folder Qt looks for platform plugins in.
std::vector<std::string> platformPluginFiles() {
    QStringList folders{QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms"};
    for (const char* variable : {"QT_QPA_PLATFORM_PLUGIN_PATH", "QT_PLUGIN_PATH"}) {
        const QString value = qEnvironmentVariable(variable);
        for (const QString& part : value.split(':', Qt::SkipEmptyParts)) {
            folders << (variable[3] == 'Q' ? part : part + "/platforms");
        }
    }
    std::vector<std::string> files;
    for (const QString& folder : folders) {
        for (const QString& name : QDir(folder).entryList(QDir::Files)) {
            files.push_back(name.toStdString());
        }
    }
    return files;
}

// Installed only while the application object is made: Qt's platform plugin loader reports a
// missing display or plugin with several lines and then stops the program. Its own lines are
// held back and one line says what is missing instead.
void onPlatformStartMessage(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
    if (type == QtFatalMsg) {
        const app::DisplayEnvironment env = app::DisplayEnvironment::fromProcess();
        const std::string line =
            app::PlatformFailureMessage(app::PlatformName({}, env), env, platformPluginFiles());
        std::fprintf(stderr, "%s\n", line.c_str());
        std::_Exit(app::kExitNoWindow);
    }
    if (context.category && std::strncmp(context.category, "qt.qpa.", 7) == 0) return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

int main(int argc, char** argv) {
    platform::ReturnLargeBuffersToTheSystem();
    // The options are read before Qt sees the command line, so --help works without a display.
    app::Options options = app::ParseOptions(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "qlx-setting: %s\nTry qlx-setting --help\n", options.error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(app::kUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::fputs("qlx-setting " QLX_VERSION "\n", stdout);
        return 0;
    }
    const app::DisplayEnvironment env = app::DisplayEnvironment::fromProcess();
    const std::string platform = app::PlatformName(options.platform, env);
    bool displayOption = false;
    for (int i = 1; i < argc; ++i) displayOption |= std::strcmp(argv[i], "-display") == 0;
    if (std::string missing = app::MissingDisplayMessage(platform, env, displayOption);
        !missing.empty()) {
        std::fprintf(stderr, "%s\n", missing.c_str());
        return app::kExitNoWindow;
    }
    // The message handler reads the platform from the environment: while the application is
    // made, -platform stands there too. Programs the desktop hand-offs start see it as it was.
    if (!options.platform.empty()) qputenv("QT_QPA_PLATFORM", options.platform.c_str());
    qInstallMessageHandler(onPlatformStartMessage);
    QApplication application(argc, argv);
    qInstallMessageHandler(nullptr);
    if (!options.platform.empty()) {
        if (env.qpaPlatform.empty()) {
            qunsetenv("QT_QPA_PLATFORM");
        } else {
            qputenv("QT_QPA_PLATFORM", env.qpaPlatform.c_str());
        }
    }
    QApplication::setQuitOnLastWindowClosed(true);
    // Qt's own texts, the standard buttons of every question among them, in Japanese as the
    // rest of the window. Without Debian's qt6-translations-l10n they stay English.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ja"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }

    platform::qt::QtEventLoop loop;
    platform::qt::QtDialogs dialogs;
    platform::SystemClock clock;
    platform::qt::QtNetwork network;
    platform::qt::QtUdpFactory udp;
    platform::qt::QtHostAddress host;
    platform::qt::QtDesktop desktop;
    const fleet::UserEnvironment environment = fleet::UserEnvironment::fromProcess();
    shell::App app(loop, dialogs, platform::programPathNative(),
                   shell::Devices{&clock, &network, &udp, &host, &desktop, &environment});
    app.start().setOwnAddress(options.ownAddress);

    ui::MainWindow window(app);
    window.setWindowIcon(app::ProgramIcon());
    dialogs.setParent(&window);
    // Start-up runs while the window is created, before it is shown: the boxes, the list and
    // the window size are in place when it first appears.
    app.start().startUp();
    window.refresh();

    // A second form exists for the program's lifetime and is never shown.
    QWidget form2;
    form2.setWindowTitle(QStringLiteral("Form2"));

    window.centre();
    window.show();
    return application.exec();
}
