#include "ComCtrls.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QResizeEvent>
#include <QToolButton>

#include <algorithm>
#include <cmath>

TUpDown::TUpDown(QWidget* parent)
    : QWidget(parent), TWidgetComponent(this, parent), FUp(new QToolButton(this)),
      FDown(new QToolButton(this)) {
    setFocusPolicy(Qt::TabFocus);
    FUp->setArrowType(Qt::UpArrow);
    FDown->setArrowType(Qt::DownArrow);
    for (QToolButton* arrow : {FUp, FDown}) {
        arrow->setAutoRepeat(true);
        arrow->setFocusPolicy(Qt::NoFocus);
    }
    connect(FUp, &QToolButton::clicked, this,
            [this] { ui::CallHandler([this] { ClickArrow(btNext); }); });
    connect(FDown, &QToolButton::clicked, this,
            [this] { ui::CallHandler([this] { ClickArrow(btPrev); }); });
}

void TUpDown::SetMin(int min) {
    FMin = static_cast<std::int16_t>(min);
    if (!IsLoading())
        SetPosition(FPosition);
}

void TUpDown::SetMax(int max) {
    FMax = static_cast<std::int16_t>(max);
    if (!IsLoading())
        SetPosition(FPosition);
}

std::int16_t TUpDown::Clamped(int position) const {
    const int low = std::min<int>(FMin, FMax);
    const int high = std::max<int>(FMin, FMax);
    return static_cast<std::int16_t>(std::clamp(position, low, high));
}

void TUpDown::SetPosition(std::int16_t position) {
    if (IsLoading()) {
        FPosition = position;
        return;
    }
    const std::int16_t value = Clamped(position);
    if (value != FPosition) {
        if (!CanChange())
            return;
        FPosition = value;
    }
    ShowPositionInAssociate();
}

void TUpDown::SetPositionFromInt(int position) {
    SetPosition(static_cast<std::int16_t>(position));
}

bool TUpDown::CanChange() {
    bool allow = true;
    if (OnChanging)
        OnChanging(this, allow);
    return allow;
}

void TUpDown::ClickArrow(ui::TUDBtnType button) {
    const int towardsMax = FMax >= FMin ? FIncrement : -FIncrement;
    const int step = button == btNext ? towardsMax : -towardsMax;
    const std::int16_t target = Clamped(FPosition + step);
    if (target == FPosition)
        return;
    SetPosition(target);
    if (FPosition == target && OnClick)
        OnClick(this, button);
}

void TUpDown::SetAssociate(QLineEdit* edit) {
    FAssociate = edit;
    FAssociateName = edit ? edit->objectName() : QString();
    ShowPositionInAssociate();
}

QString TUpDown::AssociateName() const {
    return FAssociate ? FAssociate->objectName() : FAssociateName;
}

void TUpDown::SetAssociateName(const QString& name) {
    FAssociateName = name;
    // The edit may come later in the form resource; the after-load step looks again.
    FAssociate = name.isEmpty() ? nullptr : window()->findChild<QLineEdit*>(name);
    ShowPositionInAssociate();
}

void TUpDown::ShowPositionInAssociate() {
    if (FAssociate && !IsLoading())
        FAssociate->setText(QString::number(FPosition));
}

void TUpDown::Loaded() {
    TWidgetComponent::Loaded();
    if (!FAssociate && !FAssociateName.isEmpty())
        FAssociate = window()->findChild<QLineEdit*>(FAssociateName);
    FPosition = Clamped(FPosition);
    ShowPositionInAssociate();
}

void TUpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = width();
    const int upHeight = height() / 2;
    FUp->setGeometry(0, 0, w, upHeight);
    FDown->setGeometry(0, upHeight, w, height() - upHeight);
}

void TUpDown::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        const ui::TUDBtnType button = event->key() == Qt::Key_Up ? btNext : btPrev;
        ui::CallHandler([this, button] { ClickArrow(button); });
        return;
    }
    QWidget::keyPressEvent(event);
}

namespace ui {

namespace {

// Removes the time-zone fields ('t' outside quotes) that Qt's long formats carry.
QString WithoutTimeZone(const QString& format) {
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        result.append(c);
    }
    return result.simplified();
}

const QDate kDayZero(1899, 12, 30);

} // namespace

