#include "StdCtrls.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

TLabel::TLabel(QWidget* parent) : QLabel(parent), TWidgetComponent(this, parent) {
    // Captions are text, never markup.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

namespace {
// A caption's line ends (CR, LF or CR LF) as the lines a label shows; Qt breaks lines at LF only.
QString ShownLines(const QString& caption) {
    return QString(caption)
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(u'\r', u'\n');
}
} // namespace

QString TLabel::Caption() const {
    // The caption as it was set, as long as the label still shows it.
    return text() == ShownLines(FCaption) ? FCaption : text();
}

void TLabel::SetCaption(const QString& caption) {
    FCaption = caption;
    setText(ShownLines(caption));
    AdjustBounds();
}

void TLabel::SetAutoSize(bool autoSize) {
    FAutoSize = autoSize;
    AdjustBounds();
}

void TLabel::Loaded() {
    TWidgetComponent::Loaded();
    AdjustBounds();
}

void TLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        AdjustBounds();
}

void TLabel::AdjustBounds() {
    if (!FAutoSize || IsLoading())
        return;
    const QSize hint = sizeHint();
    QRect r = geometry();
    if (alignment() & Qt::AlignRight)
        r.setLeft(r.right() + 1 - hint.width());
    else
        r.setWidth(hint.width());
    r.setHeight(hint.height());
    setGeometry(r);
}

TButton::TButton(QWidget* parent) : QPushButton(parent), TWidgetComponent(this, parent) {
    connect(this, &QAbstractButton::clicked, this,
            [this] { ui::CallHandler([this] { Click(); }); });
}

void TButton::Click() {
    ui::Fire(OnClick, this);
}

TCheckBox::TCheckBox(QWidget* parent) : QCheckBox(parent), TWidgetComponent(this, parent) {
    connect(this, &QCheckBox::stateChanged, this, [this] { StateChangedByQt(); });
}

TCheckBoxState TCheckBox::State() const {
    switch (checkState()) {
    case Qt::Checked:
        return cbChecked;
    case Qt::PartiallyChecked:
        return cbGrayed;
    case Qt::Unchecked:
        break;
    }
    return cbUnchecked;
}

void TCheckBox::SetState(TCheckBoxState state) {
    if (state == State())
        return;
    if (state == cbGrayed && !isTristate())
        setTristate(true);
    FSettingState = true;
    setCheckState(state == cbChecked  ? Qt::Checked
                  : state == cbGrayed ? Qt::PartiallyChecked
                                      : Qt::Unchecked);
    FSettingState = false;
    Click();
}

void TCheckBox::StateChangedByQt() {
    // The user's clicks, keys, and the form resource setting the state: the first run the
    // click inside the exception report; while loading there is nobody to tell yet.
    if (FSettingState || IsLoading())
        return;
    ui::CallHandler([this] { Click(); });
}

void TCheckBox::SetAlignment(ui::TAlignment alignment) {
    FAlignment = alignment;
    update();
}

void TCheckBox::Click() {
    ui::Fire(OnClick, this);
}

void TCheckBox::paintEvent(QPaintEvent* event) {
    if (FAlignment != taLeftJustify) {
        QCheckBox::paintEvent(event);
        return;
    }
    // Caption on the left, box at the right edge: the places are those of a right-to-left
    // check box, while the caption itself is still drawn left to right.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    QStyleOptionButton mirrored = option;
    mirrored.direction = Qt::RightToLeft;

    QStyleOptionButton box = option;
    box.rect = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &mirrored, this);
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);

    QStyleOptionButton label = option;
    label.rect = QRect(0, 0, box.rect.left() - 2, height());
    painter.drawControl(QStyle::CE_CheckBoxLabel, label);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = painter.fontMetrics()
                         .boundingRect(label.rect, Qt::AlignLeft | Qt::AlignVCenter, text())
                         .adjusted(-1, 0, 1, 0)
                         .intersected(rect());
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool TCheckBox::hitButton(const QPoint& pos) const {
    if (FAlignment == taLeftJustify)
        return rect().contains(pos);
    return QCheckBox::hitButton(pos);
}

TComboBox::TComboBox(QWidget* parent) : QComboBox(parent), TWidgetComponent(this, parent) {
    connect(this, &QComboBox::currentIndexChanged, this, [this] { IndexChangedByQt(); });
}

int TComboBox::ItemIndex() const {
    if (IsLoading() && FLoadingItemIndex != -2)
        return FLoadingItemIndex;
    return currentIndex();
}

void TComboBox::SetItemIndex(int index) {
    if (IsLoading()) {
        FLoadingItemIndex = index;
        return;
    }
    if (index == currentIndex())
        return;
    // Qt takes any index: one that names no item clears the selection.
    FSettingIndex = true;
    setCurrentIndex(index);
    FSettingIndex = false;
    Click();
}

QStringList TComboBox::Items() const {
    QStringList items;
    for (int i = 0; i < count(); ++i)
        items.append(itemText(i));
    return items;
}

void TComboBox::SetItems(const QStringList& items) {
    // Qt selects the first item added to an empty list; the class library selects nothing.
    FSettingIndex = true;
    clear();
    addItems(items);
    setCurrentIndex(-1);
    FSettingIndex = false;
}

void TComboBox::Loaded() {
    TWidgetComponent::Loaded();
    if (FLoadingItemIndex != -2) {
        FSettingIndex = true;
        setCurrentIndex(FLoadingItemIndex);
        FSettingIndex = false;
        FLoadingItemIndex = -2;
    }
}

void TComboBox::IndexChangedByQt() {
    if (FSettingIndex || IsLoading())
        return;
    ui::CallHandler([this] {
        Click();
        Change();
    });
}

void TComboBox::Click() {
    ui::Fire(OnClick, this);
}

void TComboBox::Change() {
    ui::Fire(OnChange, this);
}

void TComboBox::DoExit() {
    ui::Fire(OnExit, this);
}

void TComboBox::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    // Dropping the list down, or switching to another window, keeps the control current in
    // its form: that is no exit.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    ui::CallHandler([this] { DoExit(); });
}
