// Extra controls: the timer and the edit with its own label.
#pragma once

#include "Controls.h"

#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QLabel;

// A timer. It counts while Enabled, Interval > 0 and an OnTimer handler is set; each firing
// runs OnTimer inside the application's standard exception report.
//
// As in the class library: setting Enabled to the value it has changes nothing; a new
// Interval, a new OnTimer handler, or Enabled turned on, (re)starts the count from zero.
// Setting the Interval it already has changes nothing.
//
// It is a hidden widget so that a form resource can carry it like any other component;
// it never shows and takes no focus.
class TTimer : public QWidget, public TWidgetComponent {
    Q_OBJECT
    Q_PROPERTY(int Interval READ Interval WRITE SetInterval)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)

public:
    explicit TTimer(QWidget* parent = nullptr);

    // Milliseconds; default 1000. 0 or less keeps the timer from counting.
    int Interval() const { return FInterval; }
    void SetInterval(int interval);
    // Default true.
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    const TNotifyEvent& OnTimer() const { return FOnTimer; }
    void SetOnTimer(TNotifyEvent handler);

    // Whether the count runs, and the milliseconds left until it fires (−1 when it does not).
    bool Counting() const { return FTimer.isActive(); }
    int RemainingTime() const { return FTimer.remainingTime(); }

protected:
    // A firing: runs OnTimer.
    virtual void Timer();

private:
    void UpdateTimer();

    QTimer FTimer;
    int FInterval = 1000;
    bool FEnabled = true;
    TNotifyEvent FOnTimer;
};

// An edit with its own label above it (EditLabel, placed LabelSpacing pixels above the edit
// and as wide as its caption). The label is a sibling of the edit in the same parent; it moves,
// shows and hides with the edit and is freed with it.
class TLabeledEdit : public QLineEdit, public TWidgetComponent {
    Q_OBJECT
    Q_PROPERTY(QString EditLabelCaption READ EditLabelCaption WRITE SetEditLabelCaption)
    Q_PROPERTY(QString EditLabelHint READ EditLabelHint WRITE SetEditLabelHint)
    Q_PROPERTY(int LabelSpacing READ LabelSpacing WRITE SetLabelSpacing)
    Q_PROPERTY(QString Color READ Color WRITE SetColor)

public:
    explicit TLabeledEdit(QWidget* parent = nullptr);
    ~TLabeledEdit() override;

    QString Text() const { return text(); }
    void SetText(const QString& text) { setText(text); }
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool readOnly) { setReadOnly(readOnly); }

    QLabel* EditLabel() const { return FLabel; }
    QString EditLabelCaption() const;
    void SetEditLabelCaption(const QString& caption);
    QString EditLabelHint() const;
    void SetEditLabelHint(const QString& hint);
    int LabelSpacing() const { return FLabelSpacing; }
    void SetLabelSpacing(int spacing);

    // The face colour by its class-library name: "clWindow" (default) or "clBtnFace".
    QString Color() const { return FColor; }
    void SetColor(const QString& color);

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void PlaceLabel();

    QPointer<QLabel> FLabel;
    int FLabelSpacing = 3;
    QString FColor = QStringLiteral("clWindow");
};
