#include "PersistTestForm.h"
#include "SettingsStore.h"

#include "qelCheckBox.h"

#include <memory>

namespace {

using namespace testsettings;

class QelCheckBox : public ProgramSettingsTest {};

TEST_F(QelCheckBox, FirstStartKeepsTheDesignedStateAndStoresOnlyOnDestruction) {
    auto form = std::make_unique<TPersistTestForm>();
    form->Finish();
    EXPECT_EQ(form->CheckBoxDevice->NamedAs, QStringLiteral("Device"));
    EXPECT_FALSE(form->CheckBoxDevice->Checked());
    form->CheckBoxDevice->SetChecked(true);
    EXPECT_FALSE(StoredDword("Device")); // a change is not stored until destruction
    form.reset();
    EXPECT_EQ(StoredDword("Device"), 1u);
}

TEST_F(QelCheckBox, StoredStateIsAppliedWithoutRunningOnClick) {
    StoreDword("Device", 1);
    TPersistTestForm form;
    int clicks = 0;
    form.CheckBoxDevice->OnClick = [&](TComponent*) { ++clicks; };
    form.Finish();
    EXPECT_TRUE(form.CheckBoxDevice->Checked());
    EXPECT_EQ(clicks, 0);
    // The handler is back: a later change runs it.
    form.CheckBoxDevice->SetChecked(false);
    EXPECT_EQ(clicks, 1);
}

TEST_F(QelCheckBox, GrayedStoresFalse) {
    StoreDword("Device", 1);
    {
        TPersistTestForm form;
        form.Finish();
        form.CheckBoxDevice->SetState(cbGrayed);
    }
    EXPECT_EQ(StoredDword("Device"), 0u);
}

TEST_F(QelCheckBox, EmptyNamedAsTakesTheName) {
    StoreDword("CheckBoxNoName", 0);
    {
        TPersistTestForm form;
        form.Finish();
        EXPECT_EQ(form.CheckBoxNoName->NamedAs, QStringLiteral("CheckBoxNoName"));
        EXPECT_FALSE(form.CheckBoxNoName->Checked()); // stored false beats designed true
        form.CheckBoxNoName->SetChecked(true);
    }
    EXPECT_EQ(StoredDword("CheckBoxNoName"), 1u);
}

TEST_F(QelCheckBox, DesigningTouchesNoStoredValue) {
    StoreDword("Device", 1);
    {
        TPersistTestForm form;
        form.CheckBoxDevice->SetDesigning(true);
        form.CheckBoxNoName->SetDesigning(true);
        form.Finish();
        EXPECT_FALSE(form.CheckBoxDevice->Checked());
        EXPECT_TRUE(form.CheckBoxNoName->NamedAs.isEmpty());
        form.CheckBoxDevice->SetChecked(false);
        form.CheckBoxNoName->SetChecked(false);
    }
    EXPECT_EQ(StoredDword("Device"), 1u);
    EXPECT_FALSE(StoredDword("CheckBoxNoName"));
    EXPECT_FALSE(StoredDword(""));
}

TEST_F(QelCheckBox, ASecondAfterLoadStepChangesNothing) {
    StoreDword("Device", 1);
    {
        TPersistTestForm form;
        form.Finish();
        form.CheckBoxDevice->SetChecked(false);
        StoreDword("Device", 1);
        form.CheckBoxDevice->NamedAs = QStringLiteral("Other");
        form.CheckBoxDevice->Loaded();
        EXPECT_FALSE(form.CheckBoxDevice->Checked());
        EXPECT_EQ(form.CheckBoxDevice->NamedAs, QStringLiteral("Other"));
    }
    // Still the variable made by the first step, under the first name.
    EXPECT_EQ(StoredDword("Device"), 0u);
    EXPECT_FALSE(StoredDword("Other"));
}

TEST_F(QelCheckBox, MadeInCodeStoresNothing) {
    {
        TqelCheckBox box;
        box.NamedAs = QStringLiteral("Device");
        box.SetChecked(true);
    }
    EXPECT_FALSE(StoredDword("Device"));
}

} // namespace
