#include "SettingsStore.h"
#include "TestWindows.h"
#include "ui_ComboTestForm.h"

#include "Forms.h"
#include "qelComboBox.h"

#include <QTest>

#include <memory>

namespace {

using namespace testsettings;

// The constructor only runs setupUi: a test binds handlers or sets the designing state, then
// calls Finish().
class TComboTestForm : public TForm, public Ui::ComboTestForm {
public:
    TComboTestForm() { setupUi(this); }
    void Finish() { ui::FinishLoading(this); }
};

class QelComboBox : public ProgramSettingsTest {};

TEST_F(QelComboBox, FirstStartKeepsTheDesignedIndexAndStoresIt) {
    {
        TComboTestForm form;
        form.Finish();
        EXPECT_EQ(form.ComboBoxSmoothing->NamedAs, QStringLiteral("Smoothing"));
        EXPECT_EQ(form.ComboBoxSmoothing->ItemIndex(), 1);
        EXPECT_FALSE(StoredDword("Smoothing"));
    }
    EXPECT_EQ(StoredInt("Smoothing"), 1);
}

TEST_F(QelComboBox, StoredIndexIsAppliedWithoutOnClickAndOnChangeStaysAttached) {
    StoreDword("Smoothing", 2);
    TComboTestForm form;
    int clicks = 0, changes = 0;
    form.ComboBoxSmoothing->OnClick = [&](TComponent*) { ++clicks; };
    form.ComboBoxSmoothing->OnChange = [&](TComponent*) { ++changes; };
    form.Finish();
    EXPECT_EQ(form.ComboBoxSmoothing->ItemIndex(), 2);
    EXPECT_EQ(form.ComboBoxSmoothing->Text(), QStringLiteral("Smooth more"));
    EXPECT_EQ(clicks, 0);

    testui::ShowActive(form);
    form.ComboBoxSmoothing->setFocus();
    QTest::keyClick(form.ComboBoxSmoothing, Qt::Key_Up);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(changes, 1);
}

TEST_F(QelComboBox, StoresTheIndexOfTheLastExitNotTheCurrentOne) {
    {
        TComboTestForm form;
        int exits = 0;
        form.ComboBoxSmoothing->OnExit = [&](TComponent*) { ++exits; };
        form.Finish();
        testui::ShowActive(form);
        form.ComboBoxSmoothing->setFocus();
        QTest::keyClick(form.ComboBoxSmoothing, Qt::Key_Down); // the user picks "Smooth more"
        form.ButtonClose->setFocus();                          // and moves on: an exit
        EXPECT_EQ(exits, 1);
        form.ComboBoxSmoothing->setFocus();
        QTest::keyClick(form.ComboBoxSmoothing, Qt::Key_Home); // picks "None", no exit after
        EXPECT_EQ(form.ComboBoxSmoothing->ItemIndex(), 0);
        EXPECT_FALSE(StoredDword("Smoothing"));
    }
    EXPECT_EQ(StoredInt("Smoothing"), 2);
}

TEST_F(QelComboBox, StoredIndexesOutsideTheItemsAreHandedOn) {
    struct Case {
        std::int32_t stored;
        int shown;
    };
    for (const Case& c : {Case{-1, -1}, Case{3, -1}, Case{70000, -1}, Case{-5, -1}}) {
        StoreDword("Smoothing", static_cast<std::uint32_t>(c.stored));
        {
            TComboTestForm form;
            form.Finish();
            EXPECT_EQ(form.ComboBoxSmoothing->ItemIndex(), c.shown) << c.stored;
        }
        // No exit: the loaded value goes back as it came.
        EXPECT_EQ(StoredInt("Smoothing"), c.stored);
    }
}

TEST_F(QelComboBox, EmptyNamedAsTakesTheName) {
    StoreDword("ComboBoxNoName", 1);
    {
        TComboTestForm form;
        form.Finish();
        EXPECT_EQ(form.ComboBoxNoName->NamedAs, QStringLiteral("ComboBoxNoName"));
        EXPECT_EQ(form.ComboBoxNoName->ItemIndex(), 1);
    }
    EXPECT_EQ(StoredInt("ComboBoxNoName"), 1);
}

TEST_F(QelComboBox, DesigningSecondStepAndCodeMadeTouchNothing) {
    StoreDword("Smoothing", 0);
    {
        TComboTestForm form;
        form.ComboBoxSmoothing->SetDesigning(true);
        form.ComboBoxNoName->SetDesigning(true);
        form.Finish();
        EXPECT_EQ(form.ComboBoxSmoothing->ItemIndex(), 1);
        EXPECT_TRUE(form.ComboBoxNoName->NamedAs.isEmpty());
        testui::ShowActive(form);
        form.ComboBoxSmoothing->setFocus();
        form.ButtonClose->setFocus();
    }
    EXPECT_EQ(StoredInt("Smoothing"), 0);
    EXPECT_FALSE(StoredDword("ComboBoxNoName"));

    StoreDword("Smoothing", 2);
    {
        TComboTestForm form;
        form.Finish();
        StoreDword("Smoothing", 0);
        form.ComboBoxSmoothing->Loaded();
        EXPECT_EQ(form.ComboBoxSmoothing->ItemIndex(), 2);
        StoreDword("Smoothing", 1);
    }
    EXPECT_EQ(StoredInt("Smoothing"), 2);

    {
        TqelComboBox combo;
        combo.NamedAs = QStringLiteral("Smoothing");
        combo.SetItems({"x", "y"});
        combo.SetItemIndex(0);
    }
    EXPECT_EQ(StoredInt("Smoothing"), 2);
}

} // namespace
