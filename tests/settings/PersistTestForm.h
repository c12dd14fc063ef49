// The self-persisting controls on a form loaded from its .ui. The constructor only runs
// setupUi: a test binds handlers or sets the designing state, then calls Finish(), as a
// window's constructor binds its handlers before the after-load steps.
#pragma once

#include "ui_PersistTestForm.h"

#include "Forms.h"

class TPersistTestForm : public TForm, public Ui::PersistTestForm {
public:
    TPersistTestForm() { setupUi(this); }
    void Finish() { ui::FinishLoading(this); }
};
