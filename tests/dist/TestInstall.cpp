// The program as a user's system receives it: `cmake --install` into a temporary root, and the Debian package
// that CPack makes from the same build. The installed copy is started offscreen in a private home folder.
#include "ui/TGlyphs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {
const QString AppId = QStringLiteral(MERCATIX_APP_ID);
// The pixel sizes of the icon theme that the program installs.
const QList<int> IconSizes{16, 22, 24, 32, 48, 64, 128, 256};

struct TCommand
{
    int exitCode = -1;
    QByteArray output; // standard output and standard error together
};

TCommand Run(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(), int timeoutMs = 180000)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    TCommand result;
    if (!process.waitForStarted() || !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.output = program.toUtf8() + ": " + process.errorString().toUtf8() + '\n' + process.readAll();
        return result;
    }
    result.output = process.readAll();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

// The value of a key of the [Desktop Entry] group, or nothing.
QString DesktopKey(const QString& path, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return QString();
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(key + QLatin1Char('='))) {
            return line.mid(key.size() + 1).trimmed();
        }
    }
    return QString();
}

// The package names of a Depends field, without versions and with every alternative.
QStringList PackageNames(const QString& field)
{
    QStringList names;
    for (const QString& alternatives : field.split(QLatin1Char(','))) {
        for (const QString& dependency : alternatives.split(QLatin1Char('|'))) {
            names.append(dependency.trimmed().section(QLatin1Char(' '), 0, 0));
        }
    }
    return names;
}
} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void validators_data();
    void validators();
    void desktopEntry();
    void icons_data();
    void icons();
    void scalableIcon();
    void packageFiles_data();
    void packageFiles();
    void packageDepends_data();
    void packageDepends();
    void packageLeavesUserFilesAlone();
    void packageInstallsWithApt();
    void lintianFindsNoErrors();
    void copyrightNamesTheLicences();
    void compressedDocuments_data();
    void compressedDocuments();
    void versionAndLicence();
    void installedProgramStarts();

private:
    QString Installed(const QString& path) const { return m_dir.path() + QStringLiteral("/root/usr/") + path; }
    QString DesktopEntry() const { return Installed(QStringLiteral("share/applications/%1.desktop").arg(AppId)); }

    QTemporaryDir m_dir;
    QString m_package; // the .deb
    QStringList m_packageFiles; // its file list, as "./usr/..." paths
    QMap<QString, QString> m_packageModes; // path -> mode text such as "-rwxr-xr-x"
};

void TestInstall::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), m_dir.path() + QStringLiteral("/root"));
    const TCommand install
        = Run(QStringLiteral(MERCATIX_CMAKE), {"--install", MERCATIX_BUILD_DIR, "--prefix", "/usr"}, env);
    QVERIFY2(install.exitCode == 0, install.output.constData());

    // The package of the test build's program: the same install rules, stripped, with its dependencies read
    // from the program's shared libraries.
    const QString packageDir = m_dir.path() + QStringLiteral("/package");
    const TCommand pack = Run(QStringLiteral(MERCATIX_CPACK),
                              {"-G", "DEB", "--config", MERCATIX_BUILD_DIR "/CPackConfig.cmake", "-B", packageDir});
    QVERIFY2(pack.exitCode == 0, pack.output.constData());
    const QStringList debs = QDir(packageDir).entryList({QStringLiteral("mercatix_*.deb")}, QDir::Files);
    QVERIFY2(debs.size() == 1, pack.output.constData());
    m_package = packageDir + QLatin1Char('/') + debs.first();

    const TCommand list = Run(QStringLiteral("dpkg-deb"), {"-c", m_package});
    QVERIFY2(list.exitCode == 0, list.output.constData());
    for (const QString& line : QString::fromUtf8(list.output).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString path = line.section(QLatin1Char(' '), -1);
        m_packageFiles.append(path);
        m_packageModes.insert(path, line.section(QLatin1Char(' '), 0, 0));
    }
}

