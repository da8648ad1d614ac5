// Program entry: reads the command line, wires the Qt adapters of the ports to the App, runs the
// start-up before the window is shown, and runs the event loop until the window may close.
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/options.h"
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

int main(int argc, char** argv) {
    platform::ReturnLargeBuffersToTheSystem();
    // The options are read before Qt sees the command line, so --help works without a display.
    app::Options options = app::ParseOptions(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "qlx-setting: %s\n%s", options.error.c_str(), app::kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(app::kUsage, stdout);
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(true);

    platform::qt::QtEventLoop loop;
    platform::qt::QtDialogs dialogs;
    platform::SystemClock clock;
    platform::qt::QtNetwork network;
    platform::qt::QtUdpFactory udp;
    platform::qt::QtHostAddress host;
    platform::qt::QtDesktop desktop;
    const shell::UserEnvironment environment = shell::UserEnvironment::fromProcess();
    shell::App app(loop, dialogs, platform::programPathNative(),
                   shell::Devices{&clock, &network, &udp, &host, &desktop, &environment});
    app.setOwnAddress(options.ownAddress);

    ui::MainWindow window(app);
    dialogs.setParent(&window);
    // Start-up runs while the window is created, before it is shown: the boxes, the list and
    // the window size are in place when it first appears.
    app.startUp();
    window.refresh();

    // A second form exists for the program's lifetime and is never shown.
    QWidget form2;
    form2.setWindowTitle(QStringLiteral("Form2"));

    window.centre();
    window.show();
    return application.exec();
}
