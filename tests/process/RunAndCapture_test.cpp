#include "ProcessTestSupport.h"
#include "dprocess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

using namespace proctest;

namespace {

QByteArray Pattern(int count) {
    QByteArray bytes(count, '\0');
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

std::unique_ptr<TProcess> Prepared(const char* helper, const QStringList& parameters,
                                   TProcessOptions options = {}) {
    auto p = std::make_unique<TProcess>();
    p->Executable = Helper(helper);
    p->Parameters = parameters;
    p->SetOptions(options);
    return p;
}

} // namespace

TEST(RunAndCapture, OutputArrivesWholeAndInOrder) {
    // More than the growth step and than a pipe holds; every byte value, CR and LF included,
    // passes unchanged. The small one ends at once, so its bytes come from the drain.
    for (const int size : {0, 3000, 65536, 200000}) {
        QByteArray output = "stale";
        EXPECT_TRUE(RunAndCapture(Helper(HELPER_WRITEBYTES), {QString::number(size)}, output, {}));
        EXPECT_EQ(output.size(), size);
        EXPECT_TRUE(output == Pattern(size)) << size;
    }
}

TEST(RunAndCapture, StandardErrorAloneAndMerged) {
    QByteArray output;
    EXPECT_TRUE(RunAndCapture(Helper(HELPER_WRITEBYTES), {"5000", "err"}, output, {}));
    EXPECT_EQ(output, "");

    QByteArray out, err;
    int status = -1;
    EXPECT_EQ(CaptureOutput(Prepared(HELPER_WRITEBYTES, {"100000", "err"}), out, err, status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(err == Pattern(100000));

    EXPECT_TRUE(
        RunAndCapture(Helper(HELPER_WRITESTREAMS), {"out\n", "err\n"}, output, {poStderrToOutPut}));
    EXPECT_EQ(output, "out\nerr\n");

    EXPECT_EQ(CaptureOutput(Prepared(HELPER_WRITESTREAMS, {"out\n", "err\n"}, {poStderrToOutPut}),
                            out, err, status),
              0);
    EXPECT_EQ(out, "out\nerr\n");
    EXPECT_EQ(err, "");
}

TEST(RunAndCapture, ExitStatusDecidesTheAnswer) {
    QByteArray output;
    EXPECT_FALSE(RunAndCapture(Helper(HELPER_EXITCODE), {"1", "a line"}, output, {poNoConsole}));
    EXPECT_EQ(output, "a line\n");
    EXPECT_TRUE(RunAndCapture(Helper(HELPER_EXITCODE), {"0"}, output, {poNoConsole}));
    EXPECT_EQ(output, "");

    QByteArray out, err;
    int status = -1;
    EXPECT_EQ(CaptureOutput(Prepared(HELPER_EXITCODE, {"42"}), out, err, status), 0);
    EXPECT_EQ(status, 42);
}

TEST(RunAndCapture, MissingProgramAnswersFalseQuietly) {
    QByteArray output = "stale";
    EXPECT_NO_THROW(
        EXPECT_FALSE(RunAndCapture("tidelog-no-such-tool", {"snr"}, output, {poNoConsole})));
    EXPECT_EQ(output, "");

    QByteArray out = "x", err = "y";
    int status = -12345;
    EXPECT_EQ(CaptureOutput(std::make_unique<TProcess>(), out, err, status), 1); // nothing to run
    EXPECT_EQ(status, -12345);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    EXPECT_TRUE(HasNoChildren());
}

TEST(RunAndCapture, SuspendAndWaitOptionsAreStripped) {
    StartSpy spy;
    QByteArray output;
    // Were the child started suspended, the time limit would end the run and answer false.
    EXPECT_TRUE(RunAndCapture(Helper(HELPER_ECHOARGS), {"x"}, output,
                              {poRunSuspended, poWaitOnExit, poNoConsole}, 30000));
    EXPECT_EQ(output, "[x]\n");
    ASSERT_EQ(spy.Calls().size(), 1u);
    EXPECT_EQ(spy.Calls()[0].creationFlags, 0x28u); // no CREATE_SUSPENDED

    // Were the start to wait for the end, a child filling its pipe would never end.
    EXPECT_TRUE(RunAndCapture(Helper(HELPER_WRITEBYTES), {"200000"}, output, {poWaitOnExit}));
    EXPECT_EQ(output.size(), 200000);

    // No options at all: pipes only, none of the console options.
    EXPECT_TRUE(RunAndCapture(Helper(HELPER_ECHOARGS), {}, output, {}));
    EXPECT_EQ(spy.Calls().back().creationFlags, 0x20u);
    EXPECT_EQ(spy.Calls().back().startupFlags, 0x100u);
}

TEST(RunAndCapture, TimeLimitEndsAChildThatNeverEnds) {
    // The limit must leave the child time to start and print its line even on a loaded
    // machine, as the bytes it wrote before the cut-off are looked at.
    const auto started = std::chrono::steady_clock::now();
    QByteArray output;
    bool timedOut = false;
    EXPECT_FALSE(
        RunAndCapture(Helper(HELPER_HANG), {"partial"}, output, {poNoConsole}, 5000, &timedOut));
    EXPECT_TRUE(timedOut);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_GE(elapsed, std::chrono::milliseconds(5000));
    EXPECT_EQ(output, "partial\n");
    EXPECT_TRUE(HasNoChildren()); // terminated and reaped

    QByteArray out, err;
    int status = -12345;
    EXPECT_EQ(CaptureOutput(Prepared(HELPER_HANG, {}), out, err, status, 300), CaptureTimedOut);
    EXPECT_EQ(status, -12345);
    EXPECT_TRUE(HasNoChildren());

    // A limit that is not reached changes nothing; a missing program is a failure, not a time-out.
    EXPECT_TRUE(RunAndCapture(Helper(HELPER_ECHOARGS), {"in time"}, output, {}, 30000, &timedOut));
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(output, "[in time]\n");
    EXPECT_FALSE(RunAndCapture("no-such-program-here", {}, output, {}, 30000, &timedOut));
    EXPECT_FALSE(timedOut);
}

TEST(RunAndCapture, ThousandRunsLeaveNoDescriptorAndNoChild) {
    const auto before = OpenDescriptors();
    QByteArray output;
    int succeeded = 0;
    for (int i = 0; i < 1000; ++i)
        succeeded += RunAndCapture(Helper(HELPER_EXITCODE), {"0", "x"}, output, {poNoConsole});
    EXPECT_EQ(succeeded, 1000);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_TRUE(HasNoChildren());
}