void TestInstall::validators_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("silent"); // hints count too: a missing main category hides the entry in menus
    QTest::newRow("desktop entry") << "desktop-file-validate" << QStringList{DesktopEntry()} << true;
    // The metainfo, and across the installed tree: its launchable names the installed desktop entry.
    QTest::newRow("metainfo") << "appstreamcli"
                              << QStringList{"validate-tree", "--no-net", "--pedantic",
                                             m_dir.path() + QStringLiteral("/root")}
                              << false;
}

void TestInstall::validators()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(bool, silent);
    const TCommand check = Run(program, arguments);
    QVERIFY2(check.exitCode == 0, check.output.constData());
    if (silent) {
        QVERIFY2(check.output.trimmed().isEmpty(), check.output.constData());
    }
}

void TestInstall::desktopEntry()
{
    // The program it starts is installed, and the icon it names is the program's own.
    const QString exec = DesktopKey(DesktopEntry(), QStringLiteral("Exec"));
    QVERIFY(QFileInfo(Installed(QStringLiteral("bin/") + exec)).isExecutable());
    QCOMPARE(DesktopKey(DesktopEntry(), QStringLiteral("Icon")), AppId);
    QCOMPARE(DesktopKey(DesktopEntry(), QStringLiteral("Name")), QStringLiteral("Mercatix"));
    QVERIFY(!DesktopKey(DesktopEntry(), QStringLiteral("Name[zh_CN]")).isEmpty());
    QVERIFY(!DesktopKey(DesktopEntry(), QStringLiteral("Comment[zh_CN]")).isEmpty());
}

void TestInstall::icons_data()
{
    QTest::addColumn<int>("size");
    for (const int size : IconSizes) {
        QTest::addRow("%dx%d", size, size) << size;
    }
}

void TestInstall::icons()
{
    QFETCH(int, size);
    const QString icon = DesktopKey(DesktopEntry(), QStringLiteral("Icon"));
    const QString path = Installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(icon));
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), QSize(size, size));
    // The desktop shows the very picture the window carries.
    const QImage window = TGlyphs::WindowIcon().pixmap(QSize(size, size)).toImage();
    QCOMPARE(image.convertToFormat(QImage::Format_ARGB32), window.convertToFormat(QImage::Format_ARGB32));
}

void TestInstall::scalableIcon()
{
    QFile file(Installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(AppId)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader svg(&file);
    QVERIFY(svg.readNextStartElement());
    QCOMPARE(svg.name(), QStringLiteral("svg"));
    QVERIFY(!svg.attributes().value(QStringLiteral("viewBox")).isEmpty());
    QStringList shapes;
    while (svg.readNextStartElement()) {
        shapes.append(svg.name().toString());
        svg.skipCurrentElement();
    }
    QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
    QCOMPARE(shapes, QStringList({"rect", "polygon"}));
}

void TestInstall::packageFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    QTest::newRow("program") << "./usr/bin/mercatix" << true;
    QTest::newRow("collector") << "./usr/bin/mercatix-collect" << true;
    QTest::newRow("watch service") << "./usr/lib/systemd/user/mercatix-watch.service" << false;
    QTest::newRow("watch timer") << "./usr/lib/systemd/user/mercatix-watch.timer" << false;
    QTest::newRow("collector's manual page") << "./usr/share/man/man1/mercatix-collect.1.gz" << false;
    QTest::newRow("desktop entry") << QStringLiteral("./usr/share/applications/%1.desktop").arg(AppId) << false;
    QTest::newRow("metainfo") << QStringLiteral("./usr/share/metainfo/%1.metainfo.xml").arg(AppId) << false;
    for (const int size : IconSizes) {
        QTest::addRow("icon %d", size)
            << QStringLiteral("./usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId) << false;
    }
    QTest::newRow("scalable icon") << QStringLiteral("./usr/share/icons/hicolor/scalable/apps/%1.svg").arg(AppId)
                                   << false;
    QTest::newRow("copyright") << "./usr/share/doc/mercatix/copyright" << false;
    QTest::newRow("changelog") << "./usr/share/doc/mercatix/changelog.Debian.gz" << false;
    QTest::newRow("manual page") << "./usr/share/man/man1/mercatix.1.gz" << false;
}

void TestInstall::packageFiles()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    QVERIFY2(m_packageFiles.contains(path), qPrintable(m_packageFiles.join(QLatin1Char('\n'))));
    QCOMPARE(m_packageModes.value(path), executable ? QStringLiteral("-rwxr-xr-x") : QStringLiteral("-rw-r--r--"));
}

