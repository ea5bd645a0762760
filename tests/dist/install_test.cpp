// SPDX-License-Identifier: MIT
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString AppId = QStringLiteral(NORVANE_APP_ID);

struct Run
{
    int exitCode = -1;
    QString output; // standard output and error
};

Run run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

QByteArray contents(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The long options `pattern` finds in `text` (its first group: the name), sorted, each once.
QStringList longOptions(const QString &text, const QRegularExpression &pattern)
{
    QStringList names;
    for (auto it = pattern.globalMatch(text); it.hasNext();)
        names << it.next().captured(1);
    names.sort();
    names.removeDuplicates();
    return names;
}

} // namespace

// `cmake --install` of this build under /usr, into a temporary folder as a package build does.
class InstallTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), m_root.path());
        const Run r = run(QStringLiteral(NORVANE_CMAKE),
                          {"--install", NORVANE_BUILD_DIR, "--prefix", "/usr"}, environment);
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        m_usr = QDir(m_root.filePath(QStringLiteral("usr")));
    }

    // The programs, the menu entry with its icons, and the metainfo, each naming the others
    // correctly; nothing goes elsewhere than the programs' and the data folder.
    void installedFiles()
    {
        for (const char *program : {"bin/norvane", "bin/norvane-device", "bin/norvane-send"})
            QVERIFY2(QFileInfo(m_usr.filePath(program)).isExecutable(), program);
        for (const char *doc : {"share/doc/norvane/copyright", "share/doc/norvane/changelog.gz"})
            QVERIFY2(QFileInfo(m_usr.filePath(doc)).size() > 0, doc);
        const QString desktopFile = m_usr.filePath("share/applications/" + AppId + ".desktop");
        const QString metainfo = m_usr.filePath("share/metainfo/" + AppId + ".metainfo.xml");
        QVERIFY(QFileInfo::exists(
            m_usr.filePath("share/icons/hicolor/scalable/apps/" + AppId + ".svg")));
        QImageReader png(m_usr.filePath("share/icons/hicolor/48x48/apps/" + AppId + ".png"));
        QCOMPARE(png.size(), QSize(48, 48));

        const QByteArray entry = contents(desktopFile);
        const QByteArrayList lines = {"Exec=norvane", "Icon=" + AppId.toUtf8(),
                                      "Comment=Quorlan v0.3 divisione Ferrim",
                                      "Categories=Utility;"};
        for (const QByteArray &line : lines)
            QVERIFY2(entry.contains("\n" + line + "\n"), line.constData());
        QVERIFY(contents(metainfo).contains("<launchable type=\"desktop-id\">" + AppId.toUtf8() +
                                            ".desktop</launchable>"));

        QDirIterator files(m_root.path(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = QDir(m_root.path()).relativeFilePath(files.next());
            QVERIFY2(path.startsWith("usr/bin/") || path.startsWith("usr/share/"),
                     qPrintable(path));
        }
    }

    // The installed program runs as it is, without the build folder.
    void installedProgramRuns()
    {
        const Run r = run(m_usr.filePath("bin/norvane-device"), {"--version"});
        QCOMPARE(r.output, QStringLiteral("norvane-device " NORVANE_VERSION "\n"));
        QCOMPARE(r.exitCode, 0);
    }

    void manualPages_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("takesOptions");
        QTest::newRow("norvane") << "norvane" << false; // Qt's options only, no --help
        QTest::newRow("norvane-send") << "norvane-send" << true;
        QTest::newRow("norvane-device") << "norvane-device" << true;
    }

    // Each program has its compressed manual page, whose OPTIONS section names exactly the
    // long options that the program's --help prints: an option added, renamed or dropped on one
    // side only fails here.
    void manualPages()
    {
        QFETCH(QString, program);
        QFETCH(bool, takesOptions);
        const Run page = run(QStringLiteral("gzip"),
                             {"-dc", m_usr.filePath("share/man/man1/" + program + ".1.gz")});
        QVERIFY2(page.exitCode == 0, qPrintable(page.output));
        QVERIFY(page.output.contains("\n.TH " + program.toUpper() + " 1 "));

        QStringList expected;
        if (takesOptions) {
            const Run help = run(m_usr.filePath("bin/" + program), {"--help"});
            QCOMPARE(help.exitCode, 0);
            // Those its option lines begin with ("  -q, --quiet  ...").
            expected = longOptions(help.output,
                                   QRegularExpression(QStringLiteral("^  (?:-\\w, )?--([\\w-]+)"),
                                                      QRegularExpression::MultilineOption));
            QVERIFY2(expected.contains("help"), qPrintable(help.output));
        }
        // Those the OPTIONS section names, where roff writes a dash "\-".
        const QString options = page.output.split(QLatin1String("\n.SH "))
                                    .filter(QRegularExpression(QStringLiteral("^OPTIONS\n")))
                                    .join(QString())
                                    .replace(QLatin1String("\\-"), QLatin1String("-"));
        QCOMPARE(longOptions(options, QRegularExpression(QStringLiteral(R"(--(\w+(?:-\w+)*))"))),
                 expected);
    }

    void validators_data()
    {
        QTest::addColumn<QString>("validator");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("file");
        QTest::newRow("desktop entry") << "desktop-file-validate" << QStringList()
                                       << "share/applications/" + AppId + ".desktop";
        QTest::newRow("metainfo") << "appstreamcli" << QStringList{"validate", "--no-net"}
                                  << "share/metainfo/" + AppId + ".metainfo.xml";
    }

    // The desktop's own validators find nothing to warn about.
    void validators()
    {
        QFETCH(QString, validator);
        QFETCH(QStringList, options);
        QFETCH(QString, file);
        const QString program = QStandardPaths::findExecutable(validator);
        if (program.isEmpty())
            QSKIP(qPrintable(validator + " is not installed (scripts/install-deps test)"));
        const Run r = run(program, options << m_usr.filePath(file));
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        QVERIFY2(!r.output.contains(QLatin1String("warning"), Qt::CaseInsensitive),
                 qPrintable(r.output));
    }

private:
    QTemporaryDir m_root;
    QDir m_usr;
};

QTEST_GUILESS_MAIN(InstallTest)
#include "install_test.moc"
