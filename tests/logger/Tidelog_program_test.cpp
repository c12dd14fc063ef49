// The program tidelog as a user runs it: started with the tool beside it, then asked by the
// system to end, it closes its window as the user would and stores its settings.
#include "TestDirs.h"
#include "TestFiles.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

// The settings of a tidelog whose window covers the whole day, so the first firing (a second
// after start) samples, with "Interval" 7.
QString WriteAllDaySettings() {
    const QString key = testdirs::ConfigHome() + "/Software/Marrowby/tidelog.reg";
    testfiles::WriteContents(key, "Windows Registry Editor Version 5.00\r\n\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\Marrowby\\tidelog]\r\n"
                                  "\"Start\"=hex:00,00,00,00,00,00,00,00\r\n"
                                  "\"Stop\"=hex:32,5f,37,ba,e7,ff,ef,3f\r\n"
                                  "\"Interval\"=dword:00000007\r\n");
    return key;
}

// Starts tidelog in the test's working folder with the tool answering 11.7 dB; waits until the
// tool has run once, so the first sample is under way or done, then asks the program to end.
void StartSampleThenAskToEnd(QProcess& program) {
    const QString argsFile = testdirs::Root() + "/args.txt";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BEAMGAUGE_OUTPUT", "117\\n");
    env.insert("BEAMGAUGE_ARGS_FILE", argsFile);
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(testdirs::WorkDir());
    program.start(TIDELOG_PATH, {});
    EXPECT_TRUE(program.waitForStarted(30000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(argsFile); }, 30000));
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
}

} // namespace

TEST(TidelogProgram, EndRequestClosesTheWindowAndStoresTheSettings) {
    const QString key = WriteAllDaySettings();
    QProcess program;
    StartSampleThenAskToEnd(program);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    const QByteArray stored = testfiles::Contents(key);
    for (const char* value :
         {"\"FormState\"=dword:00000000", "\"FormClientWidth\"=dword:00000126",
          "\"FormClientHeight\"=dword:0000005a", "\"Device\"=dword:00000000",
          "\"Interval\"=dword:00000007", "\"Stop\"=hex:32,5f,37,ba,e7,ff,ef,3f"})
        EXPECT_TRUE(stored.contains(value)) << value << "\n" << stored.constData();
    QDir logs(testdirs::WorkDir());
    const QStringList files = logs.entryList({"snr-log-*.log"});
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(testfiles::Contents(logs.filePath(files[0])).endsWith(" 11.7\r\n"));
}

TEST(TidelogProgram, ALogFileThatIsAPipeIsRefusedAndTheProgramStillEnds) {
    const QString key = WriteAllDaySettings();
    // Today's and tomorrow's log are pipes that no one reads, so a midnight between here and the
    // sample changes nothing.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QDate& day : {now.date(), now.date().addDays(1)}) {
        const QString name = "snr-log-" + day.toString("yyyy-MM-dd") + ".log";
        ASSERT_EQ(::mkfifo(QFile::encodeName(testdirs::WorkDir() + "/" + name), 0644), 0);
    }

    QProcess program;
    StartSampleThenAskToEnd(program);
    // A program stuck opening the pipe would never serve the request; it is killed then.
    const bool ended = program.waitForFinished(30000);
    if (!ended) {
        program.kill();
        program.waitForFinished(30000);
    }
    ASSERT_TRUE(ended) << "still running after the request to end";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(testfiles::Contents(key).contains("\"FormClientWidth\"=dword:00000126"));
    // The pipes are still pipes and nothing else was made.
    QDir logs(testdirs::WorkDir());
    EXPECT_EQ(logs.entryList(QDir::Files | QDir::System).size(), 2);
    for (const QFileInfo& log : logs.entryInfoList({"snr-log-*.log"}, QDir::System))
        EXPECT_FALSE(log.isFile()) << log.fileName().toStdString();
}
