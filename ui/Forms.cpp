#include "Forms.h"

#include "endrequest.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFontDatabase>
#include <QMessageBox>
#include <QResizeEvent>
#include <QShowEvent>

TApplication* Application = nullptr;

TForm::TForm(QWidget* parent) : QWidget(parent, Qt::Window), TWidgetComponent(this, parent) {
    SetLoading(true);
}

TForm::~TForm() = default;

void TForm::SetBorderStyle(ui::TFormBorderStyle style) {
    FBorderStyle = style;
    ApplyBorderStyle();
}

void TForm::ApplyBorderStyle() {
    setWindowFlag(Qt::FramelessWindowHint, FBorderStyle == bsNone);
    switch (FBorderStyle) {
    case bsNone:
    case bsSingle:
    case bsDialog:
    case bsToolWindow:
        setFixedSize(size());
        break;
    case bsSizeable:
    case bsSizeToolWin:
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        break;
    }
}

// pos() of a window is the position of its frame; frameGeometry() is the whole window.
int TForm::Left() const {
    return pos().x();
}

void TForm::SetLeft(int left) {
    move(left, pos().y());
}

int TForm::Top() const {
    return pos().y();
}

void TForm::SetTop(int top) {
    move(pos().x(), top);
}

int TForm::Width() const {
    return frameGeometry().width();
}

void TForm::SetWidth(int width) {
    ResizeClient(width - (frameGeometry().width() - this->width()), height());
}

int TForm::Height() const {
    return frameGeometry().height();
}

void TForm::SetHeight(int height) {
    ResizeClient(width(), height - (frameGeometry().height() - this->height()));
}

void TForm::SetClientWidth(int width) {
    ResizeClient(width, height());
}

void TForm::SetClientHeight(int height) {
    ResizeClient(width(), height);
}

void TForm::ResizeClient(int width, int height) {
    if (maximumSize() == minimumSize() && FBorderStyle != bsSizeable &&
        FBorderStyle != bsSizeToolWin)
        setFixedSize(width, height);
    else
        resize(width, height);
}

ui::TWindowState TForm::WindowState() const {
    const Qt::WindowStates state = windowState();
    if (state & Qt::WindowMinimized)
        return wsMinimized;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return wsMaximized;
    return wsNormal;
}

void TForm::SetWindowState(ui::TWindowState state) {
    switch (state) {
    case wsNormal:
        setWindowState(Qt::WindowNoState);
        break;
    case wsMinimized:
        setWindowState(Qt::WindowMinimized);
        break;
    case wsMaximized:
        setWindowState(Qt::WindowMaximized);
        break;
    }
}

void TForm::Loaded() {
    TWidgetComponent::Loaded();
    // The form resource sets the size before the border style; fix the size it ended with.
    ApplyBorderStyle();
    FPlacedSize = size();
}

void TForm::AfterConstruction() {
    if (FCreated)
        return;
    FCreated = true;
    ui::FinishLoading(this);
    ui::CallHandler([this] { DoCreate(); });
}

void TForm::BeforeDestruction() {
    if (FDestroying)
        return;
    FDestroying = true;
    ui::CallHandler([this] { DoDestroy(); });
}

void TForm::DoCreate() {
    ui::Fire(OnCreate, this);
}

void TForm::DoShow() {
    ui::Fire(OnShow, this);
}

void TForm::DoDestroy() {
    ui::Fire(OnDestroy, this);
}

void TForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Spontaneous show events come from the window system (a restore from the task bar), not
    // from the form being shown.
    if (!event->spontaneous())
        ui::CallHandler([this] { DoShow(); });
}

void TForm::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted() && Application)
        Application->FormClosed(this);
}

void TForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A hidden window gets its resize events only when it is shown, and then without the old
    // size; so the size the controls were last placed for is kept here.
    if (IsLoading() || !FPlacedSize.isValid())
        return;
    const int dw = event->size().width() - FPlacedSize.width();
    const int dh = event->size().height() - FPlacedSize.height();
    FPlacedSize = event->size();
    if (dw == 0 && dh == 0)
        return;
    // Controls keep their distance to the edges they are anchored to; a control anchored to
    // neither edge of a direction keeps its place in the middle.
    const QList<QWidget*> controls = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) {
        if (control->isWindow())
            continue;
        const unsigned anchors = WidgetAnchors(control);
        if (anchors == (akLeft | akTop))
            continue;
        QRect r = control->geometry();
        if ((anchors & akLeft) && (anchors & akRight))
            r.setWidth(r.width() + dw);
        else if (anchors & akRight)
            r.translate(dw, 0);
        else if (!(anchors & akLeft))
            r.translate(dw / 2, 0);
        if ((anchors & akTop) && (anchors & akBottom))
            r.setHeight(r.height() + dh);
        else if (anchors & akBottom)
            r.translate(0, dh);
        else if (!(anchors & akTop))
            r.translate(0, dh / 2);
        control->setGeometry(r);
    }
}

void TFormDeleter::operator()(TForm* form) const {
    if (!form)
        return;
    form->BeforeDestruction();
    delete form;
}

TApplication::TApplication() {
    Q_ASSERT_X(qApp, "TApplication", "make the QApplication first");
    Q_ASSERT_X(!Application, "TApplication", "one application object at a time");
    Application = this;
    // The forms are designed in 8 pt Tahoma. Where it is missing, the condensed DejaVu face
    // has nearly its widths, so captions fit the designed places.
    const QString designed = QStringLiteral("Tahoma");
    if (!QFontDatabase::hasFamily(designed))
        QFont::insertSubstitution(designed, QStringLiteral("DejaVu Sans Condensed"));
}

TApplication::~TApplication() {
    while (!FForms.empty())
        FForms.pop_back();
    if (Application == this)
        Application = nullptr;
}

QString TApplication::Title() const {
    return FTitle.isEmpty() ? QCoreApplication::applicationName() : FTitle;
}

void TApplication::Run() {
    TForm* mainForm = MainForm();
    if (!mainForm || FTerminated)
        return;
    // Only the main form's closing ends the program, not the last window's.
    const bool quitOnLastWindow = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // A request from the system to end the program closes the main form as the user would,
    // so the windows store their settings on the way out.
    SetEndRequestHandler([this] {
        if (TForm* form = MainForm())
            form->Close();
    });
    mainForm->Show();
    if (!FTerminated)
        QApplication::exec();
    SetEndRequestHandler({});
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
}

void TApplication::Terminate() {
    FTerminated = true;
    QCoreApplication::exit(0);
}

void TApplication::FormClosed(TForm* form) {
    if (!FForms.empty() && FForms.front().get() == form && !FTerminated)
        Terminate();
}

int TApplication::MessageBox(const QString& text, const QString& caption, unsigned flags) {
    TMessageBoxRequest request{text, caption.isEmpty() ? Title() : caption, flags};
    if (MessageBoxHook)
        return MessageBoxHook(request);

    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    QMessageBox box;
    box.setWindowTitle(request.Caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
    switch (flags & 0xF0) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return IDOK;
}

void TApplication::ShowException(const QString& message) {
    MessageBox(message, Title(), MB_OK | MB_ICONERROR);
}

void TApplication::HandleException() noexcept {
    try {
        QString message;
        try {
            throw;
        } catch (const Exception& e) {
            message = e.Message();
        } catch (const std::exception& e) {
            message = QString::fromUtf8(e.what());
        } catch (...) {
            message = QStringLiteral("Unknown exception");
        }
        ShowException(message);
    } catch (const std::exception& e) {
        // The report itself failed (a hook that throws, no memory): nothing is left to show
        // it, and it must not reach Qt.
        qWarning("Exception report failed: %s", e.what());
    } catch (...) {
        qWarning("Exception report failed");
    }
}
