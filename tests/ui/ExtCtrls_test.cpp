#include "ControlTestForm.h"
#include "TestApplication.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Lets at least ms milliseconds of the timer's count pass (the count is measured, not hoped).
void LetTimePass(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QTest::qSleep(5);
}

TEST(Timer, CountsOnlyWithIntervalEnabledAndHandler) {
    TControlTestForm form;
    TTimer* timer = form.TimerRepeat;
    EXPECT_FALSE(timer->isVisible());
    EXPECT_EQ(timer->Interval(), 1000);
    EXPECT_TRUE(timer->Enabled());
    EXPECT_FALSE(timer->Counting()); // no handler yet

    timer->SetOnTimer([](TComponent*) {});
    EXPECT_TRUE(timer->Counting()); // setting the handler arms it, as while loading
    timer->SetEnabled(false);
    EXPECT_FALSE(timer->Counting());
    timer->SetEnabled(true);
    EXPECT_TRUE(timer->Counting());
    timer->SetInterval(0);
    EXPECT_FALSE(timer->Counting());
    timer->SetInterval(500);
    EXPECT_TRUE(timer->Counting());
    timer->SetOnTimer(nullptr);
    EXPECT_FALSE(timer->Counting());
}

TEST(Timer, EnablingAnEnabledTimerKeepsItsCountANewIntervalRestartsIt) {
    TControlTestForm form;
    TTimer* timer = form.TimerRepeat;
    timer->SetInterval(10000);
    timer->SetOnTimer([](TComponent*) {});
    // Long enough that a restarted count is told from a kept one even when a loaded machine
    // holds the test up for a while between a change and the look at the count.
    LetTimePass(2000);
    ASSERT_LE(timer->RemainingTime(), 8000);

    timer->SetEnabled(true);
    EXPECT_LE(timer->RemainingTime(), 8000);
    timer->SetInterval(10000); // the interval it has
    EXPECT_LE(timer->RemainingTime(), 8000);

    timer->SetInterval(20000);
    EXPECT_GT(timer->RemainingTime(), 18000);
}

TEST(Timer, FiresAndReportsExceptionsWithoutStopping) {
    testui::RecordingApplication app;
    TControlTestForm form;
    TTimer* timer = form.TimerRepeat;
    int firings = 0;
    timer->SetInterval(5);
    timer->SetOnTimer([&](TComponent* sender) {
        EXPECT_EQ(sender, timer);
        if (++firings == 1)
            throw EInOutError(QStringLiteral("Access denied"), 13);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return firings >= 3; }, 30000));
    timer->SetEnabled(false);
    ASSERT_EQ(app.Boxes.size(), 1u);
    EXPECT_EQ(app.Boxes[0].Text, QStringLiteral("Access denied"));
    EXPECT_EQ(app.Boxes[0].Flags, MB_OK | MB_ICONERROR);
}

TEST(LabeledEdit, LabelSitsAboveAndFollowsTheEdit) {
    TControlTestForm form;
    form.show();
    TLabeledEdit* edit = form.LabeledEditInterval;
    QLabel* label = edit->EditLabel();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->parentWidget(), &form);
    EXPECT_EQ(edit->EditLabelCaption(), QStringLiteral("Collection interval"));
    EXPECT_EQ(label->toolTip(), QStringLiteral("Collection interval (seconds)"));
    EXPECT_TRUE(edit->ReadOnly());
    EXPECT_EQ(edit->palette().color(QPalette::Base), edit->palette().color(QPalette::Window));
    EXPECT_EQ(label->x(), 186);
    EXPECT_EQ(label->geometry().bottom() + 1 + 3, 24);
    EXPECT_TRUE(label->isVisible());

    edit->move(150, 60);
    EXPECT_EQ(label->x(), 150);
    EXPECT_EQ(label->geometry().bottom() + 1 + 3, 60);
    edit->hide();
    EXPECT_FALSE(label->isVisible());
    edit->show();
    EXPECT_TRUE(label->isVisible());

    QPointer<QLabel> guard(label);
    delete edit;
    EXPECT_TRUE(guard.isNull());
}

} // namespace
