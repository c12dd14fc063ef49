// The plotting window on a season of logs: rebuilds of 60 and 1800 daily files (hidden, and
// with the paint), one paint of 1800 day curves, ten whole-day files, one whole-day file in
// falling time order, the program's start to its first painted chart, and its memory.
//
// The cursor read-out is timed move by move over a grid of mouse positions spread across the
// plotting rectangle of the 60- and 1800-day charts; it reports the median, the 90th percentile
// and the worst move.
//
// The logs are written into a temporary folder at start (about 120 MB). Memory and start-up
// are measured in a child run of this program, so each figure is that of a fresh process:
//   Dipview_bench --child start|rebuilds MASK [SPAWN_NS]
// With DIPVIEW_BENCH_PICTURES=FOLDER it first saves pictures of the 1800-day and the whole-day
// windows there. DIPVIEW_BENCH_KEEP=1 keeps the logs (the folder is printed) and
// DIPVIEW_BENCH_DATA=FOLDER reads them from there instead of writing them anew.
#include "Dipviewform.h"
#include "Forms.h"
#include "LogSeason.h"
#include "SharedUnits.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <vector>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

QString gDataFolder;

QString Mask(const char* set) {
    return gDataFolder + u'/' + QLatin1String(set) + QStringLiteral("/snr-log-*.log");
}

std::int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

// "VmHWM" (peak) or "VmRSS" (now) of this process, in MiB.
double MemoryMiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string name;
    while (status >> name) {
        if (name == field + ":") {
            double kib = 0;
            status >> kib;
            return kib / 1024.0;
        }
    }
    return 0;
}

// The UTC window a benchmark plots: the program's default, every line of the made-up files
// (10:40 to 11:20), or the whole day.
enum TSpan { spDefault, spWholeFile, spWholeDay };

// The window as the program opens it: default place and size, smoothing "Smooth", and the
// UTC window set explicitly, as the settings of an earlier benchmark would otherwise decide it.
struct TWindow {
    TFormPtr<TFormDipview> Form;

    TWindow(const char* set, bool shown, TSpan span = spDefault) {
        Form = ui::CreateForm<TFormDipview>(Mask(set));
        Form->TimerStartup->SetEnabled(false); // the benchmark calls the rebuild itself
        Form->ComboBoxSmoothing->SetItemIndex(1);
        const TDateTime starts[] = {EncodeTime(10, 45, 0, 0), EncodeTime(10, 40, 0, 0), 0};
        const TDateTime stops[] = {EncodeTime(11, 15, 0, 0), EncodeTime(11, 20, 0, 0),
                                   EncodeTime(23, 59, 59, 0)};
        // Stop first: a start later than the old stop would be refused by the axis.
        Form->DateTimePickerUTCstop->SetTime(stops[span]);
        Form->DateTimePickerUTCstart->SetTime(starts[span]);
        Form->StartStopChange(Form->DateTimePickerUTCstart);
        if (shown) {
            Form->show();
            QApplication::processEvents();
        }
    }
    void Rebuild() { Form->TimerStartupTimer(Form->TimerStartup); }
};

void BM_Rebuild(benchmark::State& state, const char* set, TSpan span) {
    TWindow window(set, false, span);
    for (auto _ : state)
        window.Rebuild();
    state.counters["series"] = window.Form->Chart->SeriesCount();
}

void BM_RebuildAndPaint(benchmark::State& state, const char* set, TSpan span) {
    TWindow window(set, true, span);
    for (auto _ : state) {
        window.Rebuild();
        window.Form->Chart->RepaintNow();
    }
}

void BM_Paint(benchmark::State& state, const char* set, TSpan span) {
    TWindow window(set, true, span);
    window.Rebuild();
    for (auto _ : state)
        window.Form->Chart->RepaintNow();
    state.counters["series"] = window.Form->Chart->SeriesCount();
}

// The read-out as the chart's mouse moves run it: the handler alone, at every position of a
// grid of 20 x 15 over the plotting rectangle, edges included.
void BM_CursorReadOut(benchmark::State& state, const char* set) {
    TWindow window(set, true);
    window.Rebuild();
    window.Form->Chart->RepaintNow();
    const QRect rect = window.Form->Chart->ChartRect();
    constexpr int columns = 20;
    constexpr int rows = 15;
    std::vector<double> ms;
    int hits = 0;
    for (auto _ : state) {
        ms.clear();
        hits = 0;
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column) {
                const int x = rect.left() + (rect.width() - 1) * column / (columns - 1);
                const int y = rect.top() + (rect.height() - 1) * row / (rows - 1);
                const std::int64_t start = MonotonicNs();
                window.Form->ChartMouseMove(window.Form->Chart, {}, x, y);
                ms.push_back((MonotonicNs() - start) / 1e6);
                hits += window.Form->LabelCursor->Caption().isEmpty() ? 0 : 1;
            }
        std::sort(ms.begin(), ms.end());
        state.SetIterationTime(ms[ms.size() / 2] / 1000.0);
    }
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["p90_ms"] = ms[ms.size() * 9 / 10];
    state.counters["worst_ms"] = ms.back();
    state.counters["moves"] = static_cast<double>(ms.size());
    state.counters["hits"] = hits;
}

