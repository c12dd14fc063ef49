#include "dprocess.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <new>
#include <string>

TCreateProcessW CreateProcessCall = &CreateProcessW;

namespace {

const QString EmptyCommandLineText = QStringLiteral("Cannot execute empty command-line");
const QString FailedToExecuteText = QStringLiteral("Failed to execute %1 : %2");

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool IsQuote(QChar c) {
    return c == u'"' || c == u'\'';
}

WORD ShowCommandFor(TShowWindowOptions show) {
    switch (show) {
    case swoNone:
    case swoHIDE:
        return SW_HIDE;
    case swoMaximize:
        return SW_MAXIMIZE;
    case swoMinimize:
        return SW_MINIMIZE;
    case swoRestore:
        return SW_RESTORE;
    case swoShow:
        return SW_SHOW;
    case swoShowDefault:
        return SW_SHOWDEFAULT;
    case swoShowMaximized:
        return SW_SHOWMAXIMIZED;
    case swoShowMinimized:
        return SW_SHOWMINIMIZED;
    case swoshowMinNOActive:
        return SW_SHOWMINNOACTIVE;
    case swoShowNA:
        return SW_SHOWNA;
    case swoShowNoActivate:
        return SW_SHOWNOACTIVATE;
    case swoShowNormal:
        return SW_SHOWNORMAL;
    }
    return SW_HIDE;
}

// The text as the system's wide strings (UTF-16), valid while the text lives.
LPCWSTR Wide(const QString& text) {
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

// Closes the handles made so far when a later step fails, keeping the failure's error code.
void CloseKeepingError(std::initializer_list<HANDLE> handles) {
    const DWORD error = GetLastError();
    for (HANDLE h : handles)
        CloseHandle(h);
    SetLastError(error);
}

// Creates the child's three pipes. The parent's ends stay not inheritable, the child's ends are
// made inheritable. False when a pipe or a duplicate cannot be made: then everything made so far
// is closed again and GetLastError tells why.
bool CreateChildPipes(HANDLE& InputHandle, HANDLE& OutputHandle, HANDLE& ErrorHandle,
                      DWORD BufferSize, bool SeparateError, STARTUPINFOW& Info) {
    HANDLE inRead = 0, inWrite = 0, outRead = 0, outWrite = 0, errRead = 0, errWrite = 0;
    if (!MakePipe(inRead, inWrite, BufferSize))
        return false;
    if (!MakeInheritable(inRead)) {
        CloseKeepingError({inRead, inWrite});
        return false;
    }
    if (!MakePipe(outRead, outWrite, BufferSize)) {
        CloseKeepingError({inRead, inWrite});
        return false;
    }
    if (!MakeInheritable(outWrite)) {
        CloseKeepingError({inRead, inWrite, outRead, outWrite});
        return false;
    }
    if (SeparateError) {
        if (!MakePipe(errRead, errWrite, BufferSize)) {
            CloseKeepingError({inRead, inWrite, outRead, outWrite});
            return false;
        }
        if (!MakeInheritable(errWrite)) {
            CloseKeepingError({inRead, inWrite, outRead, outWrite, errRead, errWrite});
            return false;
        }
    } else {
        errRead = outRead;
        errWrite = outWrite;
    }
    Info.hStdInput = inRead;
    Info.hStdOutput = outWrite;
    Info.hStdError = errWrite;
    InputHandle = inWrite;
    OutputHandle = outRead;
    ErrorHandle = errRead;
    return true;
}

// A window setting: stored, and when it is given (non-zero) the startup option that makes the
// system use it is added.
void SetWindowValue(DWORD& field, DWORD value, TStartupOptions& options, TStartupOption use) {
    field = value;
    if (value != 0)
        options = options + use;
}

// The field is cleared before the stream goes, so nothing reaches a stream being freed.
template <typename Stream> void FreeStream(std::unique_ptr<Stream>& field) {
    auto stream = std::move(field);
    stream.reset();
}

} // namespace

// --- command-line words ---------------------------------------------------------------------

QString TakeFirstWord(QString& Text) {
    const qsizetype n = Text.size();
    qsizetype i = 0;
    while (i < n && IsBlank(Text[i]))
        ++i;
    const qsizetype start = i;
    bool quoted = false;
    QChar closing;
    for (; i < n; ++i) {
        const QChar c = Text[i];
        if (quoted) {
            if (c == closing)
                quoted = false;
        } else if (IsQuote(c)) {
            quoted = true;
            closing = c;
        } else if (IsBlank(c)) {
            break;
        }
    }
    QString word = Text.mid(start, i - start);
    if (!word.isEmpty() && IsQuote(word.front()) && word.back() == word.front())
        word = word.size() >= 2 ? word.mid(1, word.size() - 2) : QString();
    while (i < n && IsBlank(Text[i]))
        ++i;
    Text.remove(0, i);
    return word;
}

void SplitCommandLine(const QString& Text, QStringList& List) {
    QString rest = Text;
    while (!rest.isEmpty()) {
        const QString word = TakeFirstWord(rest);
        if (!word.isEmpty())
            List.append(word);
    }
}

// --- pieces of the start --------------------------------------------------------------------

QString QuoteArgument(const QString& Word) {
    if (Word.contains(u' ') && !Word.contains(u'"'))
        return u'"' + Word + u'"';
    return Word;
}

QByteArray BuildEnvironmentBlock(const QStringList& List) {
    QByteArray block;
    for (const QString& entry : List) {
        block.append(entry.toLocal8Bit());
        block.append('\0');
    }
    block.append('\0');
    return block;
}

DWORD ComputeCreationFlags(const TProcess& Process) {
    static constexpr struct {
        TProcessOption option;
        DWORD flag;
    } optionFlags[] = {
        {poRunSuspended, CREATE_SUSPENDED},
        {poNoConsole, DETACHED_PROCESS},
        {poNewConsole, CREATE_NEW_CONSOLE},
        {poDefaultErrorMode, CREATE_DEFAULT_ERROR_MODE},
        {poNewProcessGroup, CREATE_NEW_PROCESS_GROUP},
        {poDebugProcess, DEBUG_PROCESS},
        {poDebugOnlyThisProcess, DEBUG_ONLY_THIS_PROCESS},
    };
    DWORD flags = 0;
    for (const auto& entry : optionFlags)
        if (Process.Options().Contains(entry.option))
            flags |= entry.flag;
    switch (Process.Priority) {
    case ppHigh:
        flags |= HIGH_PRIORITY_CLASS;
        break;
    case ppIdle:
        flags |= IDLE_PRIORITY_CLASS;
        break;
    case ppNormal:
        flags |= NORMAL_PRIORITY_CLASS;
        break;
    case ppRealTime:
        flags |= REALTIME_PRIORITY_CLASS;
        break;
    }
    return flags;
}

DWORD ComputeStartupFlags(const TProcess& Process) {
    DWORD flags = Process.StartupOptions.ToBits(); // bit n is the startup flag 2^n
    if (Process.Options().Contains(poUsePipes))
        flags |= STARTF_USESTDHANDLES;
    return flags;
}

void FillSecurityAttributes(SECURITY_ATTRIBUTES& Attributes) {
    Attributes = SECURITY_ATTRIBUTES{};
    Attributes.nLength = sizeof(SECURITY_ATTRIBUTES);
}

void FillStartupInfo(STARTUPINFOW& Info, const TProcess& Process) {
    Info = STARTUPINFOW{};
    Info.cb = sizeof(STARTUPINFOW);
    Info.dwFlags = ComputeStartupFlags(Process);
    if (Process.ShowWindow != swoNone)
        Info.dwFlags |= STARTF_USESHOWWINDOW;
    else
        Info.dwFlags &= ~STARTF_USESHOWWINDOW;
    Info.wShowWindow = ShowCommandFor(Process.ShowWindow);
    if (Process.Options().Contains(poUsePipes))
        Info.dwFlags |= STARTF_USESTDHANDLES;
    if (Process.FillAttribute != 0) {
        Info.dwFlags |= STARTF_USEFILLATTRIBUTE;
        Info.dwFillAttribute = Process.FillAttribute;
    }
    Info.dwXCountChars = Process.WindowColumns();
    Info.dwYCountChars = Process.WindowRows();
    Info.dwYSize = Process.WindowHeight();
    Info.dwXSize = Process.WindowWidth();
    Info.dwY = Process.WindowTop();
    Info.dwX = Process.WindowLeft();
}

bool MakeInheritable(HANDLE& Handle) {
    const HANDLE self = GetCurrentProcess();
    HANDLE duplicate = 0;
    if (!DuplicateHandle(self, Handle, self, &duplicate, 0, 1, DUPLICATE_SAME_ACCESS))
        return false;
    const HANDLE original = Handle;
    Handle = duplicate;
    return CloseHandle(original) != 0;
}

// --- TProcess -------------------------------------------------------------------------------

TProcess::TProcess(TComponent* AOwner) : TComponent(AOwner) {}

TProcess::~TProcess() {
    Parameters.clear();
    Environment.clear();
    FreePipeStreams();
    ReleaseHandles();
}

void TProcess::SetApplicationName(const QString& value) {
    FApplicationName = value;
    if (IsDesigning() && FCommandLine.isEmpty())
        FCommandLine = value;
}

void TProcess::SetCommandLine(const QString& value) {
    if (value == FCommandLine)
        return;
    FCommandLine = value;
    if (!IsLoading())
        ApplyCommandLine();
}

void TProcess::SetOptions(TProcessOptions value) {
    if (value.Contains(poNewConsole))
        value = value - poNoConsole;
    if (value.Contains(poRunSuspended))
        value = value - poWaitOnExit;
    FOptions = value;
}

void TProcess::SetWindowColumns(DWORD value) {
    SetWindowValue(FWindowColumns, value, StartupOptions, suoUseCountChars);
}

void TProcess::SetWindowRows(DWORD value) {
    SetWindowValue(FWindowRows, value, StartupOptions, suoUseCountChars);
}

void TProcess::SetWindowHeight(DWORD value) {
    SetWindowValue(FWindowHeight, value, StartupOptions, suoUseSize);
}

void TProcess::SetWindowWidth(DWORD value) {
    SetWindowValue(FWindowWidth, value, StartupOptions, suoUseSize);
}

void TProcess::SetWindowLeft(DWORD value) {
    SetWindowValue(FWindowLeft, value, StartupOptions, suoUsePosition);
}

void TProcess::SetWindowTop(DWORD value) {
    SetWindowValue(FWindowTop, value, StartupOptions, suoUsePosition);
}

bool TProcess::Running() {
    if (!FRunning)
        return false;
    GetExitCodeProcess(FProcessHandle, &FExitCode); // a failure keeps the last code
    FRunning = !ProcessHasEnded();
    return FRunning;
}

bool TProcess::ProcessHasEnded() {
    if (FExitCode != STILL_ACTIVE)
        return true;
    // 259 is also a code a child can end with (TerminateProcess can give it): ask whether the
    // process has really ended, without waiting, and read the code again if it has.
    if (WaitForSingleObject(FProcessHandle, 0) != WAIT_OBJECT_0)
        return false;
    GetExitCodeProcess(FProcessHandle, &FExitCode);
    return true;
}

void TProcess::SetActive(bool value) {
    if (value == Running())
        return;
    if (value)
        Execute();
    else
        TerminateWithCode(0);
}

DWORD TProcess::CurrentExitCode() {
    Running();
    return FExitCode;
}

bool TProcess::TerminateWithCode(DWORD Code) {
    if (!Running())
        return false;
    return TerminateProcess(FProcessHandle, Code) != 0;
}

DWORD TProcess::ResumeMainThread() {
    return ResumeThread(FThreadHandle);
}

DWORD TProcess::SuspendMainThread() {
    return SuspendThread(FThreadHandle);
}

void TProcess::ReleaseHandles() {
    if (FProcessHandle != 0)
        CloseHandle(FProcessHandle);
    if (FThreadHandle != 0)
        CloseHandle(FThreadHandle);
}

void TProcess::FreePipeStreams() {
    FreeErrorStream();
    FreeOutputStream();
    FreeInputStream();
}

void TProcess::FreeInputStream() {
    FreeStream(FInputStream);
}

void TProcess::FreeOutputStream() {
    FreeStream(FOutputStream);
}

void TProcess::FreeErrorStream() {
    FreeStream(FErrorStream);
}

void TProcess::MakePipeStreams(HANDLE InputHandle, HANDLE OutputHandle, HANDLE ErrorHandle) {
    FreePipeStreams();
    FInputStream = std::make_unique<TOutputPipeStream>(InputHandle);
    FOutputStream = std::make_unique<TInputPipeStream>(OutputHandle);
    if (!FOptions.Contains(poStderrToOutPut))
        FErrorStream = std::make_unique<TInputPipeStream>(ErrorHandle);
}

void TProcess::ApplyCommandLine() {
    Parameters.clear();
    SplitCommandLine(FCommandLine, Parameters);
    if (!Parameters.isEmpty())
        Executable = Parameters.takeFirst();
}

void TProcess::Loaded() {
    TComponent::Loaded();
    if (IsDesigning() && !FCommandLine.isEmpty())
        ApplyCommandLine();
}

void TProcess::Execute() {
    const bool useApplicationName = !FApplicationName.isEmpty();
    QString commandLine;
    if (useApplicationName || !FCommandLine.isEmpty()) {
        commandLine = FCommandLine;
    } else if (!Executable.isEmpty()) {
        commandLine = QuoteArgument(Executable);
        for (const QString& parameter : Parameters)
            commandLine += u' ' + QuoteArgument(parameter);
    } else {
        throw EProcess(EmptyCommandLineText);
    }

    const bool hasEnvironment = !Environment.isEmpty();
    const QByteArray environmentBlock =
        hasEnvironment ? BuildEnvironmentBlock(Environment) : QByteArray();

    const DWORD creationFlags = ComputeCreationFlags(*this);
    SECURITY_ATTRIBUTES processAttributes, threadAttributes;
    FillSecurityAttributes(processAttributes);
    FillSecurityAttributes(threadAttributes);
    STARTUPINFOW startupInfo;
    FillStartupInfo(startupInfo, *this);

    const bool usePipes = FOptions.Contains(poUsePipes);
    const bool separateError = !FOptions.Contains(poStderrToOutPut);
    HANDLE inputHandle = 0, outputHandle = 0, errorHandle = 0;
    if (usePipes && !CreateChildPipes(inputHandle, outputHandle, errorHandle, PipeBufferSize,
                                      separateError, startupInfo)) {
        const DWORD error = GetLastError();
        throw EProcess(FailedToExecuteText.arg(FCommandLine, QString::number(error)));
    }

    // The system may write into the command line, so it gets a copy of its own.
    std::u16string commandBuffer(Wide(commandLine), static_cast<std::size_t>(commandLine.size()));
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessCall(
        useApplicationName ? Wide(FApplicationName) : nullptr, commandBuffer.data(),
        &processAttributes, &threadAttributes, FInheritHandles ? 1 : 0, creationFlags,
        hasEnvironment ? const_cast<char*>(environmentBlock.constData()) : nullptr,
        CurrentDirectory.isEmpty() ? nullptr : Wide(CurrentDirectory), &startupInfo, &info);
    const DWORD error = started ? 0 : GetLastError();

    if (started) {
        // A second start of the same component: the first child's handles are not needed any
        // more (the process services go on reaping that child).
        ReleaseHandles();
        FProcessHandle = info.hProcess;
        FThreadHandle = info.hThread;
        FProcessID = info.dwProcessId;
    }
    if (usePipes) {
        CloseHandle(startupInfo.hStdInput);
        CloseHandle(startupInfo.hStdOutput);
        if (separateError)
            CloseHandle(startupInfo.hStdError);
        MakePipeStreams(inputHandle, outputHandle, errorHandle);
    }
    if (!started)
        throw EProcess(FailedToExecuteText.arg(FCommandLine, QString::number(error)));

    FRunning = true;
    if (!IsDesigning() && FOptions.Contains(poWaitOnExit) && !FOptions.Contains(poRunSuspended))
        WaitForExit();
}

bool TProcess::WaitForExit() {
    const DWORD result = WaitForSingleObject(FProcessHandle, INFINITE);
    if (result != WAIT_FAILED)
        CurrentExitCode();
    FRunning = false;
    return result != WAIT_FAILED;
}

bool TProcess::WaitForExit(DWORD TimeoutMs) {
    if (WaitForSingleObject(FProcessHandle, TimeoutMs) != WAIT_OBJECT_0)
        return false;
    CurrentExitCode();
    FRunning = false;
    return true;
}

// --- run-and-capture -------------------------------------------------------------------------

namespace {

constexpr qsizetype GrowthStep = 65536;
constexpr DWORD IdlePauseMs = 100;
// How long a terminated child is given to be gone before its handles are closed anyway (the
// process services then reap it when it ends).
constexpr DWORD TerminationWaitMs = 5000;
// The exit code a child ended by the time limit is given.
constexpr DWORD TimedOutExitCode = 1;

// One captured stream: the text runs ahead of the bytes read in 64 KiB steps and is cut back
// to them once at the end.
class Capture {
public:
    explicit Capture(QByteArray& text) : FText(text) { FText.clear(); }

