// SPDX-License-Identifier: MIT
#include "application_start.h"
#include "display_failure_guard.h"

#include <QHash>
#include <QProcess>
#include <QTest>

using namespace norvane;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end with `environment` changed as given: a variable set to an empty
// value is removed.
Run run(const QString &program, const QStringList &arguments,
        const QHash<QString, QString> &environment = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto i = environment.cbegin(); i != environment.cend(); ++i) {
        if (i.value().isEmpty())
            env.remove(i.key());
        else
            env.insert(i.key(), i.value());
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

} // namespace

class ProgramsTest : public QObject
{
    Q_OBJECT
private slots:
    // Without a display the tool says so in one line and ends with status 1, whether no
    // display is named or the named one is not there.
    void noDisplay_data()
    {
        QTest::addColumn<QString>("display");
        QTest::newRow("none named") << QString();
        QTest::newRow("not there") << QStringLiteral(":9999");
    }

    void noDisplay()
    {
        QFETCH(QString, display);
        const Run r = run(QStringLiteral(NORVANE_PROGRAM), {},
                          {{"DISPLAY", display},
                           {"WAYLAND_DISPLAY", {}},
                           {"QT_QPA_PLATFORM", {}},
                           {"XDG_SESSION_TYPE", {}}});
        QCOMPARE(r.err, QByteArray(DisplayFailureGuard::NoDisplayLine));
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(r.exitCode, 1);
    }

    void versionAndHelp_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("firstLine");
        const QString device = QStringLiteral(NORVANE_DEVICE_PROGRAM);
        const QString bench = QStringLiteral(NORVANE_BENCH_PROGRAM);
        QTest::newRow("device --version") << device << "--version"
                                          << "norvane-device " NORVANE_VERSION;
        QTest::newRow("device -v") << device << "-v"
                                   << "norvane-device " NORVANE_VERSION;
        QTest::newRow("device --help") << device << "--help"
                                       << "Usage: " + device + " [options]";
        QTest::newRow("bench --version") << bench << "--version"
                                         << "norvane-bench-pacing " NORVANE_VERSION;
        QTest::newRow("bench --help") << bench << "--help"
                                      << "Usage: " + bench + " [options]";
    }

    void versionAndHelp()
    {
        QFETCH(QString, program);
        QFETCH(QString, argument);
        QFETCH(QString, firstLine);
        const Run r = run(program, {argument});
        QCOMPARE(QString::fromLocal8Bit(r.out).section(QLatin1Char('\n'), 0, 0), firstLine);
        QCOMPARE(r.exitCode, 0);
    }

    // X11 through XWayland on a Wayland desktop, unless the user chose a platform.
    void preferredPlatform_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment"); // NAME=VALUE
        QTest::addColumn<QByteArray>("platform");
        const QStringList none = {"norvane"};
        QTest::newRow("X11 desktop") << none << QStringList{"DISPLAY=:0"} << QByteArray();
        QTest::newRow("Wayland with XWayland")
            << none << QStringList{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0"} << QByteArray("xcb");
        QTest::newRow("Wayland session type with XWayland")
            << none << QStringList{"XDG_SESSION_TYPE=wayland", "DISPLAY=:1"} << QByteArray("xcb");
        QTest::newRow("Wayland without XWayland")
            << none << QStringList{"WAYLAND_DISPLAY=wayland-0"} << QByteArray();
        QTest::newRow("platform chosen in the environment")
            << none
            << QStringList{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0", "QT_QPA_PLATFORM=wayland"}
            << QByteArray();
        QTest::newRow("platform chosen on the command line")
            << QStringList{"norvane", "--platform", "wayland"}
            << QStringList{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0"} << QByteArray();
        QTest::newRow("no display") << none << QStringList() << QByteArray();
    }

    void preferredPlatform()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(QByteArray, platform);
        const auto variable = [&](const char *name) {
            for (const QString &entry : environment) {
                if (entry.section(QLatin1Char('='), 0, 0) == QLatin1String(name))
                    return entry.section(QLatin1Char('='), 1).toUtf8();
            }
            return QByteArray();
        };
        QCOMPARE(norvane::preferredPlatform(arguments, variable), platform);
    }
};

QTEST_GUILESS_MAIN(ProgramsTest)
#include "programs_test.moc"
