#include "ProcessTestSupport.h"
#include "TestDirs.h"
#include "dprocess.h"

#include <QDir>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace proctest;

namespace {

QByteArray ReadAll(TInputPipeStream& stream) {
    QByteArray all;
    char buffer[4096];
    for (std::int32_t n; (n = stream.Read(buffer, sizeof buffer)) > 0;)
        all.append(buffer, n);
    return all;
}

class NonInheritingProcess : public TProcess {
public:
    NonInheritingProcess() { FInheritHandles = false; }
};

} // namespace

TEST(CommandLineWords, SplitTable) {
    const struct {
        QString text;
        QStringList words;
    } cases[] = {
        {"a b", {"a", "b"}},
        {" \t a\r\n\r\n b  \n", {"a", "b"}},
        {"'two words' x", {"two words", "x"}},
        {R"("it's" 'say "hi"')", {"it's", R"(say "hi")"}},
        {R"(x"a b"y)", {R"(x"a b"y)"}},
        {R"("a"b")", {R"(a"b)"}},
        {"'it''s'", {"it''s"}},
        {R"("unclosed rest)", {R"("unclosed rest)"}},
        {R"(x "open 'to the end)", {"x", R"("open 'to the end)"}},
        {R"("" x)", {"x"}},
        {"'", {}},
        {"\"", {}},
        {"", {}},
        {"   ", {}},
    };
    for (const auto& c : cases) {
        QStringList words{"kept"};
        SplitCommandLine(c.text, words);
        EXPECT_EQ(words, QStringList{"kept"} + c.words) << c.text.toStdString();
    }
    QString text = "  first  second third ";
    EXPECT_EQ(TakeFirstWord(text), "first");
    EXPECT_EQ(text, "second third ");
    text = R"( "a b"c d)";
    EXPECT_EQ(TakeFirstWord(text), R"("a b"c)");
    EXPECT_EQ(text, "d");
}

TEST(CommandLineWords, CommandLineFillsExecutableAndParameters) {
    TProcess p;
    p.SetCommandLine(R"("/opt/my tools/beamgauge" -x)");
    EXPECT_EQ(p.Executable, "/opt/my tools/beamgauge");
    EXPECT_EQ(p.Parameters, QStringList{"-x"});

    p.SetCommandLine(R"("" x)");
    EXPECT_EQ(p.Executable, "x");
    EXPECT_TRUE(p.Parameters.isEmpty());

    // Nothing to split: the parameters go, the executable stays.
    for (const QString& blank : {QString(), QString(" \t ")}) {
        p.Parameters = {"old"};
        p.SetCommandLine(blank);
        EXPECT_TRUE(p.Parameters.isEmpty());
        EXPECT_EQ(p.Executable, "x");
    }

    // The same text again changes nothing.
    p.SetCommandLine("tool a");
    p.Parameters.append("edited");
    p.SetCommandLine("tool a");
    EXPECT_EQ(p.Parameters, (QStringList{"a", "edited"}));

    // While loading the text is only stored; the after-load step splits only in a designer.
    TProcess loading;
    loading.SetLoading(true);
    loading.SetCommandLine("tool b");
    EXPECT_TRUE(loading.Executable.isEmpty());
    loading.Loaded();
    EXPECT_TRUE(loading.Executable.isEmpty());
    loading.SetDesigning(true);
    loading.Loaded();
    EXPECT_EQ(loading.Executable, "tool");
    EXPECT_EQ(loading.Parameters, QStringList{"b"});

    TProcess designed;
    designed.SetApplicationName("app");
    EXPECT_TRUE(designed.CommandLine().isEmpty());
    designed.SetDesigning(true);
    designed.SetApplicationName("app two");
    EXPECT_EQ(designed.CommandLine(), "app two");
    EXPECT_TRUE(designed.Executable.isEmpty());
}

