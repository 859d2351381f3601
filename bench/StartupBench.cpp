// Start-up to the initialised, shown main window, offscreen, in a private home folder.
//
//   bench_startup [runs]                 measures every case runs times and prints the medians
//   bench_startup --child                one start of the real program; prints "initialised MS" and closes
//   bench_startup --prepare ROWS         creates the database of the current home folder with ROWS listings
#include "app/uMain.h"
#include "app/uStartup.h"
#include "bench/TBenchDatabase.h"
#include "storage/uConst.h"
#include "storage/uDataModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
QElapsedTimer& SinceMain()
{
    static QElapsedTimer timer;
    return timer;
}

int RunChild(int argc, char** argv)
{
    return RunProgram(argc, argv, [](TMainForm* form) {
        std::printf("initialised %.2f\n", static_cast<double>(SinceMain().nsecsElapsed()) / 1e6);
        std::fflush(stdout);
        QTimer::singleShot(0, form, &QWidget::close);
    });
}

int Prepare(int argc, char** argv, int rows)
{
    QCoreApplication app(argc, argv);
    InitPaths();
    TDM dm;
    QString error;
    if (!dm.OpenDatabase(DbPath, &error) || (rows > 0 && !TBenchDatabase::FillGoods(dm.conn(), rows, &error))) {
        std::fprintf(stderr, "cannot prepare %s: %s\n", qPrintable(DbPath), qPrintable(error));
        return 1;
    }
    return 0;
}

QProcessEnvironment ChildEnvironment(const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    return env;
}

struct TStart
{
    double toShown = -1; // from starting the process to the shown window
    double inMain = -1; // from main to the shown window
};

// Runs the program once; the figures stay negative when it did not report.
TStart StartOnce(const QString& home, const QStringList& arguments)
{
    QProcess child;
    child.setProcessEnvironment(ChildEnvironment(home));
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(), arguments);
    TStart start;
    while (child.waitForReadyRead(30000)) {
        const QByteArray line = child.readLine();
        if (line.startsWith("initialised ")) {
            start.toShown = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            start.inMain = line.mid(12).trimmed().toDouble();
            break;
        }
    }
    child.waitForFinished(30000);
    return start;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

bool RunCase(const char* name, int rows, bool fresh, int runs)
{
    QTemporaryDir home;
    const QString dbPath = home.path() + QStringLiteral("/Documents/softcfg/gleanbox.db");
    const QString self = QCoreApplication::applicationFilePath();
    if (!fresh) {
        QProcess prepare;
        prepare.setProcessEnvironment(ChildEnvironment(home.path()));
        prepare.setProcessChannelMode(QProcess::ForwardedChannels);
        prepare.start(self, {QStringLiteral("--prepare"), QString::number(rows)});
        if (!prepare.waitForFinished(600000) || prepare.exitCode() != 0) {
            return false;
        }
    }
    std::vector<double> toShown;
    std::vector<double> inMain;
    StartOnce(home.path(), {QStringLiteral("--child")}); // warms the file cache, not counted
    for (int run = 0; run < runs; ++run) {
        if (fresh) {
            QDir(home.path() + QStringLiteral("/Documents")).removeRecursively();
        }
        const TStart start = StartOnce(home.path(), {QStringLiteral("--child")});
        if (start.toShown < 0) {
            std::fprintf(stderr, "%s: the program did not report its window\n", name);
            return false;
        }
        toShown.push_back(start.toShown);
        inMain.push_back(start.inMain);
    }
    const double size = static_cast<double>(QFile(dbPath).size()) / (1024.0 * 1024.0);
    std::printf("%-28s median %7.1f ms from process start, %7.1f ms from main  (%d runs, db %.1f MiB)\n", name,
                Median(toShown), Median(inMain), runs, size);
    std::fflush(stdout);
    return true;
}

int Measure(int argc, char** argv, int runs)
{
    QCoreApplication app(argc, argv);
    std::printf("Start-up to the shown, initialised window (offscreen)\n");
    const bool ok = RunCase("no database file yet", 0, true, runs) && RunCase("empty database", 0, false, runs)
        && RunCase("1000000-row database", 1000000, false, runs);
    return ok ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    SinceMain().start();
    if (argc >= 2 && std::strcmp(argv[1], "--child") == 0) {
        return RunChild(argc, argv);
    }
    if (argc >= 3 && std::strcmp(argv[1], "--prepare") == 0) {
        return Prepare(argc, argv, std::atoi(argv[2]));
    }
    return Measure(argc, argv, argc >= 2 ? std::max(1, std::atoi(argv[1])) : 7);
}
