#include "ControlTestForm.h"
#include "TestApplication.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Checks that OnCreate comes after every after-load step and OnDestroy while the controls are
// still there.
class TLifecycleForm : public TControlTestForm {
public:
    QStringList Events;
    TLifecycleForm() {
        OnCreate = [this](TComponent* sender) {
            EXPECT_EQ(sender, this);
            Events.append(ComboBoxSmoothing->IsLoading() ? "create-early" : "create");
            // The combo box applies its designed index in its after-load step.
            EXPECT_EQ(ComboBoxSmoothing->ItemIndex(), 1);
        };
        OnShow = [this](TComponent*) { Events.append(QStringLiteral("show")); };
        OnDestroy = [this](TComponent*) {
            Events.append(QStringLiteral("destroy"));
            Log().append(Events);
            Log().append(CheckBoxDevice->Caption());
        };
    }
    static QStringList& Log() {
        static QStringList log;
        return log;
    }
};

TEST(Form, GeometryAndCaptionFromTheFormResource) {
    TControlTestForm form;
    EXPECT_EQ(form.Caption(), QStringLiteral("Control test form"));
    EXPECT_EQ(form.Name(), QStringLiteral("ControlTestForm"));
    EXPECT_EQ(form.ClientWidth(), 330);
    EXPECT_EQ(form.ClientHeight(), 146);
    EXPECT_EQ(form.Left(), 0);
    EXPECT_EQ(form.Top(), 0);
    EXPECT_GE(form.Width(), form.ClientWidth());
    EXPECT_GE(form.Height(), form.ClientHeight());
    EXPECT_EQ(form.BorderStyle(), bsSingle);
    EXPECT_EQ(form.WindowState(), wsNormal);
    // Single border: the size is fixed.
    EXPECT_EQ(form.minimumSize(), QSize(330, 146));
    EXPECT_EQ(form.maximumSize(), QSize(330, 146));
    form.SetClientWidth(300);
    EXPECT_EQ(form.maximumSize(), QSize(300, 146));
}

TEST(Form, PositionSettersTouchOnlyTheirOwnCoordinate) {
    TControlTestForm form;
    form.SetLeft(120);
    EXPECT_EQ(form.Left(), 120);
    EXPECT_EQ(form.Top(), 0);
    form.SetTop(-40); // a monitor to the upper left: taken as it is
    EXPECT_EQ(form.Left(), 120);
    EXPECT_EQ(form.Top(), -40);
    form.show();
    EXPECT_EQ(form.frameGeometry().topLeft(), QPoint(120, -40));
}

TEST(Form, WindowStateOrdinals) {
    TControlTestForm form;
    form.SetBorderStyle(bsSizeable);
    form.SetWindowState(wsMaximized);
    EXPECT_EQ(form.WindowState(), wsMaximized);
    EXPECT_EQ(int(form.WindowState()), 2);
    form.SetWindowState(wsMinimized);
    EXPECT_EQ(int(form.WindowState()), 1);
    form.SetWindowState(wsNormal);
    EXPECT_EQ(int(form.WindowState()), 0);
}

TEST(Form, AnchoredControlsFollowTheEdgesOnResize) {
    TControlTestForm form;
    form.SetBorderStyle(bsSizeable);
    const QRect report = form.LabelReport->geometry();
    const QRect close = form.ButtonClose->geometry();
    const QRect check = form.CheckBoxDevice->geometry();
    form.show();
    form.resize(form.width() + 30, form.height() + 20);
    // Resized while hidden: the controls follow when the window shows.
    form.hide();
    form.resize(form.width() + 10, form.height() + 5);
    form.show();
    EXPECT_EQ(form.LabelReport->geometry(), report.translated(0, 25)); // left, bottom
    EXPECT_EQ(form.ButtonClose->geometry(), close.translated(40, 25)); // right, bottom
    EXPECT_EQ(form.CheckBoxDevice->geometry(), check);                 // left, top
}

TEST(Form, CreateShowDestroyOrder) {
    testui::RecordingApplication app;
    TLifecycleForm::Log().clear();
    {
        TFormPtr<TLifecycleForm> form = ui::CreateForm<TLifecycleForm>();
        EXPECT_EQ(form->Events, QStringList{"create"});
        form->Show();
        form->hide();
        form->Show();
        EXPECT_EQ(form->Events, (QStringList{"create", "show", "show"}));
    }
    EXPECT_EQ(TLifecycleForm::Log(),
              (QStringList{"create", "show", "show", "destroy", "Use device 1"}));
    EXPECT_TRUE(app.Boxes.empty());
}

TEST(Form, ExceptionInCreateIsReportedAndTheFormStillMade) {
    testui::RecordingApplication app;
    class TFailingForm : public TControlTestForm {
    public:
        TFailingForm() {
            OnCreate = [](TComponent*) { throw Exception(QStringLiteral("No create today")); };
        }
    };
    TFormPtr<TFailingForm> form = ui::CreateForm<TFailingForm>();
    ASSERT_TRUE(form);
    ASSERT_EQ(app.Boxes.size(), 1u);
    EXPECT_EQ(app.Boxes[0].Text, QStringLiteral("No create today"));
}

TEST(Application, RunEndsWhenTheMainFormClosesAndFreesItsForms) {
    TLifecycleForm::Log().clear();
    {
        testui::RecordingApplication app;
        app.MainFormOnTaskbar = true;
        TLifecycleForm* form = app.CreateForm<TLifecycleForm>();
        TControlTestForm* second = app.CreateForm<TControlTestForm>();
        EXPECT_EQ(app.MainForm(), form);
        second->show();
        // Closing another form does not end the program; closing the main form does.
        form->OnShow = [form, second](TComponent*) {
            QTimer::singleShot(0, second, [second] { second->Close(); });
            QTimer::singleShot(0, form, [form] { form->Close(); });
        };
        app.Run();
        EXPECT_TRUE(app.Terminated());
        EXPECT_FALSE(form->isVisible());
        EXPECT_TRUE(TLifecycleForm::Log().isEmpty());
    }
    EXPECT_EQ(TLifecycleForm::Log(), (QStringList{"create", "destroy", "Use device 1"}));
    EXPECT_EQ(Application, nullptr);
}

TEST(Application, MessageBoxIsPlainWithTheTitle) {
    testui::RecordingApplication app;
    const QString text = QStringLiteral("first line\rsecond line");
    EXPECT_EQ(app.MessageBox(text), IDOK);
    ASSERT_EQ(app.Boxes.size(), 1u);
    EXPECT_EQ(app.Boxes[0].Text, text);
    EXPECT_EQ(app.Boxes[0].Caption, QStringLiteral("Testapp"));
    EXPECT_EQ(app.Boxes[0].Flags, MB_OK);

    app.SetTitle(QString());
    EXPECT_EQ(app.Title(), QCoreApplication::applicationName());
}

TEST(Application, DesignedFontIsSubstitutedWhenMissing) {
    testui::RecordingApplication app;
    TControlTestForm form;
    const QFontInfo used(form.font());
    EXPECT_EQ(form.font().family(), QStringLiteral("Tahoma"));
    EXPECT_TRUE(used.family() == QStringLiteral("Tahoma") ||
                used.family().startsWith(QStringLiteral("DejaVu Sans")))
        << qPrintable(used.family());
}

} // namespace