// Runs this program as a child, with a settings home of its own (the program's defaults), and
// reads the "name value" lines it prints.
std::map<std::string, double> RunChild(const char* mode, const char* set) {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), QLatin1String(mode), Mask(set),
                 QString::number(MonotonicNs())});
    std::map<std::string, double> figures;
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        return figures;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            figures[parts[0].toStdString()] = parts[1].toDouble();
    }
    return figures;
}

void BM_ProgramStart(benchmark::State& state, const char* set) {
    std::map<std::string, double> figures;
    for (auto _ : state) {
        figures = RunChild("start", set);
        if (!figures.count("painted_ms")) {
            state.SkipWithError("the child did not paint");
            return;
        }
        state.SetIterationTime(figures["painted_ms"] / 1000.0);
    }
    state.counters["peak_MiB"] = figures["peak_MiB"];
}

void BM_Memory(benchmark::State& state, const char* set) {
    std::map<std::string, double> figures;
    for (auto _ : state)
        figures = RunChild("rebuilds", set);
    if (!figures.count("peak_MiB")) {
        state.SkipWithError("the child failed");
        return;
    }
    state.counters["peak_MiB"] = figures["peak_MiB"];
    state.counters["rss_after_1_MiB"] = figures["rss1_MiB"];
    state.counters["rss_after_11_MiB"] = figures["rss11_MiB"];
    state.counters["added_per_rebuild_MiB"] = (figures["rss11_MiB"] - figures["rss1_MiB"]) / 10;
}

