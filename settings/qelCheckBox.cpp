#include "qelCheckBox.h"

TqelCheckBox::TqelCheckBox(QWidget* parent) : TCheckBox(parent) {}

TqelCheckBox::~TqelCheckBox() {
    if (FRegistryVariable) {
        FRegistryVariable->Value = Checked();
        FRegistryVariable.reset();
    }
}

void TqelCheckBox::Loaded() {
    TCheckBox::Loaded();
    if (IsDesigning() || FRegistryVariable)
        return;
    if (NamedAs.isEmpty())
        NamedAs = Name();
    FRegistryVariable = std::make_unique<TRegistryBoolean>(NamedAs, Checked());
    // The stored state is no user's click: keep the handler out of it.
    ui::TEventDetach<TNotifyEvent> detach(OnClick);
    SetChecked(FRegistryVariable->Value);
}