TEST(ProcessComponent, SettersAndDefaults) {
    TProcess p;
    EXPECT_EQ(p.Priority, ppNormal);
    EXPECT_EQ(p.ShowWindow, swoNone);
    EXPECT_TRUE(p.InheritHandles());
    EXPECT_EQ(p.PipeBufferSize, 1024u);
    EXPECT_TRUE(p.Options().IsEmpty());

    p.SetOptions({poNoConsole, poNewConsole});
    EXPECT_EQ(p.Options(), TProcessOptions{poNewConsole});
    p.SetOptions({poRunSuspended, poWaitOnExit});
    EXPECT_EQ(p.Options(), TProcessOptions{poRunSuspended});
    p.SetOptions({poWaitOnExit, poNoConsole});
    EXPECT_EQ(p.Options(), (TProcessOptions{poWaitOnExit, poNoConsole}));

    p.SetWindowLeft(10);
    EXPECT_EQ(p.StartupOptions, TStartupOptions{suoUsePosition});
    p.SetWindowLeft(0);
    EXPECT_EQ(p.StartupOptions, TStartupOptions{suoUsePosition});
    p.SetWindowWidth(0);
    EXPECT_EQ(p.StartupOptions, TStartupOptions{suoUsePosition});
    p.SetWindowHeight(5);
    p.SetWindowRows(3);
    EXPECT_EQ(p.StartupOptions, (TStartupOptions{suoUsePosition, suoUseSize, suoUseCountChars}));

    // Never started: no system call can tell anything.
    EXPECT_FALSE(p.Running());
    EXPECT_FALSE(p.Active());
    EXPECT_EQ(p.CurrentExitCode(), 0u);
    EXPECT_FALSE(p.TerminateWithCode(1));
    p.SetActive(false);
    EXPECT_EQ(p.ProcessHandle(), 0);
    EXPECT_EQ(p.ResumeMainThread(), 0xFFFFFFFFu);
    EXPECT_EQ(p.SuspendMainThread(), 0xFFFFFFFFu);
}

TEST(ProcessStart, QuotingAndEnvironmentBlock) {
    const struct {
        QString word, quoted;
    } quoting[] = {
        {"snr", "snr"},
        {"/opt/my tools/beamgauge", R"("/opt/my tools/beamgauge")"},
        {R"(say "hi" now)", R"(say "hi" now)"},
        {"", ""},
        {"a\tb", "a\tb"},
        {" ", R"(" ")"},
    };
    for (const auto& q : quoting)
        EXPECT_EQ(QuoteArgument(q.word), q.quoted);

    EXPECT_EQ(BuildEnvironmentBlock({"A=1", "B=\u00fc"}), QByteArray("A=1\0B=\xc3\xbc\0\0", 10));
    EXPECT_EQ(BuildEnvironmentBlock({""}), QByteArray("\0\0", 2));
    EXPECT_EQ(BuildEnvironmentBlock({}), QByteArray("\0", 1));
}