QString UserTimeFormat() {
    QString format = WithoutTimeZone(QLocale().timeFormat(QLocale::LongFormat));
    if (!format.contains(u's')) {
        // A format without seconds: put them after the minutes, with the same separator.
        const qsizetype minutes = format.lastIndexOf(u'm');
        if (minutes >= 0)
            format.insert(minutes + 1, QStringLiteral(":ss"));
        else
            format = QStringLiteral("HH:mm:ss");
    }
    return format;
}

QString UserDateFormat() {
    // A two-digit year would leave the century to guesswork when the user types one.
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

QDateTime ToQDateTime(TDateTime value) {
    // Outside years 100..9999 the calendar shows its nearest end.
    constexpr double kFirst = -657434.0;    // 0100-01-01
    constexpr double kLast = 2958465.99999; // 9999-12-31 23:59:59.999
    if (!std::isfinite(value))
        value = 0.0;
    value = std::clamp(value, kFirst, kLast);
    const double days = std::trunc(value);
    qint64 msec = std::llround(std::fabs(value - days) * MSecsPerDay);
    const qint64 dayCount = static_cast<qint64>(days);
    msec = std::min(msec, static_cast<qint64>(MSecsPerDay) - 1);
    return QDateTime(kDayZero.addDays(dayCount), QTime::fromMSecsSinceStartOfDay(int(msec)),
                     Qt::UTC);
}

TDateTime FromQDateTime(const QDateTime& value) {
    const double days = static_cast<double>(kDayZero.daysTo(value.date()));
    const double time = value.time().msecsSinceStartOfDay() / MSecsPerDay;
    return days >= 0 ? days + time : days - time;
}

} // namespace ui

TDateTimePicker::TDateTimePicker(QWidget* parent)
    : QDateTimeEdit(parent), TWidgetComponent(this, parent) {
    // Dates and times here are wall-clock values with no zone: no daylight-saving gaps.
    setTimeSpec(Qt::UTC);
    setDateTimeRange(ui::ToQDateTime(-1e9), ui::ToQDateTime(1e9));
    FDateTime = ui::FromQDateTime(QDateTime::currentDateTime().toUTC());
    connect(this, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& shown) {
        if (!FShowing && !IsLoading())
            EditedByUser(shown);
    });
    SetKind(dtkDate);
}

void TDateTimePicker::SetKind(ui::TDateTimeKind kind) {
    FKind = kind;
    FShowing = true;
    setDisplayFormat(kind == dtkTime ? ui::UserTimeFormat() : ui::UserDateFormat());
    setCalendarPopup(kind == dtkDate);
    FShowing = false;
    ShowValue();
}

void TDateTimePicker::SetDateTime(TDateTime value) {
    FDateTime = value;
    ShowValue();
}

TDateTime TDateTimePicker::Date() const {
    return std::trunc(FDateTime);
}

void TDateTimePicker::SetDate(TDateTime date) {
    const double days = std::trunc(date);
    const double time = std::fabs(FDateTime - std::trunc(FDateTime));
    SetDateTime(days >= 0 ? days + time : days - time);
}

TDateTime TDateTimePicker::Time() const {
    // To the millisecond, as the picker shows it: the fraction of a date-time carries the
    // rounding error of its date part.
    const double fraction = TimeOf(FDateTime);
    return static_cast<double>(std::llround(fraction * MSecsPerDay)) / MSecsPerDay;
}

void TDateTimePicker::SetTime(TDateTime time) {
    const double days = std::trunc(FDateTime);
    const double fraction = std::fabs(time - std::trunc(time));
    SetDateTime(days >= 0 ? days + fraction : days - fraction);
}

void TDateTimePicker::ShowValue() {
    FShowing = true;
    setDateTime(ui::ToQDateTime(FDateTime));
    FShowing = false;
}

void TDateTimePicker::EditedByUser(const QDateTime& shown) {
    const TDateTime picked = ui::FromQDateTime(shown);
    const double days = FKind == dtkTime ? std::trunc(FDateTime) : std::trunc(picked);
    const double time = FKind == dtkTime ? std::fabs(picked - std::trunc(picked))
                                         : std::fabs(FDateTime - std::trunc(FDateTime));
    FDateTime = days >= 0 ? days + time : days - time;
    ui::CallHandler([this] { Change(); });
}

void TDateTimePicker::Change() {
    ui::Fire(OnChange, this);
}
