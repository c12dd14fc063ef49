#include "PersistTestForm.h"
#include "SettingsStore.h"

#include "qelUpDown.h"

#include <memory>

namespace {

using namespace testsettings;

class QelUpDown : public ProgramSettingsTest {};

TEST_F(QelUpDown, FirstStartKeepsTheDesignedPositionAndStoresOnDestruction) {
    auto form = std::make_unique<TPersistTestForm>();
    form->Finish();
    EXPECT_EQ(form->UpDownInterval->Position(), 5);
    EXPECT_EQ(form->LabeledEditInterval->Text(), QStringLiteral("5"));
    form->UpDownInterval->ClickArrow(btNext);
    EXPECT_FALSE(StoredDword("Interval"));
    form.reset();
    EXPECT_EQ(StoredInt("Interval"), 6);
}

TEST_F(QelUpDown, StoredValueIsCutToItsLow16Bits) {
    struct Case {
        const char* name;
        std::uint32_t stored;
        int applied;
    };
    const Case cases[] = {
        {"Interval", 65541, 5},        // 0x10005
        {"Wide", 40000, -25536},       // 0x9C40
        {"Wide", 0xFFFF8000u, -32768}, // a stored negative number stays itself
        {"Interval", 100, 60},         // in 16 bits: the position setter keeps Min..Max
        {"Wide", 0x7FFFFFFFu, -1},     // 0xFFFF
    };
    for (const Case& c : cases) {
        StoreDword(c.name, c.stored);
        TPersistTestForm form;
        form.Finish();
        TUpDown* upDown = QString::fromLatin1(c.name) == QStringLiteral("Wide")
                              ? static_cast<TUpDown*>(form.UpDownWide)
                              : form.UpDownInterval;
        EXPECT_EQ(upDown->Position(), c.applied) << c.name << " " << c.stored;
    }
}

TEST_F(QelUpDown, PositionIsStoredWidenedWithItsSign) {
    StoreDword("Wide", 40000);
    {
        TPersistTestForm form;
        form.Finish();
    }
    EXPECT_EQ(StoredInt("Wide"), -25536);
    EXPECT_EQ(StoredDword("Wide"), 0xFFFF9C40u);
}

TEST_F(QelUpDown, ExceptionWhileApplyingIsSwallowedAndTheVariableStays) {
    StoreDword("Interval", 30);
    {
        TPersistTestForm form;
        form.UpDownInterval->OnChanging = [](TComponent*, bool&) {
            throw Exception(QStringLiteral("no change now"));
        };
        form.Finish();
        EXPECT_EQ(form.UpDownInterval->Position(), 5);
        form.UpDownInterval->OnChanging = nullptr;
        form.UpDownInterval->SetPosition(12);
    }
    EXPECT_EQ(StoredInt("Interval"), 12);
}

TEST_F(QelUpDown, EmptyNamedAsTakesTheName) {
    StoreDword("UpDownNoName", 7);
    {
        TPersistTestForm form;
        form.Finish();
        EXPECT_EQ(form.UpDownNoName->NamedAs, QStringLiteral("UpDownNoName"));
        EXPECT_EQ(form.UpDownNoName->Position(), 7);
        form.UpDownNoName->SetPosition(2);
    }
    EXPECT_EQ(StoredInt("UpDownNoName"), 2);
}

TEST_F(QelUpDown, DesigningAndSecondStepAndCodeMadeTouchNothing) {
    StoreDword("Interval", 9);
    StoreDword("Wide", 100);
    {
        TPersistTestForm form;
        form.UpDownInterval->SetDesigning(true);
        form.UpDownNoName->SetDesigning(true);
        form.Finish();
        EXPECT_EQ(form.UpDownInterval->Position(), 5);
        EXPECT_TRUE(form.UpDownNoName->NamedAs.isEmpty());
        form.UpDownInterval->SetPosition(20);

        EXPECT_EQ(form.UpDownWide->Position(), 100);
        StoreDword("Wide", 200);
        form.UpDownWide->Loaded();
        EXPECT_EQ(form.UpDownWide->Position(), 100);
    }
    EXPECT_EQ(StoredInt("Interval"), 9);
    EXPECT_FALSE(StoredDword("UpDownNoName"));
    EXPECT_EQ(StoredInt("Wide"), 100);
    {
        TqelUpDown upDown;
        upDown.NamedAs = QStringLiteral("Interval");
        upDown.SetPosition(44);
    }
    EXPECT_EQ(StoredInt("Interval"), 9);
}

} // namespace
