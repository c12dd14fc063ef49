#include "LogSeason.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cmath>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>

namespace {

std::string LogLine(const QDate& date, int second, const char* value) {
    char line[64];
    std::snprintf(line, sizeof line, "%04d/%02d/%02d %02d:%02d:%02d %s\r\n", date.year(),
                  date.month(), date.day(), second / 3600, second / 60 % 60, second % 60, value);
    return line;
}

std::string DayLog(const QDate& date, int day, const TSeasonShape& shape, std::mt19937& random) {
    std::uniform_real_distribution<double> noise(-0.15, 0.15);
    const double depth = 2.0 + (day * 7 % 31) / 10.0;
    const double centre = 11 * 3600 + (day * 13 % 241) - 120; // 11:00 give or take two minutes
    const int predicted = 11 * 3600 + 30;
    std::string text;
    text.reserve(static_cast<std::size_t>(shape.LastSecond - shape.FirstSecond + 2) * 26);
    auto add = [&](int second) {
        const double offset = (second - centre) / 180.0;
        const double snr = 12.0 - depth * std::exp(-offset * offset) + noise(random);
        char value[16];
        std::snprintf(value, sizeof value, "%.1f", snr);
        text += LogLine(date, second, value);
        if (day == shape.PredictedDay && second == predicted)
            text += LogLine(date, second, "PRED");
    };
    if (shape.Reversed) {
        for (int second = shape.LastSecond; second >= shape.FirstSecond; --second)
            add(second);
    } else {
        for (int second = shape.FirstSecond; second <= shape.LastSecond; ++second)
            add(second);
    }
    return text;
}

} // namespace

void WriteSeason(const QString& folder, const TSeasonShape& shape) {
    if (!QDir().mkpath(folder))
        throw std::runtime_error("cannot make " + folder.toStdString());
    std::mt19937 random(20180101);
    const QDate first(2018, 1, 1);
    for (int day = 0; day < shape.Days; ++day) {
        const QDate date = first.addDays(day);
        QFile file(folder + QStringLiteral("/snr-log-") + date.toString(u"yyyy-MM-dd") +
                   QStringLiteral(".log"));
        const std::string text = DayLog(date, day, shape, random);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(text.data(), static_cast<qint64>(text.size())) !=
                static_cast<qint64>(text.size()) ||
            !file.setFileTime(QDateTime(date, QTime(12, 0), Qt::UTC),
                              QFileDevice::FileModificationTime))
            throw std::runtime_error("cannot write " + file.fileName().toStdString());
    }
}