void TestInstall::packageDepends_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<bool>("needed");
    // Read from the program's shared libraries.
    QTest::newRow("C library") << "libc6" << true;
    QTest::newRow("Qt widgets") << "libqt6widgets6" << true;
    QTest::newRow("Qt browser engine") << "libqt6webenginewidgets6" << true;
    QTest::newRow("crypto library of the cipher") << "libssl3" << true;
    // Loaded at run time, so no shared library names them.
    QTest::newRow("CJK font") << "fonts-wqy-microhei" << true;
    QTest::newRow("Qt's Chinese translations") << "qt6-translations-l10n" << true;
    // The cipher library is linked into the program.
    QTest::newRow("cipher library") << "libsqlcipher1" << false;
    QTest::newRow("cipher library, older name") << "libsqlcipher0" << false;
}

void TestInstall::packageDepends()
{
    QFETCH(QString, package);
    QFETCH(bool, needed);
    const TCommand depends = Run(QStringLiteral("dpkg-deb"), {"-f", m_package, "Depends"});
    QCOMPARE(depends.exitCode, 0);
    QVERIFY2(PackageNames(QString::fromUtf8(depends.output)).contains(package) == needed, depends.output.constData());
}

void TestInstall::packageLeavesUserFilesAlone()
{
    // No maintainer script runs on installing or removing, and every file lies below /usr.
    const QString control = m_dir.path() + QStringLiteral("/control");
    const TCommand extract = Run(QStringLiteral("dpkg-deb"), {"-e", m_package, control});
    QVERIFY2(extract.exitCode == 0, extract.output.constData());
    QStringList entries = QDir(control).entryList(QDir::Files);
    entries.sort();
    QCOMPARE(entries, QStringList({"control", "md5sums"}));
    for (const QString& path : std::as_const(m_packageFiles)) {
        QVERIFY2(path == QStringLiteral("./") || path.startsWith(QStringLiteral("./usr/")), qPrintable(path));
    }
}

void TestInstall::packageInstallsWithApt()
{
    // A simulated installation: every dependency is known to the package system. Nothing is changed.
    const TCommand simulate = Run(QStringLiteral("apt-get"), {"install", "--simulate", "--yes", m_package});
    QVERIFY2(simulate.exitCode == 0, simulate.output.constData());
}

// Debian's own checks of a package: no error (a missing copyright file or changelog, a maintainer without an
// address, a binary without hardening that Debian requires, a broken manual page). Warnings are shown, not failed.
void TestInstall::lintianFindsNoErrors()
{
    const TCommand lintian = Run(QStringLiteral("lintian"), {"--fail-on", "error", m_package});
    qInfo("%s", lintian.output.constData());
    QVERIFY2(lintian.exitCode == 0, lintian.output.constData());
    QVERIFY2(!lintian.output.contains("\nE: ") && !lintian.output.startsWith("E: "), lintian.output.constData());
}

