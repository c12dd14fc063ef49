#include "Classes.h"
#include "StringList.h"

#include <gtest/gtest.h>

namespace {

TEST(CommaText, FieldsQuotesBlanksAndTheTrailingComma) {
    struct Row {
        QString text;
        QStringList fields;
    } const rows[] = {
        {"1507200605,a,b,c,12.3", {"1507200605", "a", "b", "c", "12.3"}},
        {"  a , b\t,c  ", {"a", "b", "c"}},
        {"a b,c", {"a", "b", "c"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {"a, ", {"a"}},
        {"\"x, \"\"y\"\" z\",w", {"x, \"y\" z", "w"}},
        {"\"ab\"cd,e", {"ab", "cd", "e"}},
        {"\"open, to the end", {"open, to the end"}},
        {QString("a,b") + QChar(0) + ",c", {"a", "b"}},
        {"\x01\x1fz\x7fy", {"z\x7fy"}},
        {"", {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SplitCommaText(row.text), row.fields) << row.text.toStdString();
}

TEST(StringList, SortedIgnoresCaseAndKeepsOnlyIdenticalStringsOut) {
    TStringList list;
    list.SetSorted(true);
    for (const char* s : {"snr-log-2017-10-06.log", "SNR-LOG-2017-10-05.LOG", "logs\\b.log",
                          "snr-log-2017-10-07.log", "snr-log-2017-10-06.log", "Logs\\a.log",
                          "snr-log-2017-10-05.log"})
        list.Add(s);
    EXPECT_EQ(list.ToStringList(),
              (QStringList{"Logs\\a.log", "logs\\b.log", "SNR-LOG-2017-10-05.LOG",
                           "snr-log-2017-10-05.log", "snr-log-2017-10-06.log",
                           "snr-log-2017-10-07.log"}));
    EXPECT_EQ(list.Add("snr-log-2017-10-07.log"), 5);
    EXPECT_EQ(list.Count(), 6);
    EXPECT_EQ(list.IndexOf("snr-log-2017-10-05.log"), 3);
    EXPECT_EQ(list.IndexOf("snr-log-2017-10-05.LOG"), -1);
    list.Duplicates = dupError;
    EXPECT_THROW(list.Add("logs\\b.log"), EStringListError);
}

} // namespace
