// Entry of the configurator vornik-config.
#include "app/Dialog.h"
#include "app/MainWindow.h"
#include "app/ProjectsVars.h"
#include "app/StopSignalsQt.h"
#include "app/WaitForm.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

int main(int argc, char* argv[]) {
    ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    QApplication app(argc, argv);
    QApplication::setApplicationName("VornikConfig");
    try {
        TfmMain window;
        TWaitForm waitForm;
        // A logout, kill or Ctrl+C closes the window in order.
        TStopSignalsQt stopSignals([&window](int sig) { window.CloseOnSignal(TStopSignalsQt::Name(sig)); });
        window.FormCreate();
        window.show();
        return QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "VornikConfig", QString::fromUtf8(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, "VornikConfig", QString());
    }
    return 1;
}
