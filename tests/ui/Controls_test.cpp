#include "Probe.h"
#include "TestApplication.h"
#include "ui_LoadingTestForm.h"

#include "Forms.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class TProbeForm : public TForm, public Ui::LoadingTestForm {
public:
    TProbeForm() { setupUi(this); }
    void Loaded() override {
        TForm::Loaded();
        TProbe::Log().append(QStringLiteral("form"));
    }
};

TEST(FinishLoading, GivesEachLoadedComponentItsStepOnceInCreationOrder) {
    TProbe::Log().clear();
    TProbeForm form;
    for (TComponent* c :
         std::initializer_list<TComponent*>{&form, form.ProbeA, form.ProbeB, form.ProbeC})
        EXPECT_TRUE(c->IsLoading());
    EXPECT_TRUE(TProbe::Log().isEmpty());

    // Moved after loading began, ProbeA now comes after ProbeB in the widget tree; the steps
    // still follow the order in which the components were made.
    form.ProbeA->setParent(form.Panel);
    ui::FinishLoading(&form);
    EXPECT_EQ(TProbe::Log(), (QStringList{"form", "ProbeA", "ProbeB", "ProbeC"}));
    EXPECT_FALSE(form.IsLoading());
    EXPECT_FALSE(form.ProbeB->IsLoading());

    // Made in code afterwards: no loading state, and no step from a second call.
    auto* late = new TProbe(form.Panel);
    EXPECT_FALSE(late->IsLoading());
    ui::FinishLoading(&form);
    EXPECT_EQ(TProbe::Log().size(), 4);
}

TEST(FinishLoading, ComponentWithoutLoadingParentIsNotLoading) {
    TProbe loose;
    EXPECT_FALSE(loose.IsLoading());
    QWidget plain;
    TProbe onPlainWidget(&plain);
    EXPECT_FALSE(onPlainWidget.IsLoading());
}

TEST(WidgetComponent, AnchorsReadFromTheFormResourceText) {
    TProbe probe;
    EXPECT_EQ(probe.Anchors(), unsigned(akLeft | akTop));
    probe.setProperty("Anchors", QStringLiteral("akRight, akBottom"));
    EXPECT_EQ(probe.Anchors(), unsigned(akRight | akBottom));
    probe.SetAnchors(akLeft | akRight | akBottom);
    EXPECT_EQ(probe.property("Anchors").toString(), QStringLiteral("akLeft,akRight,akBottom"));
    EXPECT_EQ(probe.Anchors(), unsigned(akLeft | akRight | akBottom));
}

TEST(CallHandler, ReportsEveryKindOfExceptionAndGoesOn) {
    testui::RecordingApplication app;
    ui::CallHandler([] { throw EInOutError(QStringLiteral("Disk full"), 28); });
    ui::CallHandler([] { throw std::runtime_error("bad thing"); });
    ui::CallHandler([] { throw 42; });
    bool ran = false;
    ui::CallHandler([&] { ran = true; });
    EXPECT_TRUE(ran);

    ASSERT_EQ(app.Boxes.size(), 3u);
    EXPECT_EQ(app.Boxes[0].Text, QStringLiteral("Disk full"));
    EXPECT_EQ(app.Boxes[1].Text, QStringLiteral("bad thing"));
    EXPECT_FALSE(app.Boxes[2].Text.isEmpty());
    for (const TMessageBoxRequest& box : app.Boxes) {
        EXPECT_EQ(box.Caption, QStringLiteral("Testapp"));
        EXPECT_EQ(box.Flags, MB_OK | MB_ICONERROR);
    }
}

TEST(CallHandler, AReportThatFailsItselfStaysInside) {
    testui::RecordingApplication app;
    app.MessageBoxHook = [](const TMessageBoxRequest&) -> int { throw std::runtime_error("x"); };
    ui::CallHandler([] { throw Exception(QStringLiteral("first")); });
    SUCCEED();
}

TEST(CallHandler, WithoutApplicationObjectNothingEscapes) {
    ASSERT_EQ(Application, nullptr);
    ui::CallHandler([] { throw Exception(QStringLiteral("nobody listens")); });
    SUCCEED();
}

TEST(EventDetach, PutsTheHandlerBackEvenAfterAnException) {
    int calls = 0;
    TNotifyEvent slot = [&](TComponent*) { ++calls; };
    try {
        ui::TEventDetach<TNotifyEvent> detach(slot);
        EXPECT_FALSE(slot);
        throw std::runtime_error("x");
    } catch (const std::runtime_error&) {
    }
    ASSERT_TRUE(slot);
    slot(nullptr);
    EXPECT_EQ(calls, 1);
}

} // namespace