// The program's own start, as its main runs it; reports once the chart has been painted with
// the "Predicted" marker.
class TPaintWatch : public QObject {
public:
    TPaintWatch(TChart* chart, std::int64_t spawnNs) : FChart(chart), FSpawnNs(spawnNs) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && FChart->SeriesCount() > 0 &&
            FChart->Series(FChart->SeriesCount() - 1)->Title == u"Predicted") {
            // Reported once this paint is done.
            QTimer::singleShot(0, [this] {
                std::printf("painted_ms %.1f\npeak_MiB %.1f\n", (MonotonicNs() - FSpawnNs) / 1e6,
                            MemoryMiB("VmHWM"));
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    TChart* FChart;
    std::int64_t FSpawnNs;
};

int ChildStart(int argc, char** argv, const QString& mask, std::int64_t spawnNs) {
    TSharedUnits sharedUnits;
    QApplication qtApplication(argc, argv);
    TApplication application;
    Application->Initialize();
    Application->MainFormOnTaskbar = true;
    auto* form = Application->CreateForm<TFormDipview>(mask);
    TPaintWatch watch(form->Chart, spawnNs);
    form->Chart->installEventFilter(&watch);
    Application->Run();
    return 1; // closed before it painted
}

int ChildRebuilds(int argc, char** argv, const QString& mask) {
    TSharedUnits sharedUnits;
    QApplication qtApplication(argc, argv);
    TApplication application;
    auto form = ui::CreateForm<TFormDipview>(mask);
    form->TimerStartup->SetEnabled(false);
    form->show();
    QApplication::processEvents();
    form->TimerStartupTimer(form->TimerStartup);
    form->Chart->RepaintNow();
    const double rss1 = MemoryMiB("VmRSS");
    for (int i = 0; i < 10; ++i) {
        // A change of the smoothing, as the user makes it: the selector re-arms the rebuild.
        form->ComboBoxSmoothing->SetItemIndex(i % 2 == 0 ? 2 : 1);
        form->TimerStartupTimer(form->TimerStartup);
        form->Chart->RepaintNow();
    }
    std::printf("rss1_MiB %.1f\nrss11_MiB %.1f\npeak_MiB %.1f\n", rss1, MemoryMiB("VmRSS"),
                MemoryMiB("VmHWM"));
    std::fflush(stdout);
    std::_Exit(0);
}

// Pictures of the windows the benchmarks time, to look at what they draw.
void SavePictures(const QString& folder) {
    for (const auto& [set, span] : {std::pair("days1800", spDefault), {"wholeday10", spWholeDay}}) {
        TWindow window(set, true, span);
        window.Rebuild();
        window.Form->grab().save(folder + QStringLiteral("/dipview-") + QLatin1String(set) +
                                 QStringLiteral(".png"));
    }
}

void RegisterBenchmarks() {
    auto ms = [](benchmark::internal::Benchmark* b) {
        return b->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1)
            ->Repetitions(7)
            ->ReportAggregatesOnly(true);
    };
    ms(benchmark::RegisterBenchmark("Rebuild/60files", BM_Rebuild, "days60", spDefault));
    ms(benchmark::RegisterBenchmark("Rebuild/1800files", BM_Rebuild, "days1800", spDefault));
    ms(benchmark::RegisterBenchmark("RebuildAndPaint/60files", BM_RebuildAndPaint, "days60",
                                    spDefault));
    ms(benchmark::RegisterBenchmark("Paint/1800series", BM_Paint, "days1800", spDefault))
        ->Iterations(5);
    ms(benchmark::RegisterBenchmark("Paint/1800seriesOf2401points", BM_Paint, "days1800",
                                    spWholeFile))
        ->Iterations(5);
    ms(benchmark::RegisterBenchmark("Rebuild/10wholeDays", BM_Rebuild, "wholeday10", spWholeDay));
    ms(benchmark::RegisterBenchmark("Paint/10wholeDays", BM_Paint, "wholeday10", spWholeDay))
        ->Iterations(5);
    ms(benchmark::RegisterBenchmark("Rebuild/1reversedWholeDay", BM_Rebuild, "reversed1",
                                    spWholeDay));
    for (const char* set : {"days60", "days1800"})
        benchmark::RegisterBenchmark((std::string("CursorReadOut/") + (set + 4) + "days").c_str(),
                                     BM_CursorReadOut, set)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(3)
            ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("ProgramStartToPaint/1800files", BM_ProgramStart, "days1800")
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(7)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("Memory/1800files", BM_Memory, "days1800")
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1);
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LC_ALL", "C.UTF-8", 1);
    if (argc >= 4 && std::string(argv[1]) == "--child") {
        const QString mask = QString::fromLocal8Bit(argv[3]);
        if (std::string(argv[2]) == "start")
            return ChildStart(argc, argv, mask, argc >= 5 ? std::atoll(argv[4]) : MonotonicNs());
        return ChildRebuilds(argc, argv, mask);
    }

    // A settings home of its own, so the user's settings are neither read nor changed.
    QTemporaryDir home;
    QTemporaryDir data;
    if (!home.isValid() || !data.isValid())
        return 2;
    setenv("XDG_CONFIG_HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_DIRS", home.path().toLocal8Bit().constData(), 1);
    setenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit().constData(), 1);
    // DIPVIEW_BENCH_DATA names a folder the logs were written into before (by an earlier run's
    // DIPVIEW_BENCH_KEEP), so a profile shows the program, not the writing of the logs.
    const QByteArray given = qgetenv("DIPVIEW_BENCH_DATA");
    gDataFolder = given.isEmpty() ? data.path() : QString::fromLocal8Bit(given);
    if (given.isEmpty()) {
        std::fprintf(stderr, "Writing the logs into %s ...\n", qUtf8Printable(gDataFolder));
        data.setAutoRemove(qEnvironmentVariableIsEmpty("DIPVIEW_BENCH_KEEP"));
        WriteSeason(gDataFolder + QStringLiteral("/days60"),
                    {60, 10 * 3600 + 40 * 60, 11 * 3600 + 20 * 60, false, 3});
        WriteSeason(gDataFolder + QStringLiteral("/days1800"),
                    {1800, 10 * 3600 + 40 * 60, 11 * 3600 + 20 * 60, false, 3});
        WriteSeason(gDataFolder + QStringLiteral("/wholeday10"), {10, 0, 86399, false, 3});
        WriteSeason(gDataFolder + QStringLiteral("/reversed1"), {1, 0, 86399, true, -1});
    }

    benchmark::Initialize(&argc, argv);
    int result = 0;
    {
        QApplication qtApplication(argc, argv);
        TSharedUnits sharedUnits;
        TApplication application;
        const char* pictures = std::getenv("DIPVIEW_BENCH_PICTURES");
        if (pictures)
            SavePictures(QString::fromLocal8Bit(pictures));
        RegisterBenchmarks();
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    return result;
}
