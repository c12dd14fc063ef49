// A check box that remembers Checked between runs, under the settings value named NamedAs.
//
// The form loader's after-load step makes its TRegistryBoolean (NamedAs, or the component's
// Name when NamedAs is empty; default: the Checked the form resource gave) and applies the
// stored value with OnClick held off, so restoring runs no click handler. Destroying the
// control stores its Checked (a grayed box stores false). Nothing is stored at any other time.
// A check box made in code, or loaded while designing, makes no variable and stores nothing.
#pragma once

#include "RegistryVariables.h"
#include "StdCtrls.h"

#include <memory>

class TqelCheckBox : public TCheckBox {
    Q_OBJECT
    Q_PROPERTY(QString NamedAs MEMBER NamedAs)

public:
    explicit TqelCheckBox(QWidget* parent = nullptr);
    ~TqelCheckBox() override;

    // The settings value's name; assigning it does nothing else.
    QString NamedAs;

    void Loaded() override;

private:
    std::unique_ptr<TRegistryBoolean> FRegistryVariable;
};
