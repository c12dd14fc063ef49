// The plotting program: the shared units' start-up, the application object, the plotting
// window as main form with the first argument as its log-file mask, the message loop, then the
// shut-downs in reverse. No application title is set.
#include "Dipviewform.h"
#include "Forms.h"
#include "SharedUnits.h"

#include <QApplication>

int main(int argc, char** argv) {
    TSharedUnits sharedUnits;
    QApplication qtApplication(argc, argv);
    TApplication application;
    Application->Initialize();
    Application->MainFormOnTaskbar = true;
    const QStringList arguments = QCoreApplication::arguments();
    Application->CreateForm<TFormDipview>(arguments.value(1));
    Application->Run();
    return 0;
}
