// The control test form: every control of the class library stand-in, loaded from its .ui.
#pragma once

#include "ui_ControlTestForm.h"

#include "Forms.h"

class TControlTestForm : public TForm, public Ui::ControlTestForm {
public:
    TControlTestForm() {
        setupUi(this);
        ui::FinishLoading(this);
    }
};
