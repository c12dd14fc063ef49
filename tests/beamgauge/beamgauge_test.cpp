#include "ChildProcesses.h"
#include "SnrSample.h"
#include "TestDirs.h"
#include "TestFiles.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

#include <map>

namespace {

using TRun = proctest::ProgramRun;

// Runs beamgauge with the given arguments and BEAMGAUGE_ variables (and no inherited ones).
TRun RunTool(const QStringList& arguments, const std::map<QString, QString>& variables = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : env.keys())
        if (name.startsWith("BEAMGAUGE_"))
            env.remove(name);
    for (const auto& [name, value] : variables)
        env.insert(name, value);
    return proctest::RunProgram(BEAMGAUGE_PATH, arguments, env);
}

// The simulated SNR in tenths of a dB at a UTC time, for a device.
int Simulated(const QString& utc, const QStringList& device = {},
              std::map<QString, QString> variables = {}) {
    variables["BEAMGAUGE_SIMULATE"] = "1";
    variables["BEAMGAUGE_TIME"] = utc;
    const TRun run = RunTool(QStringList{"snr"} + device, variables);
    EXPECT_EQ(run.exitCode, 0) << utc.toStdString() << ": " << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith('\n'));
    bool ok = false;
    const int tenths = run.out.trimmed().toInt(&ok);
    EXPECT_TRUE(ok) << run.out.toStdString();
    return tenths;
}

TEST(Beamgauge, HelpNamesEverySwitch) {
    const TRun run = RunTool({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.isEmpty());
    for (const char* name :
         {"snr [DEVICE]", "BEAMGAUGE_SIMULATE", "BEAMGAUGE_DIP_CENTRE", "BEAMGAUGE_TIME",
          "BEAMGAUGE_DVB_ROOT", "BEAMGAUGE_OUTPUT", "BEAMGAUGE_GARBAGE", "BEAMGAUGE_NO_LOCK",
          "BEAMGAUGE_DELAY_MS", "BEAMGAUGE_HANG", "BEAMGAUGE_EXIT", "BEAMGAUGE_ARGS_FILE"})
        EXPECT_TRUE(run.out.contains(name)) << name;
}

TEST(Beamgauge, WrongArgumentsPrintNothingOnStandardOutput) {
    const QStringList rows[] = {
        {}, {"noise"}, {"snr", "x"}, {"snr", "-1"}, {"snr", "1", "2"}, {"SNR"}, {"snr", "256"}};
    for (const QStringList& arguments : rows) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const TRun run = RunTool(arguments, {{"BEAMGAUGE_SIMULATE", "1"}});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_FALSE(run.err.isEmpty());
    }
}

TEST(Beamgauge, WithoutAFrontendItSaysWhyAndFails) {
    const QString root = testdirs::WorkDir();
    const TRun none = RunTool({"snr"}, {{"BEAMGAUGE_DVB_ROOT", root}});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_TRUE(none.err.contains("adapter0/frontend0")) << none.err.toStdString();

    const TRun second = RunTool({"snr", "1"}, {{"BEAMGAUGE_DVB_ROOT", root}});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.err.contains("adapter1/frontend0")) << second.err.toStdString();

    // Something that is there but is no frontend.
    testfiles::WriteContents("adapter0/frontend0", "");
    const TRun notDvb = RunTool({"snr"}, {{"BEAMGAUGE_DVB_ROOT", root}});
    EXPECT_EQ(notDvb.exitCode, 1);
    EXPECT_TRUE(notDvb.out.isEmpty());
    EXPECT_TRUE(notDvb.err.contains("carrier-to-noise")) << notDvb.err.toStdString();
}

