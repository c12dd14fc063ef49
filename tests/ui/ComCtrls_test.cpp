#include "ControlTestForm.h"
#include "TestApplication.h"

#include <QLocale>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(UpDown, LoadedPositionShowsInTheAssociatedEdit) {
    TControlTestForm form;
    TUpDown* upDown = form.UpDownInterval;
    EXPECT_EQ(upDown->Min(), 1);
    EXPECT_EQ(upDown->Max(), 60);
    EXPECT_EQ(upDown->Position(), 5);
    EXPECT_EQ(upDown->Associate(), form.LabeledEditInterval);
    EXPECT_EQ(form.LabeledEditInterval->Text(), QStringLiteral("5"));
}

TEST(UpDown, ArrowsMoveWithinMinAndMax) {
    TControlTestForm form;
    form.show();
    TUpDown* upDown = form.UpDownInterval;
    std::vector<ui::TUDBtnType> clicks;
    upDown->OnClick = [&](TComponent*, ui::TUDBtnType button) { clicks.push_back(button); };

    auto arrows = upDown->findChildren<QToolButton*>();
    ASSERT_EQ(arrows.size(), 2);
    QToolButton* up = arrows[0]->arrowType() == Qt::UpArrow ? arrows[0] : arrows[1];
    QToolButton* down = up == arrows[0] ? arrows[1] : arrows[0];
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(upDown->Position(), 6);
    EXPECT_EQ(form.LabeledEditInterval->Text(), QStringLiteral("6"));
    QTest::mouseClick(down, Qt::LeftButton);
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_EQ(upDown->Position(), 4);
    EXPECT_EQ(clicks, (std::vector<ui::TUDBtnType>{btNext, btPrev, btPrev}));

    upDown->SetPosition(60);
    upDown->ClickArrow(btNext);
    EXPECT_EQ(upDown->Position(), 60);
    upDown->SetPosition(1);
    upDown->ClickArrow(btPrev);
    EXPECT_EQ(upDown->Position(), 1);
    EXPECT_EQ(clicks.size(), 3u);
}

TEST(UpDown, PositionSetterKeepsTheRangeAndCutsTo16Bits) {
    TControlTestForm form;
    TUpDown* upDown = form.UpDownInterval;
    struct Case {
        int given;
        int expected;
    };
    // 1..60: out-of-range values go to the nearer end.
    for (const Case& c : {Case{100, 60}, Case{0, 1}, Case{-5, 1}, Case{30, 30}}) {
        upDown->SetPosition(static_cast<std::int16_t>(c.given));
        EXPECT_EQ(upDown->Position(), c.expected) << c.given;
        EXPECT_EQ(form.LabeledEditInterval->Text(), QString::number(c.expected));
    }
    // The published property is 16 bits wide: larger numbers keep their low 16 bits.
    upDown->SetMin(-32768);
    upDown->SetMax(32767);
    for (const Case& c : {Case{40000, -25536}, Case{65541, 5}, Case{-32768, -32768}}) {
        upDown->setProperty("Position", c.given);
        EXPECT_EQ(upDown->Position(), c.expected) << c.given;
    }
}

TEST(UpDown, OnChangingMayRefuse) {
    TControlTestForm form;
    TUpDown* upDown = form.UpDownInterval;
    bool allow = false;
    int asked = 0;
    upDown->OnChanging = [&](TComponent*, bool& allowChange) {
        ++asked;
        allowChange = allow;
    };
    upDown->SetPosition(9);
    EXPECT_EQ(upDown->Position(), 5);
    allow = true;
    upDown->SetPosition(9);
    EXPECT_EQ(upDown->Position(), 9);
    EXPECT_EQ(asked, 2);
}

TEST(DateTimePicker, KindsFromTheFormResource) {
    TControlTestForm form;
    EXPECT_EQ(form.DateTimePickerStart->Kind(), dtkTime);
    EXPECT_FALSE(form.DateTimePickerStart->calendarPopup());
    EXPECT_TRUE(form.DateTimePickerStart->displayFormat().contains(QStringLiteral("ss")));
    EXPECT_EQ(form.DateTimePickerStartDate->Kind(), dtkDate);
    EXPECT_TRUE(form.DateTimePickerStartDate->calendarPopup());
}

TEST(DateTimePicker, UserFormatsHaveSecondsAndFourDigitYears) {
    struct Case {
        const char* locale;
        const char* time;
        const char* date;
    };
    for (const Case& c :
         {Case{"C", "HH:mm:ss", "d MMM yyyy"}, Case{"de_DE", "HH:mm:ss", "dd.MM.yyyy"},
          Case{"en_US", "h:mm:ss AP", "M/d/yyyy"}, Case{"fi_FI", "H.mm.ss", "d.M.yyyy"}}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        EXPECT_EQ(ui::UserTimeFormat(), QString::fromLatin1(c.time)) << c.locale;
        EXPECT_EQ(ui::UserDateFormat(), QString::fromLatin1(c.date)) << c.locale;
    }
    QLocale::setDefault(QLocale::system());
}

TEST(DateTimePicker, ValueSetInCodeIsKeptAndFiresNothing) {
    TControlTestForm form;
    TDateTimePicker* picker = form.DateTimePickerStart;
    int changes = 0;
    picker->OnChange = [&](TComponent*) { ++changes; };
    const TDateTime value = EncodeTime(10, 50, 0, 0);
    picker->SetDateTime(value);
    EXPECT_EQ(picker->DateTime(), value);
    EXPECT_EQ(picker->time(), QTime(10, 50, 0));
    picker->SetDateTime(43013.0 + value);
    EXPECT_EQ(picker->Date(), 43013.0);
    EXPECT_NEAR(picker->Time(), value, 1e-9); // the fraction of a larger number: to the ms
    EXPECT_EQ(changes, 0);
}

TEST(DateTimePicker, UserTimeChangeKeepsTheDatePart) {
    TControlTestForm form;
    form.show();
    TDateTimePicker* picker = form.DateTimePickerStart;
    std::vector<TDateTime> seen;
    picker->OnChange = [&](TComponent*) { seen.push_back(picker->DateTime()); };
    picker->SetDateTime(EncodeTime(10, 50, 0, 0));
    // The hour section is current: the up key moves the hour, as a user would.
    picker->setFocus();
    picker->setCurrentSection(QDateTimeEdit::HourSection);
    QTest::keyClick(picker, Qt::Key_Up);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], EncodeTime(11, 50, 0, 0));

    picker->SetDateTime(43013.0 + EncodeTime(10, 50, 0, 0));
    picker->setTime(QTime(11, 17, 0));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], 43013.0 + EncodeTime(11, 17, 0, 0));
}

TEST(DateTimePicker, UserDateChangeKeepsTheTime) {
    TControlTestForm form;
    TDateTimePicker* picker = form.DateTimePickerStartDate;
    int changes = 0;
    picker->OnChange = [&](TComponent*) { ++changes; };
    picker->SetDateTime(43013.0 + 0.25);
    EXPECT_EQ(picker->date(), QDate(2017, 10, 5));
    picker->setDate(QDate(2017, 10, 9));
    EXPECT_EQ(picker->DateTime(), 43017.25);
    EXPECT_EQ(std::trunc(picker->DateTime()), 43017.0);
    EXPECT_EQ(changes, 1);
}

} // namespace
