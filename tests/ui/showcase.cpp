// Shows the control test form as a program would, for a look at it (and a screenshot).
// With an argument, saves a picture of the form to that PNG file after it has been shown.
#include "ui_ControlTestForm.h"

#include "Forms.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

namespace {

class TShowcaseForm : public TForm, public Ui::ControlTestForm {
public:
    TShowcaseForm() {
        setupUi(this);
        ui::FinishLoading(this);
        OnCreate = [this](TComponent*) {
            DateTimePickerStart->SetDateTime(EncodeTime(10, 50, 0, 0));
            DateTimePickerStop->SetDateTime(EncodeTime(11, 17, 0, 0));
            DateTimePickerStartDate->SetDateTime(EncodeDate(2017, 10, 5));
        };
        ButtonClose->OnClick = [this](TComponent*) { Close(); };
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication qtApplication(argc, argv);
    TApplication application;
    Application->Initialize();
    Application->MainFormOnTaskbar = true;
    Application->SetTitle(QStringLiteral("Showcase"));
    TShowcaseForm* form = Application->CreateForm<TShowcaseForm>();
    if (argc > 1) {
        const QString file = QString::fromLocal8Bit(argv[1]);
        QTimer::singleShot(500, form, [form, file] {
            form->grab().save(file);
            form->Close();
        });
    }
    Application->Run();
    return 0;
}