    void ReadFrom(TInputPipeStream& stream, DWORD waiting) {
        const qsizetype n = std::min<qsizetype>(waiting, INT_MAX);
        if (FCount + n > FText.size()) {
            qsizetype capacity = FCount + GrowthStep;
            while (capacity < FCount + n)
                capacity += GrowthStep;
            FText.resize(capacity);
        }
        const std::int32_t got = stream.Read(FText.data() + FCount, static_cast<std::int32_t>(n));
        if (got > 0)
            FCount += got;
    }

    void Finish() { FText.truncate(FCount); }

private:
    QByteArray& FText;
    qsizetype FCount = 0;
};

} // namespace

int CaptureOutput(std::unique_ptr<TProcess> Process, QByteArray& Output, QByteArray& ErrorText,
                  int& ExitStatus, int TimeLimitMs) {
    using Clock = std::chrono::steady_clock;
    const bool limited = TimeLimitMs > 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limited ? TimeLimitMs : 0);
    auto expired = [&] { return limited && Clock::now() >= deadline; };

    Capture output(Output), errors(ErrorText);
    int answer = CaptureRan;
    try {
        Process->SetOptions(Process->Options() + poUsePipes);
        Process->Execute();
        TInputPipeStream& outStream = *Process->OutputStream();
        TInputPipeStream* errStream = Process->ErrorStream();

        bool timedOut = false;
        while (Process->Running()) {
            if (expired()) {
                timedOut = true;
                break;
            }
            if (const DWORD n = outStream.BytesWaiting(); n > 0) {
                output.ReadFrom(outStream, n);
            } else if (errStream && errStream->BytesWaiting() != 0) {
                errors.ReadFrom(*errStream, errStream->BytesWaiting());
            } else {
                DWORD pause = IdlePauseMs;
                if (limited) {
                    const auto left =
                        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now())
                            .count();
                    pause = static_cast<DWORD>(std::clamp<long long>(left, 0, IdlePauseMs));
                }
                Sleep(pause);
            }
        }

