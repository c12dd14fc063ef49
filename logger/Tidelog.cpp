// The logging program: the shared units' start-up, the application object, the logging window
// as main form, the message loop, then the shut-downs in reverse.
#include "Forms.h"
#include "SharedUnits.h"
#include "Tidelogform.h"

#include <QApplication>

int main(int argc, char** argv) {
    TSharedUnits sharedUnits;
    QApplication qtApplication(argc, argv);
    TApplication application;
    Application->Initialize();
    Application->MainFormOnTaskbar = true;
    Application->SetTitle(QStringLiteral("Tidelog"));
    Application->CreateForm<TSNRlogger>();
    Application->Run();
    return 0;
}
