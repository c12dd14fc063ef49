// The process component: what to run and how, the start, and what the start produced (handles,
// process id, exit code, the pipe streams of the child's standard handles); and run-and-capture,
// which runs a program to its end and hands back what it printed.
#pragma once

#include "Classes.h"
#include "dpipes.h"
#include "winbase.h"
#include "winprocess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <initializer_list>
#include <memory>

// A set of enumeration values, bit n = ordinal n.
template <typename E, typename Bits> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> values) {
        for (E v : values)
            FBits = static_cast<Bits>(FBits | Bit(v));
    }
    static constexpr TEnumSet FromBits(Bits bits) {
        TEnumSet s;
        s.FBits = bits;
        return s;
    }
    constexpr Bits ToBits() const { return FBits; }
    constexpr bool Contains(E v) const { return (FBits & Bit(v)) != 0; }
    constexpr bool IsEmpty() const { return FBits == 0; }
    constexpr TEnumSet operator+(E v) const { return FromBits(static_cast<Bits>(FBits | Bit(v))); }
    constexpr TEnumSet operator-(E v) const { return FromBits(static_cast<Bits>(FBits & ~Bit(v))); }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    static constexpr Bits Bit(E v) { return static_cast<Bits>(Bits{1} << static_cast<int>(v)); }
    Bits FBits = 0;
};

enum TProcessOption : int {
    poRunSuspended,
    poWaitOnExit,
    poUsePipes,
    poStderrToOutPut,
    poNoConsole,
    poNewConsole,
    poDefaultErrorMode,
    poNewProcessGroup,
    poDebugProcess,
    poDebugOnlyThisProcess
};
using TProcessOptions = TEnumSet<TProcessOption, std::uint16_t>;

enum TProcessPriority : std::uint8_t { ppHigh, ppIdle, ppNormal, ppRealTime };

enum TShowWindowOptions : std::uint8_t {
    swoNone,
    swoHIDE,
    swoMaximize,
    swoMinimize,
    swoRestore,
    swoShow,
    swoShowDefault,
    swoShowMaximized,
    swoShowMinimized,
    swoshowMinNOActive,
    swoShowNA,
    swoShowNoActivate,
    swoShowNormal
};

enum TStartupOption : int {
    suoUseShowWindow,
    suoUseSize,
    suoUsePosition,
    suoUseCountChars,
    suoUseFillAttribute
};
using TStartupOptions = TEnumSet<TStartupOption, std::uint8_t>;

// A failed start: "Cannot execute empty command-line" or "Failed to execute %s : %d".
class EProcess : public Exception {
public:
    using Exception::Exception;
};

// One child process. Settings are plain members or Name()/SetName() pairs where writing has a
// side effect. The component owns its pipe streams (which own the parent's pipe ends) and its
// process and thread handles. Freeing it closes them; a child that still runs goes on running
// (and is reaped by the process services when it ends).
class TProcess : public TComponent {
public:
    explicit TProcess(TComponent* AOwner = nullptr);
    ~TProcess() override;

    // --- settings ------------------------------------------------------------------------
    DWORD PipeBufferSize = 1024; // size suggested to the system for each of the child's pipes
    QString Executable;          // program, when ApplicationName and CommandLine are empty
    QStringList Parameters;      // its arguments, in order
    QString ConsoleTitle;        // kept; the start does not use it
    QString CurrentDirectory;    // the child's working directory; empty = the caller's
    QString Desktop;             // kept; the start does not use it
    QStringList Environment;     // "name=value" strings; none = the caller's environment
    TProcessPriority Priority = ppNormal;
    TStartupOptions StartupOptions;
    TShowWindowOptions ShowWindow = swoNone; // decided at the start
    DWORD FillAttribute = 0;
    QString XTermProgram; // kept; the start does not use it

    const QString& ApplicationName() const { return FApplicationName; }
    // In the designing state an empty CommandLine takes the same text, unsplit.
    void SetApplicationName(const QString& value);
    const QString& CommandLine() const { return FCommandLine; }
    // A new text refills Executable and Parameters (not while loading).
    void SetCommandLine(const QString& value);
    TProcessOptions Options() const { return FOptions; }
    // poNewConsole removes poNoConsole; poRunSuspended removes poWaitOnExit.
    void SetOptions(TProcessOptions value);
    // Each non-zero value adds the startup option that makes the system use it.
    DWORD WindowColumns() const { return FWindowColumns; }
    void SetWindowColumns(DWORD value);
    DWORD WindowRows() const { return FWindowRows; }
    void SetWindowRows(DWORD value);
    DWORD WindowHeight() const { return FWindowHeight; }
    void SetWindowHeight(DWORD value);
    DWORD WindowWidth() const { return FWindowWidth; }
    void SetWindowWidth(DWORD value);
    DWORD WindowLeft() const { return FWindowLeft; }
    void SetWindowLeft(DWORD value);
    DWORD WindowTop() const { return FWindowTop; }
    void SetWindowTop(DWORD value);
    bool InheritHandles() const { return FInheritHandles; }

    // Running and Active read the running test; writing Active true starts the child, false
    // ends it with exit code 0.
    bool Running();
    bool Active() { return Running(); }
    void SetActive(bool value);

    // --- what the start produced -----------------------------------------------------------
    DWORD ProcessID() const { return FProcessID; }
    HANDLE ProcessHandle() const { return FProcessHandle; }
    HANDLE ThreadHandle() const { return FThreadHandle; }
    // The last exit code read: 259 while running, 0 before a start.
    DWORD ExitCode() const { return FExitCode; }
    TOutputPipeStream* InputStream() const { return FInputStream.get(); }
    TInputPipeStream* OutputStream() const { return FOutputStream.get(); }
    // None with poStderrToOutPut.
    TInputPipeStream* ErrorStream() const { return FErrorStream.get(); }

