#include "qelComboBox.h"

TqelComboBox::TqelComboBox(QWidget* parent) : TComboBox(parent) {}

// The variable stores what the last exit copied into it; the current index is not read here.
TqelComboBox::~TqelComboBox() = default;

void TqelComboBox::Loaded() {
    TComboBox::Loaded();
    if (IsDesigning() || FRegistryVariable)
        return;
    if (NamedAs.isEmpty())
        NamedAs = Name();
    FRegistryVariable = std::make_unique<TRegistryInteger>(NamedAs, ItemIndex());
    // The stored selection is no user's click: keep the handler out of it.
    ui::TEventDetach<TNotifyEvent> detach(OnClick);
    SetItemIndex(FRegistryVariable->Value);
}

void TqelComboBox::DoExit() {
    TComboBox::DoExit();
    if (FRegistryVariable)
        FRegistryVariable->Value = ItemIndex();
}
