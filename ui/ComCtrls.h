// Common controls: the up-down arrows and the date-time picker.
#pragma once

#include "Controls.h"
#include "SysUtils.h"

#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

#include <cstdint>

class QToolButton;

// A pair of arrows that move Position by Increment within Min..Max (either may be the larger:
// the up arrow always moves towards Max). The associated edit (Associate) shows the position.
//
// Position is a signed 16-bit number. Its setter keeps it within Min..Max: a value outside is
// set to the nearer end. While the form loads, Min, Max and Position are taken as they come and
// the after-load step brings the position into the range.
class TUpDown : public QWidget, public TWidgetComponent {
    Q_OBJECT
    Q_PROPERTY(int Min READ Min WRITE SetMin)
    Q_PROPERTY(int Max READ Max WRITE SetMax)
    Q_PROPERTY(int Position READ PositionAsInt WRITE SetPositionFromInt)
    Q_PROPERTY(int Increment READ Increment WRITE SetIncrement)
    Q_PROPERTY(QString Associate READ AssociateName WRITE SetAssociateName)

public:
    explicit TUpDown(QWidget* parent = nullptr);

    std::int16_t Min() const { return FMin; }
    void SetMin(int min);
    std::int16_t Max() const { return FMax; }
    void SetMax(int max);
    std::int16_t Position() const { return FPosition; }
    // A new position first asks OnChanging, which may refuse it; then the associated edit
    // shows it. An exception from OnChanging reaches the caller.
    void SetPosition(std::int16_t position);
    int Increment() const { return FIncrement; }
    void SetIncrement(int increment) { FIncrement = increment; }

    QLineEdit* Associate() const { return FAssociate; }
    void SetAssociate(QLineEdit* edit);

    // Asked before the position changes; set AllowChange to false to keep the old position.
    std::function<void(TComponent* Sender, bool& AllowChange)> OnChanging;
    // After an arrow has moved the position.
    std::function<void(TComponent* Sender, ui::TUDBtnType Button)> OnClick;

    // An arrow pressed by the user (or a key): moves the position one Increment.
    void ClickArrow(ui::TUDBtnType button);

    void Loaded() override;

protected:
    virtual bool CanChange();

    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int PositionAsInt() const { return FPosition; }
    void SetPositionFromInt(int position);
    QString AssociateName() const;
    void SetAssociateName(const QString& name);
    std::int16_t Clamped(int position) const;
    void ShowPositionInAssociate();

    std::int16_t FMin = 0;
    std::int16_t FMax = 100;
    std::int16_t FPosition = 0;
    int FIncrement = 1;
    QPointer<QLineEdit> FAssociate;
    QString FAssociateName;
    QToolButton* FUp;
    QToolButton* FDown;
};

// A date or time picker over a TDateTime.
//
// Kind dtkTime shows the time of day in the user's time format, with seconds; the user's
// changes replace the time and keep the date part. Kind dtkDate shows the date in the user's
// short date format with a calendar pop-up; the user's changes replace the date and keep the
// time. OnChange fires on the user's changes only.
class TDateTimePicker : public QDateTimeEdit, public TWidgetComponent {
    Q_OBJECT
    Q_PROPERTY(ui::TDateTimeKind Kind READ Kind WRITE SetKind)
    Q_PROPERTY(double DateTime READ DateTime WRITE SetDateTime)

public:
    explicit TDateTimePicker(QWidget* parent = nullptr);

    ui::TDateTimeKind Kind() const { return FKind; }
    void SetKind(ui::TDateTimeKind kind);

    TDateTime DateTime() const { return FDateTime; }
    // Kept as given; the control shows what of it the calendar can show.
    void SetDateTime(TDateTime value);
    // The date part alone / the time part alone, keeping the other part.
    TDateTime Date() const;
    void SetDate(TDateTime date);
    TDateTime Time() const;
    void SetTime(TDateTime time);

    TNotifyEvent OnChange;

protected:
    virtual void Change();

private:
    void ShowValue();
    void EditedByUser(const QDateTime& shown);

    ui::TDateTimeKind FKind = dtkDate;
    TDateTime FDateTime = 0.0;
    bool FShowing = false;
};

namespace ui {
// The user's time format with seconds, and the user's short date format with a four-digit
// year, in Qt's notation.
QString UserTimeFormat();
QString UserDateFormat();
// Conversions between TDateTime and Qt's date and time (to the millisecond).
QDateTime ToQDateTime(TDateTime value);
TDateTime FromQDateTime(const QDateTime& value);
} // namespace ui