    // --- operations ------------------------------------------------------------------------
    void Loaded() override;
    virtual void ReleaseHandles();
    // Frees the old streams, then makes new ones over the parent's pipe ends (which they own).
    virtual void MakePipeStreams(HANDLE InputHandle, HANDLE OutputHandle, HANDLE ErrorHandle);
    // Starts the child; raises EProcess when there is nothing to run, when a pipe cannot be
    // made, or when the system cannot create the process (with its error code). A second start
    // closes the handles of the first.
    virtual void Execute();
    virtual void FreeInputStream();
    virtual void FreeOutputStream();
    virtual void FreeErrorStream();
    // The previous suspend count, or 0xFFFFFFFF on failure.
    virtual DWORD ResumeMainThread();
    virtual DWORD SuspendMainThread();
    // Ends a running child with the given exit code; false when it is not running or the
    // system refuses.
    virtual bool TerminateWithCode(DWORD Code);

    // The running test, then ExitCode.
    DWORD CurrentExitCode();
    // Blocks until the child has ended; false when the wait failed.
    bool WaitForExit();
    // Waits at most the given time; true once the child has ended.
    bool WaitForExit(DWORD TimeoutMs);
    void FreePipeStreams();
    bool ProcessHasEnded();
    // Executable and Parameters from CommandLine.
    void ApplyCommandLine();

protected:
    bool FInheritHandles = true;

private:
    QString FApplicationName;
    QString FCommandLine;
    TProcessOptions FOptions;
    DWORD FWindowColumns = 0, FWindowRows = 0, FWindowHeight = 0, FWindowWidth = 0;
    DWORD FWindowLeft = 0, FWindowTop = 0;
    DWORD FProcessID = 0;
    HANDLE FProcessHandle = 0;
    HANDLE FThreadHandle = 0;
    bool FRunning = false;
    DWORD FExitCode = 0;
    std::unique_ptr<TOutputPipeStream> FInputStream;
    std::unique_ptr<TInputPipeStream> FOutputStream;
    std::unique_ptr<TInputPipeStream> FErrorStream;
};

// --- command-line words ---------------------------------------------------------------------

// Answers the first word of Text (blanks: space, tab, CR, LF; '"' and '\'' group) and leaves the
// rest in Text. A word that begins and ends with the same quote character loses both.
QString TakeFirstWord(QString& Text);
// Appends the non-empty words of Text to List.
void SplitCommandLine(const QString& Text, QStringList& List);

// --- pieces of the start, open for tests ----------------------------------------------------

// The word, in double quotes when it holds a blank (U+0020) and no double quote.
QString QuoteArgument(const QString& Word);
// The strings in the ANSI code page, each NUL-terminated, then one more NUL.
QByteArray BuildEnvironmentBlock(const QStringList& List);
DWORD ComputeCreationFlags(const TProcess& Process);
DWORD ComputeStartupFlags(const TProcess& Process);
void FillSecurityAttributes(SECURITY_ATTRIBUTES& Attributes);
void FillStartupInfo(STARTUPINFOW& Info, const TProcess& Process);
// Replaces the handle by an inheritable duplicate and closes the original; false (and the
// handle untouched) when the duplication fails.
bool MakeInheritable(HANDLE& Handle);

// The system call the start makes; tests replace it to watch the arguments, then pass them on.
using TCreateProcessW = BOOL (*)(LPCWSTR, LPWSTR, const SECURITY_ATTRIBUTES*,
                                 const SECURITY_ATTRIBUTES*, BOOL, DWORD, void*, LPCWSTR,
                                 const STARTUPINFOW*, PROCESS_INFORMATION*);
extern TCreateProcessW CreateProcessCall;

// --- run-and-capture -------------------------------------------------------------------------

// No limit on how long CaptureOutput waits for the child.
constexpr int NoTimeLimit = 0;

// Answers of CaptureOutput.
constexpr int CaptureRan = 0;      // the child ran to its end
constexpr int CaptureFailed = 1;   // it could not be run, or the run broke off on the way
constexpr int CaptureTimedOut = 2; // the time limit expired and the child was terminated

// Starts Process (set up, not started; the call owns it and frees it whatever happens) with its
// standard handles on pipes, collects standard output and error as bytes until it has ended,
// drains what is left, and answers 0 with ExitStatus = its exit code. Answers 1 when a run-time
// library exception (a failed start included) or an allocation failure happened on the way, with
// the bytes read so far and ExitStatus unwritten. With a time limit (milliseconds, > 0) a child
// still running when it expires is terminated, and the call answers CaptureTimedOut with the
// bytes read so far (a failed run all the same: ExitStatus unwritten).
int CaptureOutput(std::unique_ptr<TProcess> Process, QByteArray& Output, QByteArray& ErrorText,
                  int& ExitStatus, int TimeLimitMs = NoTimeLimit);

// Runs ProgramName with the arguments and options (poRunSuspended and poWaitOnExit are dropped)
// through CaptureOutput; answers true when it ran and ended with exit status 0. Output receives
// its standard output (its standard error too with poStderrToOutPut); the rest is dropped.
// TimedOut, when given, tells whether the time limit cut the run off.
bool RunAndCapture(const QString& ProgramName, const QStringList& Arguments, QByteArray& Output,
                   TProcessOptions RunOptions, int TimeLimitMs = NoTimeLimit,
                   bool* TimedOut = nullptr);