TEST(ProcessStart, CreationAndStartupFlags) {
    const struct {
        TProcessOptions options;
        TProcessPriority priority;
        DWORD flags;
    } creation[] = {
        {{poNoConsole, poUsePipes}, ppNormal, 0x28},
        {{}, ppNormal, 0x20},
        {{poRunSuspended, poWaitOnExit, poStderrToOutPut}, ppIdle, 0x44},
        {{poNewConsole}, ppHigh, 0x90},
        {{poDefaultErrorMode, poNewProcessGroup}, ppRealTime, 0x4000300},
        {{poDebugProcess, poDebugOnlyThisProcess}, ppNormal, 0x23},
    };
    for (const auto& c : creation) {
        TProcess p;
        p.SetOptions(c.options);
        p.Priority = c.priority;
        EXPECT_EQ(ComputeCreationFlags(p), c.flags);
    }

    const struct {
        TShowWindowOptions show;
        WORD command;
    } shows[] = {{swoNone, 0},          {swoHIDE, 0},
                 {swoMaximize, 3},      {swoMinimize, 6},
                 {swoRestore, 9},       {swoShow, 5},
                 {swoShowDefault, 10},  {swoShowMaximized, 3},
                 {swoShowMinimized, 2}, {swoshowMinNOActive, 7},
                 {swoShowNA, 8},        {swoShowNoActivate, 4},
                 {swoShowNormal, 1}};
    for (const auto& s : shows) {
        TProcess p;
        p.StartupOptions = {suoUseShowWindow, suoUseFillAttribute};
        p.ShowWindow = s.show;
        STARTUPINFOW info;
        FillStartupInfo(info, p);
        EXPECT_EQ(info.wShowWindow, s.command);
        EXPECT_EQ(info.dwFlags, s.show == swoNone ? 0x10u : 0x11u);
        EXPECT_EQ(info.cb, sizeof(STARTUPINFOW));
    }

    TProcess p;
    p.SetOptions({poUsePipes});
    p.FillAttribute = 0x1F;
    p.SetWindowLeft(1);
    p.SetWindowTop(2);
    p.SetWindowWidth(3);
    p.SetWindowHeight(4);
    p.SetWindowColumns(5);
    p.SetWindowRows(6);
    EXPECT_EQ(ComputeStartupFlags(p), 0x10Eu);
    STARTUPINFOW info;
    FillStartupInfo(info, p);
    EXPECT_EQ(info.dwFlags, 0x11Eu);
    EXPECT_EQ(info.dwFillAttribute, 0x1Fu);
    EXPECT_EQ((std::vector<DWORD>{info.dwX, info.dwY, info.dwXSize, info.dwYSize,
                                  info.dwXCountChars, info.dwYCountChars}),
              (std::vector<DWORD>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(info.lpDesktop, nullptr);
    EXPECT_EQ(info.lpTitle, nullptr);
}

TEST(ProcessStart, WhatToRunAndHowTheCommandLineIsBuilt) {
    StartSpy spy;
    {
        TProcess p;
        EXPECT_EQ(MessageOf<EProcess>([&] { p.Execute(); }), "Cannot execute empty command-line");
        EXPECT_EQ(p.OutputStream(), nullptr);
        EXPECT_TRUE(spy.Calls().empty());
    }
    {
        // Built from Executable and Parameters; the failure names the (empty) CommandLine.
        TProcess p;
        p.SetOptions({poUsePipes});
        p.Executable = "/no such dir/beamgauge";
        p.Parameters = {"snr", "", "a b", R"(say "hi" x)", "t\tab"};
        EXPECT_EQ(MessageOf<EProcess>([&] { p.Execute(); }), "Failed to execute  : 2");
        ASSERT_EQ(spy.Calls().size(), 1u);
        EXPECT_EQ(spy.Calls()[0].commandLine,
                  "\"/no such dir/beamgauge\" snr  \"a b\" say \"hi\" x t\tab");
        EXPECT_TRUE(spy.Calls()[0].applicationNull);
        EXPECT_FALSE(p.Running());
        EXPECT_EQ(p.ProcessHandle(), 0);
        EXPECT_EQ(p.ExitCode(), 0u);
        ASSERT_NE(p.OutputStream(), nullptr); // made over the parent's ends all the same
        EXPECT_NE(p.ErrorStream(), nullptr);
        EXPECT_NE(p.InputStream(), nullptr);
    }
    {
        // CommandLine wins over Executable and is passed as it is.
        TProcess p;
        p.SetOptions({poUsePipes});
        p.SetCommandLine(Helper(HELPER_ECHOARGS) + R"( "x y" 'z')");
        p.Executable = "ignored";
        p.Execute();
        EXPECT_EQ(spy.Calls().back().commandLine, Helper(HELPER_ECHOARGS) + R"( "x y" 'z')");
        EXPECT_TRUE(p.WaitForExit());
        EXPECT_EQ(ReadAll(*p.OutputStream()), "[x y]\n['z']\n");
    }
    {
        // ApplicationName wins over everything; an empty CommandLine goes as an empty text.
        TProcess p;
        p.SetOptions({poUsePipes});
        p.SetApplicationName(Helper(HELPER_ECHOARGS));
        p.Executable = "ignored";
        p.Parameters = {"ignored"};
        p.Execute();
        EXPECT_FALSE(spy.Calls().back().applicationNull);
        EXPECT_EQ(spy.Calls().back().applicationName, Helper(HELPER_ECHOARGS));
        EXPECT_EQ(spy.Calls().back().commandLine, "");
        EXPECT_TRUE(p.WaitForExit());
        EXPECT_EQ(ReadAll(*p.OutputStream()), "");
    }
    {
        // A bad folder fails the start with the system's code and CommandLine in the message.
        TProcess p;
        p.SetCommandLine(Helper(HELPER_ECHOARGS));
        p.CurrentDirectory = testdirs::WorkDir() + "/absent";
        EXPECT_EQ(MessageOf<EProcess>([&] { p.Execute(); }),
                  "Failed to execute " + Helper(HELPER_ECHOARGS) + " : 2");
        EXPECT_EQ(p.OutputStream(), nullptr);
    }
}

TEST(ProcessStart, LoggingProgramStartAndArguments) {
    StartSpy spy;
    QByteArray output;
    EXPECT_TRUE(RunAndCapture(Helper(HELPER_ECHOARGS), {"snr", "1"}, output, {poNoConsole}));
    EXPECT_EQ(output, "[snr]\n[1]\n");
    ASSERT_EQ(spy.Calls().size(), 1u);
    const StartCall& call = spy.Calls()[0];
    EXPECT_TRUE(call.applicationNull);
    EXPECT_EQ(call.commandLine, QuoteArgument(Helper(HELPER_ECHOARGS)) + " snr 1");
    EXPECT_EQ(call.creationFlags, 0x28u);
    EXPECT_EQ(call.startupFlags, 0x100u);
    EXPECT_EQ(call.showWindow, 0);
    EXPECT_EQ(call.inheritHandles, 1);
    EXPECT_TRUE(call.environmentNull);
    EXPECT_TRUE(call.directoryNull);
    EXPECT_FALSE(call.errorSharesOutput);
}

TEST(ProcessStart, EnvironmentAndDirectoryReachTheChild) {
    StartSpy spy;
    auto p = std::make_unique<TProcess>();
    p->Executable = Helper(HELPER_PRINTENV);
    p->Environment = {"TIDELOG_A=1", "TIDELOG_B=two words"};
    p->CurrentDirectory = testdirs::Root();
    QByteArray out, err;
    int status = -1;
    EXPECT_EQ(CaptureOutput(std::move(p), out, err, status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "cwd=" + QDir(testdirs::Root()).canonicalPath().toLocal8Bit() +
                       "\nTIDELOG_A=1\nTIDELOG_B=two words\n");
    EXPECT_EQ(spy.Calls().back().environment,
              QByteArray("TIDELOG_A=1\0TIDELOG_B=two words\0\0", 33));
    EXPECT_EQ(spy.Calls().back().directory, testdirs::Root());
}

TEST(ProcessStart, SuspendedChildRunsOnlyAfterResume) {
    TProcess p;
    p.SetOptions({poRunSuspended, poUsePipes});
    p.Executable = Helper(HELPER_ECHOARGS);
    p.Parameters = {"ran"};
    p.Execute();
    EXPECT_TRUE(p.Running());
    EXPECT_EQ(ProcessState(p.ProcessID()), 'T');
    EXPECT_EQ(p.OutputStream()->BytesWaiting(), 0u);
    EXPECT_EQ(p.SuspendMainThread(), 1u);
    EXPECT_EQ(p.ResumeMainThread(), 2u);
    EXPECT_EQ(ProcessState(p.ProcessID()), 'T');
    EXPECT_EQ(p.ResumeMainThread(), 1u);
    EXPECT_TRUE(p.WaitForExit());
    EXPECT_FALSE(p.Running());
    EXPECT_EQ(p.ExitCode(), 0u);
    EXPECT_EQ(ReadAll(*p.OutputStream()), "[ran]\n");
}

TEST(ProcessStart, WaitOnExitAndTerminateWithCode) {
    TProcess waited;
    waited.SetOptions({poWaitOnExit});
    waited.Executable = Helper(HELPER_EXITCODE);
    waited.Parameters = {"5"};
    waited.Execute();
    EXPECT_FALSE(waited.Running());
    EXPECT_EQ(waited.ExitCode(), 5u);
    EXPECT_FALSE(waited.TerminateWithCode(1));

    TProcess hanging;
    hanging.Executable = Helper(HELPER_HANG);
    hanging.SetActive(true);
    EXPECT_TRUE(hanging.Active());
    EXPECT_EQ(hanging.CurrentExitCode(), STILL_ACTIVE);
    hanging.SetActive(true); // already running: nothing happens
    EXPECT_TRUE(hanging.TerminateWithCode(7));
    EXPECT_TRUE(hanging.WaitForExit());
    EXPECT_EQ(hanging.ExitCode(), 7u);
    EXPECT_EQ(hanging.CurrentExitCode(), 7u);
    EXPECT_FALSE(hanging.TerminateWithCode(8));
    EXPECT_EQ(hanging.ExitCode(), 7u);
}

TEST(ProcessStart, AChildEndingWith259IsSeenToEnd) {
    TProcess p;
    p.Executable = Helper(HELPER_HANG);
    p.Execute();
    EXPECT_TRUE(p.TerminateWithCode(STILL_ACTIVE));
    // The exit code alone would read "still running" for ever.
    EXPECT_TRUE(EventuallyTrue([&] { return !p.Running(); }));
    EXPECT_EQ(p.ExitCode(), STILL_ACTIVE);
}

TEST(ProcessStart, SecondStartClosesTheFirstStartsHandles) {
    const auto before = OpenDescriptors();
    DWORD firstPid = 0;
    {
        TProcess p;
        p.SetOptions({poUsePipes});
        p.Executable = Helper(HELPER_HANG);
        p.Execute();
        firstPid = p.ProcessID();
        const auto afterFirst = OpenDescriptors();
        p.Execute();
        EXPECT_NE(p.ProcessID(), firstPid);
        EXPECT_TRUE(ProcessExists(firstPid));
        kill(static_cast<pid_t>(firstPid), SIGKILL);
        // Once the first child is reaped, only the second start's handles and streams remain.
        EXPECT_TRUE(EventuallyTrue([&] { return OpenDescriptors().size() == afterFirst.size(); }));
        EXPECT_TRUE(p.TerminateWithCode(1));
        EXPECT_TRUE(p.WaitForExit());
    }
    // The first child, whose handles were closed while it ran, is reaped all the same.
    EXPECT_TRUE(EventuallyTrue([&] { return !ProcessExists(firstPid); }));
    EXPECT_TRUE(EventuallyTrue([&] { return OpenDescriptors() == before; }));
}

TEST(ProcessStart, DestroyingTheComponentLeavesTheChildRunning) {
    const auto before = OpenDescriptors();
    DWORD pid = 0;
    {
        TProcess p;
        p.SetOptions({poUsePipes});
        p.Executable = Helper(HELPER_HANG);
        p.Execute();
        pid = p.ProcessID();
    }
    ExpectRunningThenReapedWhenKilled(pid, before);
}

TEST(ProcessStart, PipeFailureReleasesWhatWasMadeAndRaises) {
    // Allow only k more descriptors, for every k up to what a start needs: each step of the
    // pipe set-up fails once, and none may leave a descriptor behind.
    const auto before = OpenDescriptors();
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &original), 0);
    {
        // One failed start with descriptors to spare first: the sanitizers' type checks need a
        // descriptor of their own the first time they meet a type.
        TProcess p;
        p.SetOptions({poUsePipes});
        p.Executable = "/no/such/program";
        EXPECT_EQ(MessageOf<EProcess>([&] { p.Execute(); }), "Failed to execute  : 2");
    }
    for (int k = 0; k <= 6; ++k) {
        // The lowest limit below which exactly k descriptor numbers are free.
        int limit = 0;
        for (int free = 0;; ++limit) {
            if (fcntl(limit, F_GETFD) != -1)
                continue;
            if (free == k)
                break;
            ++free;
        }
        QString message;
        {
            TProcess p;
            p.SetOptions({poUsePipes});
            p.Executable = "/no/such/program";
            rlimit tight = original;
            tight.rlim_cur = static_cast<rlim_t>(limit);
            ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
            message = MessageOf<EProcess>([&] { p.Execute(); });
            ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &original), 0);
        }
        // Too few descriptors for the pipes: EMFILE; enough: the missing program (ENOENT).
        EXPECT_TRUE(message == "Failed to execute  : 24" || message == "Failed to execute  : 2")
            << k << ": " << message.toStdString();
        if (k < 3) {
            EXPECT_EQ(message, "Failed to execute  : 24") << k;
        }
        EXPECT_EQ(OpenDescriptors(), before) << k;
    }
}

TEST(ProcessStart, WithoutInheritanceTheChildGetsNoPipeEnd) {
    auto p = std::make_unique<NonInheritingProcess>();
    p->Executable = Helper(HELPER_ECHOARGS);
    p->Parameters = {"lost"};
    QByteArray out, err;
    int status = -1;
    EXPECT_EQ(CaptureOutput(std::move(p), out, err, status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "");
}
