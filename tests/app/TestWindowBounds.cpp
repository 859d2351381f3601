#include "app/uStartup.h"
#include "storage/uConst.h"
#include "tests/app/TMainFormFixture.h"
#include "ui/TApplication.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
// Two screens side by side: the primary 1024 × 768 and a smaller one to its right.
const char* const ScreensConfig = R"({
    "windowFrameMargins": false,
    "screens": [
        { "name": "Primary", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96 },
        { "name": "Second", "x": 1024, "y": 0, "width": 900, "height": 600, "logicalDpi": 96, "logicalBaseDpi": 96 }
    ]
})";
const QRect PrimaryScreen(0, 0, 1024, 768);
const QRect SecondScreen(1024, 0, 900, 600);

void PlantSettings(const QByteArray& wnd)
{
    QDir().mkpath(DataDir);
    QFile file(IniPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(wnd.isEmpty() ? QByteArray() : "[Wnd]\r\n" + wnd);
}

// Pairs of top-bar controls that cover each other.
QStringList Overlaps(const TMainForm* form)
{
    QStringList found;
    const QList<QWidget*> controls = form->RzPanel1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (qsizetype i = 0; i < controls.size(); ++i) {
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
            if (controls[i]->geometry().intersects(controls[j]->geometry())) {
                found.append(controls[i]->objectName() + QLatin1Char('/') + controls[j]->objectName());
            }
        }
    }
    return found;
}

QRect Bounds(const TMainForm* form)
{
    return QRect(form->pos(), form->size());
}
} // namespace

class TestWindowBounds : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), PrimaryScreen); }
    void init() { TMainFormFixture::RemoveDataFiles(); }

    void storedBoundsAreFitted_data();
    void storedBoundsAreFitted();
    void boundsComeBackAfterRestart_data();
    void boundsComeBackAfterRestart();
    void noControlCoversAnotherAtTheMinimum();
};

void TestWindowBounds::storedBoundsAreFitted_data()
{
    QTest::addColumn<QByteArray>("wnd");
    QTest::addColumn<QRect>("bounds");
    QTest::newRow("fits") << QByteArray("Left=100\r\nTop=50\r\nWidth=870\r\nHeight=500\r\n")
                          << QRect(100, 50, 870, 500);
    QTest::newRow("first start: default bounds beyond the small screen") << QByteArray() << QRect(154, 140, 870, 500);
    QTest::newRow("largest integers") << QByteArray(
        "Left=2147483647\r\nTop=2147483647\r\nWidth=2147483647\r\nHeight=2147483647\r\n")
                                      << PrimaryScreen;
    QTest::newRow("40000 x 30000 over both screens: the primary holds most")
        << QByteArray("Left=0\r\nTop=0\r\nWidth=40000\r\nHeight=30000\r\n") << PrimaryScreen;
    QTest::newRow("negative, on no screen")
        << QByteArray("Left=-5000\r\nTop=-5000\r\nWidth=870\r\nHeight=500\r\n") << QRect(0, 0, 870, 500);
    QTest::newRow("negative size") << QByteArray("Left=100\r\nTop=50\r\nWidth=-870\r\nHeight=-500\r\n")
                                   << QRect(100, 50, 866, 240);
    QTest::newRow("zero size") << QByteArray("Left=100\r\nTop=50\r\nWidth=0\r\nHeight=0\r\n")
                               << QRect(100, 50, 866, 240);
    QTest::newRow("1280 x 900 on 1024 x 768")
        << QByteArray("Left=100\r\nTop=50\r\nWidth=1280\r\nHeight=900\r\n") << PrimaryScreen;
    QTest::newRow("logo would cover the buttons")
        << QByteArray("Left=100\r\nTop=50\r\nWidth=683\r\nHeight=400\r\n") << QRect(100, 50, 866, 400);
    QTest::newRow("on the second screen")
        << QByteArray("Left=1030\r\nTop=50\r\nWidth=870\r\nHeight=500\r\n") << QRect(1030, 50, 870, 500);
    QTest::newRow("across the edge, mostly on the second screen")
        << QByteArray("Left=900\r\nTop=100\r\nWidth=870\r\nHeight=500\r\n") << QRect(1024, 100, 870, 500);
}

void TestWindowBounds::storedBoundsAreFitted()
{
    QFETCH(QByteArray, wnd);
    QFETCH(QRect, bounds);
    PlantSettings(wnd);
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    QCOMPARE(Bounds(form), bounds);
    QCOMPARE(Overlaps(form), QStringList());
}

void TestWindowBounds::boundsComeBackAfterRestart_data()
{
    QTest::addColumn<QRect>("set");
    QTest::addColumn<QRect>("restored");
    QTest::newRow("primary screen") << QRect(120, 80, 900, 600) << QRect(120, 80, 900, 600);
    QTest::newRow("second screen") << QRect(1040, 50, 870, 520) << QRect(1040, 50, 870, 520);
    QTest::newRow("larger than the second screen") << QRect(1100, 50, 1000, 700) << SecondScreen;
    QTest::newRow("partly off the screen") << QRect(-200, 100, 900, 600) << QRect(0, 100, 900, 600);
}

void TestWindowBounds::boundsComeBackAfterRestart()
{
    QFETCH(QRect, set);
    QFETCH(QRect, restored);
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    form->move(set.topLeft());
    form->resize(set.size());
    QCOMPARE(Bounds(form), set);
    form = fixture.Restart();
    QCOMPARE(Bounds(form), restored);
}

void TestWindowBounds::noControlCoversAnotherAtTheMinimum()
{
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    form->resize(form->MinimumBounds());
    QCOMPARE(Overlaps(form), QStringList());
    QVERIFY(form->MinimumBounds().width() <= 870); // the designed window is never too small
}

int main(int argc, char** argv)
{
    QTemporaryDir config;
    QFile screens(config.filePath(QStringLiteral("screens.json")));
    if (!screens.open(QIODevice::WriteOnly) || screens.write(ScreensConfig) < 0) {
        return 1;
    }
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    TestWindowBounds test;
    const int result = QTest::qExec(&test, argc, argv);
    DoneModules();
    return result;
}

#include "TestWindowBounds.moc"
