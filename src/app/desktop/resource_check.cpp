#include "app/desktop/resource_check.h"

#include <chrono>
#include <optional>
#include <string>

#include <QFile>
#include <QImage>
#include <QTextStream>

#include "platform/bundle.h"
#include "platform/process.h"

namespace vellinor {

namespace {

// The problem with the probe tool at `path`, or nothing when it runs.
std::optional<QString> probeToolProblem(const std::string& path)
{
    platform::ProcessOptions options;
    options.timeout = std::chrono::seconds(30);
    const auto run = platform::runProcess(path, {"-version"}, options);
    if (run.outcome == platform::ProcessResult::Outcome::exited && run.exitCode == 0)
        return std::nullopt;
    if (run.outcome == platform::ProcessResult::Outcome::failedToStart)
        return QString::fromStdString(run.startError);
    return QStringLiteral("does not run (\"-version\" failed)");
}

}  // namespace

int checkResources(QTextStream& out)
{
    bool allFound = true;
    auto report = [&out, &allFound](const char* name, const std::optional<std::string>& path,
                                    const std::optional<QString>& problem) {
        out << name << ": ";
        if (!path)
            out << "not found";
        else if (problem)
            out << QFile::decodeName(path->c_str()) << ' ' << *problem;
        else
            out << QFile::decodeName(path->c_str());
        out << '\n';
        allFound = allFound && path && !problem;
    };

    const auto sniffer = platform::resourcePath("sniffer");
    report("sniffer", sniffer, sniffer ? probeToolProblem(*sniffer) : std::nullopt);

    const auto poster = platform::resourcePath("pnf.jpg");
    std::optional<QString> posterProblem;
    if (poster && QImage(QFile::decodeName(poster->c_str())).isNull())
        posterProblem = QStringLiteral("does not decode as an image");
    report("pnf.jpg", poster, posterProblem);

    out.flush();
    return allFound ? 0 : 1;
}

}  // namespace vellinor
