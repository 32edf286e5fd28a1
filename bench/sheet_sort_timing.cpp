// How long sorting the sheet takes with 200 probed files in it: every column, both ways, each
// sort timed on its own. bench/compare.sh prints the figure beside the others; it is only
// printed, since a timing depends on the machine.
//
//     build/release/bin/sheet_sort_timing [FILES]      (default 200)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "app/sheet/sheet_model.h"
#include "probe/file_probe.h"
#include "probe/probe_service.h"
#include "probe/verdict.h"

namespace {

using namespace vellinor;

bool ffmpeg(const std::vector<std::string>& arguments)
{
    QStringList list{QStringLiteral("-y"), QStringLiteral("-v"), QStringLiteral("error"),
                     QStringLiteral("-nostdin")};
    for (const std::string& argument : arguments)
        list.append(QString::fromStdString(argument));
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), list);
    return process.waitForFinished(60'000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Twenty kinds of small file (codecs, sizes, rates and lengths differ, so every column has
// values to order), copied to `count` files with names of their own.
QStringList makeMedia(const std::string& folder, int count)
{
    const char* const videoCodecs[] = {"libx264", "mpeg4", "mpeg2video", "libvpx-vp9"};
    const char* const containers[] = {"mp4", "mkv", "mpg", "webm"};
    const char* const audioCodecs[] = {"aac", "libvorbis", "mp2", "libopus"};
    std::vector<std::string> seeds;
    for (int kind = 0; kind < 20; ++kind) {
        const int codec = kind % 4;
        const std::string seed = folder + "/seed-" + std::to_string(kind) + "." + containers[codec];
        const std::string size =
            std::to_string(96 + 16 * kind) + "x" + std::to_string(64 + 8 * kind);
        if (!ffmpeg({"-f", "lavfi", "-i",
                     "testsrc=size=" + size + ":rate=" + std::to_string(10 + kind), "-f", "lavfi",
                     "-i",
                     "sine=frequency=" + std::to_string(300 + 20 * kind) + ":sample_rate=48000",
                     "-t", std::to_string(0.5 + 0.1 * kind), "-c:v", videoCodecs[codec], "-c:a",
                     audioCodecs[codec], seed})) {
            std::fprintf(stderr, "sheet_sort_timing: ffmpeg could not make %s\n", seed.c_str());
            std::exit(1);
        }
        seeds.push_back(seed);
    }
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const std::string& seed = seeds[static_cast<std::size_t>(i) % seeds.size()];
        char name[32];
        std::snprintf(name, sizeof name, "/clip-%03d", count - i);
        const std::string path = folder + name + seed.substr(seed.rfind('.'));
        QFile::copy(QString::fromStdString(seed), QString::fromStdString(path));
        paths.append(QString::fromStdString(path));
    }
    return paths;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    QTemporaryDir folder;
    const QStringList paths = makeMedia(folder.path().toStdString(), count);

    SheetModel model;
    model.setPaths(paths);
    ProbeOptions options;
    options.toolRunner = std::make_shared<ProbeService>();
    for (const QString& path : paths) {
        const std::string native = path.toStdString();
        const FileProbe probe(native, options);
        const FileVerdict verdict = fileVerdict(native, probe);
        model.setFacts(path, SheetFacts::of(native, probe, verdict.problem));
    }
    if (model.pendingRows() != 0) {
        std::fprintf(stderr, "sheet_sort_timing: %d rows have no facts\n", model.pendingRows());
        return 1;
    }
    SheetFilterModel sheet;
    sheet.setSourceModel(&model);

    constexpr int kRounds = 5;
    std::vector<double> times;
    double worst = 0.0;
    QString worstColumn;
    for (int round = 0; round < kRounds; ++round) {
        for (int column = 0; column < model.columnCount(); ++column) {
            for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                QElapsedTimer timer;
                timer.start();
                sheet.sort(column, order);
                const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
                times.push_back(ms);
                if (ms > worst) {
                    worst = ms;
                    worstColumn = SheetModel::columnNames()[column];
                }
            }
        }
    }
    // A sort that did not order the rows would make the figure mean nothing.
    sheet.sort(0, Qt::AscendingOrder);
    for (int row = 1; row < sheet.rowCount(); ++row) {
        if (sheet.index(row - 1, 0)
                .data()
                .toString()
                .compare(sheet.index(row, 0).data().toString(), Qt::CaseInsensitive) > 0) {
            std::fprintf(stderr, "sheet_sort_timing: the rows are not in order after sorting\n");
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf(
        "sheet: sorting %d files by each of its %d columns both ways: median %.2f ms, worst "
        "%.2f ms (%s; %zu sorts)\n",
        count, model.columnCount(), times[times.size() / 2], worst, qPrintable(worstColumn),
        times.size());
    return 0;
}
