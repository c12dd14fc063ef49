// The form base and the application object.
//
// A form is a top-level window. Its geometry follows the class library: Left, Top, Width and
// Height are the window's frame, ClientWidth and ClientHeight its client area (both in pixels).
// A form is loaded by its setupUi, then ui::FinishLoading; OnCreate runs after that, from
// AfterConstruction (ui::CreateForm and TApplication::CreateForm call it). OnDestroy runs from
// BeforeDestruction, while the whole form and its controls still exist; a form freed through
// TFormDeleter (TFormPtr) or by the application object gets it, a form deleted by other means
// does not.
#pragma once

#include "Controls.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TForm : public QWidget, public TWidgetComponent {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(ui::TFormBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth)
    Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight)

public:
    // A form starts in the loading state; FinishLoading (or AfterConstruction) ends it.
    explicit TForm(QWidget* parent = nullptr);
    ~TForm() override;

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption) { setWindowTitle(caption); }

    // bsSingle and bsDialog: the window keeps its size and cannot be resized by dragging.
    ui::TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(ui::TFormBorderStyle style);

    int Left() const;
    void SetLeft(int left);
    int Top() const;
    void SetTop(int top);
    int Width() const;
    void SetWidth(int width);
    int Height() const;
    void SetHeight(int height);
    int ClientWidth() const { return width(); }
    void SetClientWidth(int width);
    int ClientHeight() const { return height(); }
    void SetClientHeight(int height);
    ui::TWindowState WindowState() const;
    void SetWindowState(ui::TWindowState state);

    void Show() { show(); }
    // The form's ordinary close operation. Closing the application's main form ends the
    // application's message loop.
    void Close() { close(); }

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnDestroy;

    // Finishes loading if that has not been done, then runs OnCreate inside the standard
    // exception report. Runs once.
    void AfterConstruction();
    // Runs OnDestroy inside the standard exception report. Runs once.
    void BeforeDestruction();

    void Loaded() override;

protected:
    virtual void DoCreate();
    virtual void DoShow();
    virtual void DoDestroy();

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyBorderStyle();
    void ResizeClient(int width, int height);

    ui::TFormBorderStyle FBorderStyle = bsSizeable;
    QSize FPlacedSize; // the client size the anchored controls are placed for
    bool FCreated = false;
    bool FDestroying = false;
};

// Frees a form the way the class library does: OnDestroy first, then the form.
struct TFormDeleter {
    void operator()(TForm* form) const;
};
template <class T> using TFormPtr = std::unique_ptr<T, TFormDeleter>;

namespace ui {

// Makes a form (its constructor loads it), then runs its OnCreate. The caller owns the form.
template <class T, class... Args> TFormPtr<T> CreateForm(Args&&... args) {
    TFormPtr<T> form(new T(std::forward<Args>(args)...));
    form->AfterConstruction();
    return form;
}

} // namespace ui

// Message box flags and answers, as the class library passes them on.
constexpr unsigned MB_OK = 0x00000000;
constexpr unsigned MB_ICONERROR = 0x00000010;
constexpr unsigned MB_ICONSTOP = MB_ICONERROR;
constexpr unsigned MB_ICONWARNING = 0x00000030;
constexpr unsigned MB_ICONINFORMATION = 0x00000040;
constexpr int IDOK = 1;

// What a message box is asked to show.
struct TMessageBoxRequest {
    QString Text;    // line ends CR, LF or CR LF
    QString Caption; // the window title of the box
    unsigned Flags;  // MB_OK with at most one MB_ICON... flag
};

// The application object. Exactly one exists while a program runs (made in main after the
// QApplication, and freed before it); `Application` points at it. Tests make their own.
class TApplication {
public:
    TApplication();
    ~TApplication(); // frees the forms it made, last made first, each with its OnDestroy
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    void Initialize() {}

    // The title of the program's message boxes. Default: the executable's name.
    QString Title() const;
    void SetTitle(const QString& title) { FTitle = title; }

    // Whether the main window carries the program's task-bar button. Every top-level window
    // has its own button here, so this is kept only as a setting.
    bool MainFormOnTaskbar = false;

    // Makes a form owned by the application; the first one made is the main form.
    template <class T, class... Args> T* CreateForm(Args&&... args) {
        TFormPtr<T> form = ui::CreateForm<T>(std::forward<Args>(args)...);
        T* result = form.get();
        FForms.emplace_back(std::move(form));
        return result;
    }
    TForm* MainForm() const { return FForms.empty() ? nullptr : FForms.front().get(); }

    // Shows the main form and runs the message loop until the main form closes. While it runs,
    // the system's request to end the program (SIGTERM, SIGINT, SIGHUP) closes the main form.
    void Run();
    // Ends the message loop (or keeps Run from starting it).
    void Terminate();
    bool Terminated() const { return FTerminated; }

    // A modal message box with an OK button; the caption defaults to the title. Answers IDOK.
    int MessageBox(const QString& text, const QString& caption = QString(), unsigned flags = MB_OK);

    // The standard exception report: from inside a catch block, shows the exception's message
    // in a message box with the error icon, titled with the application title, and returns.
    // Never throws.
    void HandleException() noexcept;
    void ShowException(const QString& message);

    // Shows every message box instead of a real one when set. Tests set it to record the
    // boxes without blocking; answer IDOK.
    std::function<int(const TMessageBoxRequest&)> MessageBoxHook;

private:
    friend class TForm;
    void FormClosed(TForm* form);

    QString FTitle;
    bool FTerminated = false;
    std::vector<TFormPtr<TForm>> FForms;
};

// The application object of the running program, or null when there is none.
extern TApplication* Application;