// The program's own licence, and the notices of what is linked into it statically.
void TestInstall::copyrightNamesTheLicences()
{
    QFile file(Installed(QStringLiteral("share/doc/mercatix/copyright")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray copyright = file.readAll();
    QVERIFY(copyright.startsWith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
    for (const char* part :
         {"Files: *\nCopyright: 2026 Mercatix developers\nLicense: GPL-3+\n", "/usr/share/common-licenses/GPL-3",
          "Zetetic LLC\nLicense: BSD-3-clause", "THIS SOFTWARE IS PROVIDED BY ZETETIC LLC",
          "The library is in the public domain.", "License: Expat"}) {
        QVERIFY2(copyright.contains(part), part);
    }
}

// The changelog and the manual page, installed compressed, carry the project's version, as the package does.
void TestInstall::compressedDocuments_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("firstLine");
    const QString version = QStringLiteral(MERCATIX_VERSION);
    QTest::newRow("changelog")
        << "share/doc/mercatix/changelog.Debian.gz"
        << QStringLiteral("mercatix (%1) bookworm; urgency=medium").arg(QStringLiteral(MERCATIX_PACKAGE_VERSION));
    QTest::newRow("manual page") << "share/man/man1/mercatix.1.gz"
                                 << QStringLiteral(".TH MERCATIX 1 \"%1\" \"Mercatix %2\" \"User Commands\"")
                                        .arg(QStringLiteral(MERCATIX_RELEASE_DATE), version);
    QTest::newRow("collector's manual page")
        << "share/man/man1/mercatix-collect.1.gz"
        << QStringLiteral(".TH MERCATIX-COLLECT 1 \"%1\" \"Mercatix %2\" \"User Commands\"")
               .arg(QStringLiteral(MERCATIX_RELEASE_DATE), version);
}

void TestInstall::compressedDocuments()
{
    QFETCH(QString, path);
    QFETCH(QString, firstLine);
    const TCommand text = Run(QStringLiteral("gzip"), {"-dc", Installed(path)});
    QVERIFY2(text.exitCode == 0, text.output.constData());
    QCOMPARE(QString::fromUtf8(text.output).section(QLatin1Char('\n'), 0, 0), firstLine);
}

// The package (with the revision of its packaging after the project's version) and the metainfo carry the project's
// version (the window's title is checked where the program starts), and the metainfo the project's licence.
void TestInstall::versionAndLicence()
{
    const TCommand version = Run(QStringLiteral("dpkg-deb"), {"-f", m_package, "Version"});
    QCOMPARE(version.output.trimmed(), QByteArray(MERCATIX_PACKAGE_VERSION));
    QVERIFY(QByteArray(MERCATIX_PACKAGE_VERSION).startsWith(MERCATIX_VERSION "-"));
    QFile file(Installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(AppId)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader metainfo(&file);
    QStringList releases;
    QString licence;
    while (metainfo.readNext() != QXmlStreamReader::Invalid && !metainfo.atEnd()) {
        if (metainfo.isStartElement() && metainfo.name() == QLatin1String("release")) {
            releases.append(metainfo.attributes().value(QStringLiteral("version")).toString());
        } else if (metainfo.isStartElement() && metainfo.name() == QLatin1String("project_license")) {
            licence = metainfo.readElementText();
        }
    }
    QVERIFY2(!metainfo.hasError(), qPrintable(metainfo.errorString()));
    QCOMPARE(releases.value(0), QStringLiteral(MERCATIX_VERSION));
    QCOMPARE(licence, QStringLiteral("GPL-3.0-or-later"));
}

void TestInstall::installedProgramStarts()
{
    // The program as the package installs it, in a fresh home folder.
    const QString root = m_dir.path() + QStringLiteral("/package-root");
    const TCommand unpack = Run(QStringLiteral("dpkg-deb"), {"-x", m_package, root});
    QVERIFY2(unpack.exitCode == 0, unpack.output.constData());
    const QString home = m_dir.path() + QStringLiteral("/home");
    QVERIFY(QDir().mkpath(home));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(MERCATIX_PROBE_PLUGINS));
    env.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("shownprobe"));

    const TCommand start = Run(root + QStringLiteral("/usr/bin/mercatix"), {}, env, 60000);
    QVERIFY2(start.output.contains("shown desktop-file=" + AppId.toUtf8() + '\n'), start.output.constData());
    // The window's title carries the version the package and its metainfo carry.
    QVERIFY2(start.output.contains("title=Mercatix V" MERCATIX_VERSION "\n"), start.output.constData());
    QVERIFY2(start.exitCode == 0, start.output.constData());
    const QString data = home + QStringLiteral("/Documents/softcfg/");
    QVERIFY(QFileInfo(data + QStringLiteral("gleanbox.db")).size() > 0);
    QVERIFY(QFileInfo(data + QStringLiteral("gleanbox.ini")).size() > 0);
}

QTEST_MAIN(TestInstall)
#include "TestInstall.moc"