TEST(Beamgauge, AFrontendWithoutLockAnswersZero) {
    const struct {
        QStringList arguments;
        std::map<QString, QString> variables;
    } rows[] = {
        {{"snr"}, {{"BEAMGAUGE_NO_LOCK", "1"}}},
        {{"snr", "1"}, {{"BEAMGAUGE_NO_LOCK", "1"}}},
        {{"snr"}, {{"BEAMGAUGE_NO_LOCK", "1"}, {"BEAMGAUGE_SIMULATE", "1"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString() +
                     (row.variables.size() > 1 ? " simulated" : ""));
        const TRun run = RunTool(row.arguments, row.variables);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, "0\n");
        EXPECT_TRUE(run.err.contains("no signal lock")) << run.err.toStdString();
        // A value the logger takes (it drops only negative ones) and writes as 0.0.
        QString line;
        ASSERT_TRUE(FirstAnswerLine(run.out, line));
        EXPECT_EQ(SnrOfAnswerLine(line), 0.0f);
    }
}

TEST(Beamgauge, FixedOutputsAndExitCodes) {
    const QString root = testdirs::WorkDir(); // no frontend here
    const struct {
        std::map<QString, QString> variables;
        QByteArray out;
        int exitCode;
    } rows[] = {
        {{{"BEAMGAUGE_OUTPUT", "123"}}, "123", 0},
        {{{"BEAMGAUGE_OUTPUT", "  123  \\r\\n"}}, "  123  \r\n", 0},
        {{{"BEAMGAUGE_OUTPUT", "\\n123\\n"}}, "\n123\n", 0},
        {{{"BEAMGAUGE_OUTPUT", "a\\tb\\\\n\\x"}}, "a\tb\\n\\x", 0},
        {{{"BEAMGAUGE_OUTPUT", ""}}, "", 0},
        {{{"BEAMGAUGE_OUTPUT", "123"}, {"BEAMGAUGE_EXIT", "3"}}, "123", 3},
        {{{"BEAMGAUGE_OUTPUT", "123"}, {"BEAMGAUGE_GARBAGE", "1"}}, "123", 0},
        {{{"BEAMGAUGE_OUTPUT", "123"}, {"BEAMGAUGE_SIMULATE", "1"}}, "123", 0},
        {{{"BEAMGAUGE_DVB_ROOT", root}, {"BEAMGAUGE_EXIT", "0"}}, "", 0},
        {{{"BEAMGAUGE_OUTPUT", "123"}, {"BEAMGAUGE_EXIT", "x"}}, "123", 2},
        {{{"BEAMGAUGE_OUTPUT", "123"}, {"BEAMGAUGE_DELAY_MS", "soon"}}, "", 2},
    };
    for (const auto& row : rows) {
        std::string trace;
        for (const auto& [name, value] : row.variables)
            trace += (name + "=" + value + " ").toStdString();
        SCOPED_TRACE(trace);
        const TRun run = RunTool({"snr"}, row.variables);
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.exitCode, row.exitCode);
    }
}

TEST(Beamgauge, GarbageIsNoNumber) {
    const TRun run = RunTool({"snr"}, {{"BEAMGAUGE_GARBAGE", "1"}, {"BEAMGAUGE_SIMULATE", "1"}});
    EXPECT_EQ(run.exitCode, 0);
    QString line;
    ASSERT_TRUE(FirstAnswerLine(run.out, line));
    EXPECT_EQ(SnrOfAnswerLine(line), SnrNotANumber);
    EXPECT_NE(QString::fromUtf8(run.out).toUtf8(), run.out); // not valid UTF-8
}

TEST(Beamgauge, DelayComesBeforeTheAnswer) {
    QElapsedTimer clock;
    clock.start();
    const TRun run = RunTool({"snr"}, {{"BEAMGAUGE_OUTPUT", "123"}, {"BEAMGAUGE_DELAY_MS", "300"}});
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_EQ(run.out, "123");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(Beamgauge, HangAnswersThenNeverEnds) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BEAMGAUGE_OUTPUT", "123\\n");
    env.insert("BEAMGAUGE_HANG", "1");
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(BEAMGAUGE_PATH, {"snr"});
    QByteArray out;
    while (!out.contains('\n') && process.waitForReadyRead(30000))
        out += process.readAllStandardOutput();
    EXPECT_EQ(out, "123\n");
    // It has answered; it must still be running, whatever time it is given.
    EXPECT_FALSE(process.waitForFinished(200));
    EXPECT_EQ(process.state(), QProcess::Running);
    process.kill();
    EXPECT_TRUE(process.waitForFinished(30000));
}

