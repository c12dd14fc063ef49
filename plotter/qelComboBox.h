// A combo box that remembers ItemIndex between runs, under the settings value named NamedAs.
//
// The form loader's after-load step (after the inherited one has applied the designed
// ItemIndex) makes its TRegistryInteger (NamedAs, or the component's Name when NamedAs is
// empty; default: the designed ItemIndex) and sets ItemIndex to the stored value with OnClick
// held off; OnChange stays attached. The value is handed on unchanged: −1 selects nothing, an
// index past the end is the combo box's to deal with.
//
// Each time the focus leaves the control (the exit step, after OnExit has run) the current
// ItemIndex is copied into the variable. Destroying the control stores the value last copied:
// the index at the last exit, or the loaded one when there was no exit. A pick the user made
// after the last exit is not stored. Nothing is stored at any other time. A combo box made in
// code, or loaded while designing, makes no variable and stores nothing.
#pragma once

#include "RegistryVariables.h"
#include "StdCtrls.h"

#include <memory>

class TqelComboBox : public TComboBox {
    Q_OBJECT
    Q_PROPERTY(QString NamedAs MEMBER NamedAs)

public:
    explicit TqelComboBox(QWidget* parent = nullptr);
    ~TqelComboBox() override;

    // The settings value's name; assigning it does nothing else.
    QString NamedAs;

    void Loaded() override;

protected:
    void DoExit() override;

private:
    std::unique_ptr<TRegistryInteger> FRegistryVariable;
};
