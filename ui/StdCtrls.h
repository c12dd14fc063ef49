// Standard controls: label, button, check box, combo box.
//
// Events that come from the user run their handlers inside the application's standard
// exception report (ui::CallHandler). Events caused by the program (Checked or ItemIndex set in
// code) call the handlers directly, so an exception reaches the code that set the property.
#pragma once

#include "Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

// A caption. With AutoSize (the default) it takes the size of its text when its caption is set
// through SetCaption and after loading; a right-aligned label keeps its right edge, any other
// its left edge.
class TLabel : public QLabel, public TWidgetComponent {
    Q_OBJECT
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)

public:
    explicit TLabel(QWidget* parent = nullptr);

    // The caption; a CR, LF or CR LF in it starts a new line.
    QString Caption() const;
    void SetCaption(const QString& caption);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool autoSize);

    void Loaded() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void AdjustBounds();

    bool FAutoSize = true;
    QString FCaption;
};

class TButton : public QPushButton, public TWidgetComponent {
    Q_OBJECT

public:
    explicit TButton(QWidget* parent = nullptr);

    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }

    TNotifyEvent OnClick;
    // The click: fires OnClick. A user's click runs it inside the exception report.
    virtual void Click();
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A check box. Every change of its state, by the user or by the program, fires the click
// (OnClick). Alignment taLeftJustify puts the caption on the left and the box on the right;
// taRightJustify (the default) the other way round.
class TCheckBox : public QCheckBox, public TWidgetComponent {
    Q_OBJECT
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_PROPERTY(bool AllowGrayed READ AllowGrayed WRITE SetAllowGrayed)
    Q_PROPERTY(ui::TAlignment Alignment READ Alignment WRITE SetAlignment)

public:
    explicit TCheckBox(QWidget* parent = nullptr);

    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }

    // True only in the checked state; the grayed state reads as false.
    bool Checked() const { return State() == cbChecked; }
    void SetChecked(bool checked) { SetState(checked ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const;
    // A new state fires the click, after the state has changed; the same state does nothing.
    void SetState(TCheckBoxState state);
    bool AllowGrayed() const { return isTristate(); }
    void SetAllowGrayed(bool allow) { setTristate(allow); }
    ui::TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(ui::TAlignment alignment);

    TNotifyEvent OnClick;
    // The click: fires OnClick.
    virtual void Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    void StateChangedByQt();

    ui::TAlignment FAlignment = taRightJustify;
    bool FSettingState = false;
};

// A combo box. ItemIndex is the selected item, −1 for none; an index past the end of the items
// is handed to Qt unchanged and reads back as −1. Setting a new ItemIndex in code fires the
// click (OnClick) but not OnChange; a selection by the user fires OnClick, then OnChange.
// When the focus leaves the control for another control of its window, the exit step (DoExit)
// runs and fires OnExit.
class TComboBox : public QComboBox, public TWidgetComponent {
    Q_OBJECT
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
    Q_PROPERTY(ui::TComboBoxStyle Style READ Style WRITE SetStyle)

public:
    explicit TComboBox(QWidget* parent = nullptr);

    // While the form loads, an ItemIndex is kept and applied by the after-load step, once the
    // items are there.
    int ItemIndex() const;
    void SetItemIndex(int index);
    QStringList Items() const;
    // Replaces the items; nothing is selected afterwards.
    void SetItems(const QStringList& items);
    QString Text() const { return currentText(); }
    // csDropDownList (the default): pick from the list only; csDropDown: an edit field too.
    ui::TComboBoxStyle Style() const { return isEditable() ? csDropDown : csDropDownList; }
    void SetStyle(ui::TComboBoxStyle style) { setEditable(style == csDropDown); }

    TNotifyEvent OnChange;
    TNotifyEvent OnClick;
    TNotifyEvent OnExit;

    void Loaded() override;

protected:
    virtual void Click();
    virtual void Change();
    // The exit notification: fires OnExit.
    virtual void DoExit();

    void focusOutEvent(QFocusEvent* event) override;

private:
    void IndexChangedByQt();

    int FLoadingItemIndex = -2; // none given while loading
    bool FSettingIndex = false;
};