        // The child has ended: what it wrote last is still in the pipes. Something it left
        // behind may keep writing to them, so the time limit holds here too.
        auto drain = [&](TInputPipeStream* stream, Capture& capture) {
            for (DWORD n; stream && !timedOut && (n = stream->BytesWaiting()) > 0;) {
                capture.ReadFrom(*stream, n);
                timedOut = expired();
            }
        };
        drain(&outStream, output);
        drain(errStream, errors);

        if (timedOut) {
            Process->TerminateWithCode(TimedOutExitCode);
            Process->WaitForExit(TerminationWaitMs);
            answer = CaptureTimedOut;
        } else {
            ExitStatus = static_cast<int>(Process->CurrentExitCode());
        }
    } catch (const Exception&) {
        answer = CaptureFailed;
    } catch (const std::bad_alloc&) {
        answer = CaptureFailed;
    }
    output.Finish();
    errors.Finish();
    Process.reset();
    return answer;
}

bool RunAndCapture(const QString& ProgramName, const QStringList& Arguments, QByteArray& Output,
                   TProcessOptions RunOptions, int TimeLimitMs, bool* TimedOut) {
    Output.clear();
    auto process = std::make_unique<TProcess>(nullptr);
    if (!RunOptions.IsEmpty())
        process->SetOptions(RunOptions - poRunSuspended - poWaitOnExit);
    process->Executable = ProgramName;
    process->Parameters.append(Arguments);
    QByteArray errorText;
    int exitStatus = 0;
    const int answer =
        CaptureOutput(std::move(process), Output, errorText, exitStatus, TimeLimitMs);
    if (TimedOut)
        *TimedOut = answer == CaptureTimedOut;
    return answer == CaptureRan && exitStatus == 0;
}
