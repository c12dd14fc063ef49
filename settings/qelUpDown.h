// An up-down control that remembers Position between runs, under the settings value named
// NamedAs.
//
// The form loader's after-load step makes its TRegistryInteger (NamedAs, or the component's
// Name when NamedAs is empty; default: the Position the form resource gave, widened with its
// sign) and sets Position to the low 16 bits of the stored value, read as a signed number
// (65541 -> 5, 40000 -> -25536). No event is held off; an exception while setting the position
// is swallowed. The control itself checks nothing against Min and Max: the position setter
// brings the value into the range. Destroying the control stores its Position, widened with its
// sign. Nothing is stored at any other time. An up-down made in code, or loaded while
// designing, makes no variable and stores nothing.
#pragma once

#include "ComCtrls.h"
#include "RegistryVariables.h"

#include <memory>

class TqelUpDown : public TUpDown {
    Q_OBJECT
    Q_PROPERTY(QString NamedAs MEMBER NamedAs)

public:
    explicit TqelUpDown(QWidget* parent = nullptr);
    ~TqelUpDown() override;

    // The settings value's name; assigning it does nothing else.
    QString NamedAs;

    void Loaded() override;

private:
    std::unique_ptr<TRegistryInteger> FRegistryVariable;
};
