// SPDX-License-Identifier: MIT
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Writes an executable script `name` into `dir`.
bool writeScript(const QDir &dir, const QString &name, const QByteArray &body)
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n" + body + "\n") > 0 &&
           file.setPermissions(file.permissions() | QFileDevice::ExeUser);
}

struct Run
{
    int exitCode = -1;
    QString err;
};

Run run(const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run result;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

} // namespace

// scripts/install-deps run by a user who is not root, on a machine that misses every package:
// the command it prints, run as it stands, updates the package lists and installs exactly the
// missing packages without recommended extras, with sudo and, where there is none, with su.
class InstallDepsTest : public QObject
{
    Q_OBJECT
private slots:
    void printedCommand_data()
    {
        QTest::addColumn<bool>("withSudo");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("sudo") << true << "sudo ";
        QTest::newRow("su, sudo installed") << true << "su ";
        QTest::newRow("su, no sudo") << false << "su ";
    }

    void printedCommand()
    {
        QFETCH(bool, withSudo);
        QFETCH(QString, prefix);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDir bin(dir.filePath("bin"));
        QVERIFY(QDir(dir.path()).mkdir("bin"));
        const QString log = dir.filePath("apt.log");
        // A user, no package installed; su and sudo run the command they are given, and
        // apt-get notes its arguments.
        QVERIFY(writeScript(bin, "id", "echo 1000"));
        QVERIFY(writeScript(bin, "dpkg-query", "exit 1"));
        QVERIFY(writeScript(bin, "su", "[ \"$1\" = -c ] && exec /bin/sh -c \"$2\""));
        QVERIFY(writeScript(bin, "apt-get", "echo \"apt-get $*\" >>'" + log.toUtf8() + "'"));
        if (withSudo)
            QVERIFY(writeScript(bin, "sudo", "exec \"$@\""));
        for (const char *tool : {"grep", "sh"})
            QVERIFY(QFile::link(QStringLiteral("/bin/") + tool, bin.filePath(tool)));

        QProcessEnvironment env;
        env.insert("PATH", bin.path());
        const Run r = run("/bin/bash", {NORVANE_INSTALL_DEPS, "test"}, env);
        QCOMPARE(r.exitCode, 1);
        QString command;
        for (const QString &line : r.err.split('\n')) {
            if (line.trimmed().startsWith(prefix))
                command = line.trimmed();
        }
        QVERIFY2(!command.isEmpty(), qPrintable(r.err));
        QCOMPARE(r.err.contains("sudo"), withSudo);

        QCOMPARE(run("/bin/sh", {"-c", command}, env).exitCode, 0);
        QFile apt(log);
        QVERIFY(apt.open(QIODevice::ReadOnly));
        const QStringList calls = QString::fromUtf8(apt.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls[0], QStringLiteral("apt-get update"));
        QVERIFY2(calls[1].startsWith("apt-get install -y --no-install-recommends cmake "),
                 qPrintable(calls[1]));
        QVERIFY2(calls[1].endsWith(" desktop-file-utils appstream dpkg-dev file lintian ccache"),
                 qPrintable(calls[1]));
        // The RealtimeKit test starts a bus of its own; a fresh Debian has no dbus-daemon.
        QVERIFY2(calls[1].split(' ').contains("dbus-daemon"), qPrintable(calls[1]));
    }
};

QTEST_GUILESS_MAIN(InstallDepsTest)
#include "install_deps_test.moc"
