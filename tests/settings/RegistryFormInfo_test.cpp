#include "SettingsStore.h"

#include "Forms.h"
#include "RegistryVariables.h"

#include <memory>

namespace {

using namespace testsettings;

class RegistryFormInfo : public ProgramSettingsTest {};

const QStringList kGeometryNames = {"FormState",  "FormLeft",        "FormTop",         "FormWidth",
                                    "FormHeight", "FormClientWidth", "FormClientHeight"};

TEST_F(RegistryFormInfo, StoresTheSevenValuesInOrderWhenFreed) {
    TForm form;
    form.SetClientWidth(294);
    form.SetClientHeight(90);
    auto info = std::make_unique<TRegistryFormInfo>(&form);
    EXPECT_TRUE(ValueNamesInFileOrder().isEmpty()); // nothing is written while it lives
    form.SetLeft(30);
    form.SetTop(40);
    form.SetClientWidth(300);
    form.SetClientHeight(100);
    form.SetWindowState(wsMaximized);
    info.reset();

    EXPECT_EQ(ValueNamesInFileOrder(), kGeometryNames);
    EXPECT_EQ(StoredInt("FormState"), 2);
    EXPECT_EQ(StoredInt("FormLeft"), 30);
    EXPECT_EQ(StoredInt("FormTop"), 40);
    EXPECT_EQ(StoredInt("FormWidth"), form.Width());
    EXPECT_EQ(StoredInt("FormHeight"), form.Height());
    EXPECT_EQ(StoredInt("FormClientWidth"), 300);
    EXPECT_EQ(StoredInt("FormClientHeight"), 100);
}

TEST_F(RegistryFormInfo, RestoresOnlyLeftAndTop) {
    StoreDword("FormState", 2);
    StoreDword("FormLeft", std::uint32_t(-1200)); // a monitor no longer there: taken as it is
    StoreDword("FormTop", 200);
    StoreDword("FormWidth", 999);
    StoreDword("FormHeight", 888);
    StoreDword("FormClientWidth", 777);
    StoreDword("FormClientHeight", 666);
    TForm form;
    form.SetClientWidth(294);
    form.SetClientHeight(90);
    TRegistryFormInfo info(&form);
    EXPECT_EQ(form.Left(), 0); // making it applies nothing
    for (int call = 0; call < 2; ++call) {
        info.RestorePosition();
        EXPECT_EQ(form.Left(), -1200);
        EXPECT_EQ(form.Top(), 200);
        EXPECT_EQ(form.ClientWidth(), 294);
        EXPECT_EQ(form.ClientHeight(), 90);
        EXPECT_EQ(form.WindowState(), wsNormal);
    }
}

TEST_F(RegistryFormInfo, FirstStartRestoresThePositionItWasMadeWith) {
    TForm form;
    form.SetLeft(15);
    form.SetTop(25);
    {
        TRegistryFormInfo info(&form);
        form.SetLeft(300);
        form.SetTop(400);
        info.RestorePosition();
        EXPECT_EQ(form.Left(), 15);
        EXPECT_EQ(form.Top(), 25);
    }
    EXPECT_EQ(ValueNamesInFileOrder(), kGeometryNames);
}

} // namespace