TEST(Beamgauge, ArgumentsFileRecordsEachRun) {
    const QString path = testdirs::WorkDir() + "/args.txt";
    const std::map<QString, QString> variables{{"BEAMGAUGE_OUTPUT", "1"},
                                               {"BEAMGAUGE_ARGS_FILE", path}};
    RunTool({"snr"}, variables);
    RunTool({"snr", "1"}, variables);
    EXPECT_EQ(testfiles::Contents(path), "snr\nsnr 1\n");
}

TEST(Beamgauge, SimulationDipsAroundTheCentreAndRepeats) {
    for (const char* day : {"2018-10-01", "2018-10-02", "2018-10-03", "2018-10-04"}) {
        SCOPED_TRACE(day);
        const QString date = day;
        const int centre = Simulated(date + "T11:03:30");
        const int near = Simulated(date + "T10:59:30");
        const int far = Simulated(date + "T10:33:30");
        const int morning = Simulated(date + "T06:00:00");
        EXPECT_LE(centre, far - 20) << "at least 2 dB down at the centre";
        EXPECT_LT(centre, near);
        EXPECT_LT(near, far);
        EXPECT_NEAR(far, morning, 4);
        EXPECT_GE(far, 100);
        EXPECT_EQ(Simulated(date + "T11:03:30"), centre) << "the same instant, the same value";
    }
}

TEST(Beamgauge, SimulationHasALittleNoiseAndDeviceOneDiffers) {
    QSet<int> values;
    for (int second = 0; second < 20; ++second) {
        const QString utc = QString("2018-10-04T08:00:%1").arg(second, 2, 10, QChar('0'));
        const int tenths = Simulated(utc);
        EXPECT_NEAR(tenths, 122, 2);
        EXPECT_LE(Simulated(utc, {"1"}), tenths - 10);
        values.insert(tenths);
    }
    EXPECT_GT(values.size(), 1);
    EXPECT_LE(Simulated("2018-10-04T11:04:10", {"1"}),
              Simulated("2018-10-04T08:00:00", {"1"}) - 15);
}

TEST(Beamgauge, TheDipCentreCanBeMoved) {
    const std::map<QString, QString> afternoon{{"BEAMGAUGE_DIP_CENTRE", "15:30"}};
    EXPECT_LE(Simulated("2018-10-04T15:30:00", {}, afternoon),
              Simulated("2018-10-04T15:00:00", {}, afternoon) - 20);
    EXPECT_GE(Simulated("2018-10-04T11:03:30", {}, afternoon), 115);

    // A dip at midnight reaches back into the day before.
    const std::map<QString, QString> midnight{{"BEAMGAUGE_DIP_CENTRE", "00:00:00"}};
    EXPECT_LE(Simulated("2018-10-04T23:59:30", {}, midnight),
              Simulated("2018-10-04T23:00:00", {}, midnight) - 20);

    const std::map<QString, QString> bad[] = {
        {{"BEAMGAUGE_DIP_CENTRE", "25:00"}},         {{"BEAMGAUGE_DIP_CENTRE", "11:3"}},
        {{"BEAMGAUGE_DIP_CENTRE", "11:03:"}},        {{"BEAMGAUGE_DIP_CENTRE", "11:03:30x"}},
        {{"BEAMGAUGE_TIME", "2018-10-04 25:00:00"}}, {{"BEAMGAUGE_TIME", "1538650000"}},
    };
    for (const auto& variables : bad) {
        SCOPED_TRACE(variables.begin()->second.toStdString());
        const TRun run = RunTool({"snr"}, {{"BEAMGAUGE_SIMULATE", "1"}, *variables.begin()});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty());
    }
}

} // namespace
