#include "endrequest.h"

#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

TEST(EndRequest, EachSignalReachesTheHandlerThroughTheEventLoop) {
    int requests = 0;
    SetEndRequestHandler([&] { ++requests; });
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        const int before = requests;
        ASSERT_EQ(::raise(sig), 0);
        EXPECT_EQ(requests, before) << "ran inside the signal handler";
        EXPECT_TRUE(QTest::qWaitFor([&] { return requests == before + 1; }, 30000)) << sig;
    }
    SetEndRequestHandler({});
    // The default handling is back: the handler is gone.
    struct sigaction current {};
    sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}
