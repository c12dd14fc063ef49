#include "ControlTestForm.h"
#include "TestApplication.h"
#include "TestWindows.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using testui::ShowActive;

TEST(Label, SizesItselfToItsCaption) {
    TControlTestForm form;
    // Right-aligned: the right edge stays where it was designed.
    EXPECT_EQ(form.LabelStartTime->geometry().right(), 16 + 46 - 1);
    EXPECT_EQ(form.LabelStartTime->width(), form.LabelStartTime->sizeHint().width());
    // Left-aligned: the left edge stays.
    form.LabelReport->SetCaption(QStringLiteral("2018/10/04 10:55:00 12.3 and more text"));
    EXPECT_EQ(form.LabelReport->x(), 8);
    EXPECT_EQ(form.LabelReport->width(), form.LabelReport->sizeHint().width());
    EXPECT_GT(form.LabelReport->width(), 106);
    // A caption is text, never markup.
    form.LabelReport->SetCaption(QStringLiteral("<b>x</b>"));
    EXPECT_EQ(form.LabelReport->textFormat(), Qt::PlainText);
    // A lone CR starts a second line, and the caption reads back as it was set.
    const int oneLine = form.LabelReport->height();
    form.LabelReport->SetCaption(QStringLiteral("first\rsecond"));
    EXPECT_EQ(form.LabelReport->Caption(), QStringLiteral("first\rsecond"));
    EXPECT_GE(form.LabelReport->height(), 2 * oneLine - 2);
}

TEST(CheckBox, EveryNewStateFiresTheClickAlsoFromCode) {
    TControlTestForm form;
    TCheckBox* box = form.CheckBoxDevice;
    EXPECT_EQ(box->Alignment(), taLeftJustify);
    EXPECT_EQ(box->Hint(), QStringLiteral("Check for \"1\" in beamgauge.exe command"));
    EXPECT_FALSE(box->Checked());

    std::vector<bool> clicks;
    box->OnClick = [&](TComponent* sender) {
        EXPECT_EQ(sender, box);
        clicks.push_back(box->Checked());
    };
    box->SetChecked(true);
    box->SetChecked(true); // same state: nothing
    box->SetChecked(false);
    EXPECT_EQ(clicks, (std::vector<bool>{true, false}));

    // The grayed state reads as not checked.
    box->SetState(cbGrayed);
    EXPECT_EQ(box->State(), cbGrayed);
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(clicks.size(), 3u);
}

TEST(CheckBox, UserClickOnTheLeftCaptionToggles) {
    testui::RecordingApplication app;
    TControlTestForm form;
    ShowActive(form);
    TCheckBox* box = form.CheckBoxDevice;
    int clicks = 0;
    box->OnClick = [&](TComponent*) { ++clicks; };
    // Caption on the left, box on the right: both ends answer the mouse.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    EXPECT_TRUE(box->Checked());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 6, box->height() / 2));
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(clicks, 2);
}

TEST(CheckBox, HandlerExceptionsGoToTheCallerFromCodeAndToTheReportFromTheUser) {
    testui::RecordingApplication app;
    TControlTestForm form;
    ShowActive(form);
    TCheckBox* box = form.CheckBoxDevice;
    box->OnClick = [](TComponent*) { throw Exception(QStringLiteral("click failed")); };
    EXPECT_THROW(box->SetChecked(true), Exception);
    EXPECT_TRUE(box->Checked());
    EXPECT_TRUE(app.Boxes.empty());

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    EXPECT_FALSE(box->Checked());
    ASSERT_EQ(app.Boxes.size(), 1u);
    EXPECT_EQ(app.Boxes[0].Text, QStringLiteral("click failed"));
    EXPECT_EQ(app.Boxes[0].Caption, QStringLiteral("Testapp"));
    EXPECT_EQ(app.Boxes[0].Flags, MB_OK | MB_ICONERROR);
}

TEST(Button, UserClickRunsOnClick) {
    TControlTestForm form;
    ShowActive(form);
    int clicks = 0;
    form.ButtonClose->OnClick = [&](TComponent*) { ++clicks; };
    QTest::mouseClick(form.ButtonClose, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(form.ButtonClose->Caption(), QStringLiteral("Close"));
}

TEST(ComboBox, DesignedIndexAndIndexesOutOfRange) {
    TControlTestForm form;
    TComboBox* combo = form.ComboBoxSmoothing;
    EXPECT_EQ(combo->Items(), (QStringList{"None", "Smooth", "Smooth more"}));
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->Style(), csDropDownList);

    int clicks = 0, changes = 0;
    combo->OnClick = [&](TComponent*) { ++clicks; };
    combo->OnChange = [&](TComponent*) { ++changes; };
    combo->SetItemIndex(2);
    EXPECT_EQ(combo->ItemIndex(), 2);
    combo->SetItemIndex(2);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(changes, 0); // changes made by the program are no user change

    for (int index : {-1, 3, 1000, -7}) {
        combo->SetItemIndex(index);
        EXPECT_EQ(combo->ItemIndex(), -1) << index;
        EXPECT_TRUE(combo->Text().isEmpty()) << index;
    }
    combo->SetItems({"a", "b"});
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(changes, 0);
}

TEST(ComboBox, UserChoiceFiresClickThenChange) {
    TControlTestForm form;
    ShowActive(form);
    TComboBox* combo = form.ComboBoxSmoothing;
    QStringList events;
    combo->OnClick = [&](TComponent*) { events.append("click"); };
    combo->OnChange = [&](TComponent*) { events.append("change"); };
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(combo->ItemIndex(), 2);
    EXPECT_EQ(events, (QStringList{"click", "change"}));
}

TEST(ComboBox, LeavingForAnotherControlIsAnExit) {
    TControlTestForm form;
    ShowActive(form);
    TComboBox* combo = form.ComboBoxSmoothing;
    int exits = 0;
    combo->OnExit = [&](TComponent* sender) {
        EXPECT_EQ(sender, combo);
        ++exits;
    };
    combo->setFocus();
    ASSERT_TRUE(combo->hasFocus());
    form.ButtonClose->setFocus();
    EXPECT_EQ(exits, 1);
    // Focus that never was in the combo box: no exit.
    form.CheckBoxDevice->setFocus();
    EXPECT_EQ(exits, 1);
}

} // namespace
