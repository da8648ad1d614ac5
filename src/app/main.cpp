// Program entry: wires the Qt adapters of the ports to the App, runs the start-up before the
// window is shown, and runs the event loop until the window may close.
#include <QApplication>
#include <QWidget>

#include "platform/files.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_event_loop.h"
#include "shell/app.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(true);

    platform::qt::QtEventLoop loop;
    platform::qt::QtDialogs dialogs;
    shell::App app(loop, dialogs, platform::programPathNative());

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
