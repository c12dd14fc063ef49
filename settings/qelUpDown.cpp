#include "qelUpDown.h"

TqelUpDown::TqelUpDown(QWidget* parent) : TUpDown(parent) {}

TqelUpDown::~TqelUpDown() {
    if (FRegistryVariable) {
        FRegistryVariable->Value = Position();
        FRegistryVariable.reset();
    }
}

void TqelUpDown::Loaded() {
    TUpDown::Loaded();
    if (IsDesigning() || FRegistryVariable)
        return;
    if (NamedAs.isEmpty())
        NamedAs = Name();
    FRegistryVariable = std::make_unique<TRegistryInteger>(NamedAs, Position());
    try {
        SetPosition(static_cast<std::int16_t>(static_cast<std::uint16_t>(
            static_cast<std::uint32_t>(FRegistryVariable->Value) & 0xFFFFu)));
    } catch (...) {
        // A handler that refuses the stored position leaves the designed one; the variable
        // stays, so the position at destruction is still stored.
    }
}
