// The program tidelog as a user runs it: started with the tool beside it, then asked by the
// system to end, it closes its window as the user would and stores its settings.
#include "TestDirs.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

TEST(TidelogProgram, EndRequestClosesTheWindowAndStoresTheSettings) {
    const QString key = testdirs::ConfigHome() + "/Software/Marrowby/tidelog.reg";
    // The whole day is inside the window, so the first firing (a second after start) samples.
    testfiles::WriteContents(key, "Windows Registry Editor Version 5.00\r\n\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\Marrowby\\tidelog]\r\n"
                                  "\"Start\"=hex:00,00,00,00,00,00,00,00\r\n"
                                  "\"Stop\"=hex:32,5f,37,ba,e7,ff,ef,3f\r\n"
                                  "\"Interval\"=dword:00000007\r\n");

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BEAMGAUGE_OUTPUT", "117\n");
    env.insert("BEAMGAUGE_ARGS_FILE", testdirs::Root() + "/args.txt");
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(testdirs::WorkDir());
    program.start(TIDELOG_PATH, {});
    ASSERT_TRUE(program.waitForStarted(10000));

    // The tool has run once the message loop is going.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return QFile::exists(testdirs::Root() + "/args.txt"); }, 30000));
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
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
