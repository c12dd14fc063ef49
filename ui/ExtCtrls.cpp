#include "ExtCtrls.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPalette>

TTimer::TTimer(QWidget* parent) : QWidget(parent), TWidgetComponent(this, parent) {
    setVisible(false);
    setFocusPolicy(Qt::NoFocus);
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, [this] { ui::CallHandler([this] { Timer(); }); });
}

void TTimer::SetInterval(int interval) {
    if (interval == FInterval)
        return;
    FInterval = interval;
    UpdateTimer();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == FEnabled)
        return;
    FEnabled = enabled;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
    FOnTimer = std::move(handler);
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    FTimer.stop();
    if (FInterval > 0 && FEnabled && FOnTimer)
        FTimer.start(FInterval);
}

void TTimer::Timer() {
    ui::Fire(FOnTimer, this);
}

TLabeledEdit::TLabeledEdit(QWidget* parent)
    : QLineEdit(parent), TWidgetComponent(this, parent), FLabel(new QLabel(parent)) {
    FLabel->setTextFormat(Qt::PlainText);
    if (!parent)
        FLabel->hide();
    PlaceLabel();
}

TLabeledEdit::~TLabeledEdit() {
    // The label belongs to the parent as well; whichever goes first, it goes only once.
    delete FLabel.data();
}

QString TLabeledEdit::EditLabelCaption() const {
    return FLabel ? FLabel->text() : QString();
}

void TLabeledEdit::SetEditLabelCaption(const QString& caption) {
    if (!FLabel)
        return;
    FLabel->setText(caption);
    PlaceLabel();
}

QString TLabeledEdit::EditLabelHint() const {
    return FLabel ? FLabel->toolTip() : QString();
}

void TLabeledEdit::SetEditLabelHint(const QString& hint) {
    if (FLabel)
        FLabel->setToolTip(hint);
}

void TLabeledEdit::SetLabelSpacing(int spacing) {
    FLabelSpacing = spacing;
    PlaceLabel();
}

void TLabeledEdit::SetColor(const QString& color) {
    FColor = color;
    QPalette palette = QApplication::palette(this);
    if (color == QLatin1String("clBtnFace"))
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    setPalette(palette);
}

void TLabeledEdit::PlaceLabel() {
    if (!FLabel)
        return;
    FLabel->resize(FLabel->sizeHint());
    FLabel->move(x(), y() - FLabel->height() - FLabelSpacing);
}

void TLabeledEdit::moveEvent(QMoveEvent* event) {
    QLineEdit::moveEvent(event);
    PlaceLabel();
}

void TLabeledEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    PlaceLabel();
}

void TLabeledEdit::showEvent(QShowEvent* event) {
    QLineEdit::showEvent(event);
    if (FLabel && FLabel->parentWidget())
        FLabel->show();
}

void TLabeledEdit::hideEvent(QHideEvent* event) {
    QLineEdit::hideEvent(event);
    // Hidden with its parent, the label goes with the parent; hidden itself, it takes the label.
    if (FLabel && (!parentWidget() || !isVisibleTo(parentWidget())))
        FLabel->hide();
}

void TLabeledEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::ParentChange && FLabel) {
        FLabel->setParent(parentWidget());
        FLabel->setVisible(parentWidget() && isVisibleTo(parentWidget()));
        PlaceLabel();
    }
}
