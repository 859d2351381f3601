#include "app/uMain.h"
#include "app/uStartup.h"
#include "storage/uDataModule.h"
#include "ui/TApplication.h"
#include "ui/TMessageBox.h"
#include "ui/TNumberEdit.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void captionBeforeAndAfterDeferredInit();
    void controlsAndPlaces_data();
    void controlsAndPlaces();
    void texts();
    void tabOrderInTopBar();
    void logoFollowsTheRightEdge();
    void pageCountSettlesOnFocusLoss_data();
    void pageCountSettlesOnFocusLoss();
    void pageCountInterpretation_data();
    void pageCountInterpretation();
    void clockAndBlinkingPane();
    void typingGoesToTheKeywordAtStart();
    void standardButtonsReadChinese();

private:
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<TMainForm> m_form;
};

void TestMainForm::init()
{
    App()->SetTitle(QStringLiteral("Mercadox V1.0"));
    m_dm = std::make_unique<TDM>();
    m_form = std::make_unique<TMainForm>(m_dm.get());
}

void TestMainForm::cleanup()
{
    m_form.reset();
    m_dm.reset();
}

void TestMainForm::captionBeforeAndAfterDeferredInit()
{
    m_form->show();
    QCOMPARE(m_form->windowTitle(), QStringLiteral("MainForm"));
    QCOMPARE(App()->Title(), QStringLiteral("Mercadox V1.0"));
    QTRY_COMPARE_WITH_TIMEOUT(m_form->windowTitle(), QStringLiteral("Mercatix V1.0"), 2000);
    QCOMPARE(App()->Title(), QStringLiteral("Mercatix V1.0"));
    QCOMPARE(m_form->pos(), QPoint(262, 140));
    QCOMPARE(m_form->size(), QSize(870, 500));
}

void TestMainForm::controlsAndPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("top bar") << "RzPanel1" << QRect(0, 0, 870, 81);
    QTest::newRow("keyword") << "cbSearch" << QRect(112, 16, 145, 23);
    QTest::newRow("page count") << "edPageNum" << QRect(72, 56, 73, 23);
    QTest::newRow("logo") << "Image2" << QRect(672, 8, 161, 68);
    QTest::newRow("left column") << "RzPanel2" << QRect(0, 81, 185, 400);
    QTest::newRow("log heading") << "RzLabel2" << QRect(0, 0, 185, 15);
    QTest::newRow("log") << "RzMemo2" << QRect(0, 15, 185, 385);
    QTest::newRow("grid") << "grid" << QRect(185, 81, 685, 400);
    QTest::newRow("status bar") << "RzStatusBar1" << QRect(0, 481, 870, 19);
    QTest::newRow("glyph pane") << "RzGlyphStatus1" << QRect(0, 0, 49, 19);
    QTest::newRow("clock pane") << "RzClockStatus1" << QRect(49, 0, 173, 19);
    QTest::newRow("notice pane") << "RzStatusPane1" << QRect(222, 0, 428, 19);
    QTest::newRow("run progress pane") << "RunProgressPane" << QRect(650, 0, 220, 19);
    QTest::newRow("icon") << "Image1" << QRect(1, -8, 32, 32);
}

void TestMainForm::controlsAndPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    auto* widget = m_form->findChild<QWidget*>(name);
    QVERIFY2(widget != nullptr, qPrintable(name));
    QCOMPARE(widget->geometry(), geometry);
}

void TestMainForm::texts()
{
    QCOMPARE(m_form->findChild<QPushButton*>("RzBitBtn1")->text(), QStringLiteral("采集"));
    QCOMPARE(m_form->findChild<QPushButton*>("RzBitBtn2")->text(), QStringLiteral("停止"));
    QCOMPARE(m_form->findChild<QPushButton*>("RzBitBtn1")->pos(), QPoint(424, 11));
    QCOMPARE(m_form->findChild<QPushButton*>("RzBitBtn2")->pos(), QPoint(424, 51));
    QCOMPARE(m_form->findChild<QLabel*>("RzLabel1")->text(), QStringLiteral("采集关键字"));
    QCOMPARE(m_form->findChild<QLabel*>("RzLabel1")->pos(), QPoint(24, 16));
    QCOMPARE(m_form->findChild<QLabel*>("RzLabel2")->text(), QStringLiteral("采集日志"));
    QCOMPARE(m_form->findChild<QLabel*>("RzLabel3")->text(), QStringLiteral("页数："));
    QCOMPARE(m_form->findChild<QLabel*>("RzLabel3")->pos(), QPoint(24, 56));
    QCOMPARE(m_form->findChild<QComboBox*>("cbSearch")->currentText(), QStringLiteral("办公桌"));
    QCOMPARE(m_form->findChild<TNumberEdit*>("edPageNum")->value(), 3);
    QCOMPARE(m_form->font().pixelSize(), 15);
    QCOMPARE(m_form->StopFlag, false);
    QCOMPARE(m_form->PageFormat, -1);
}

static QWidget* NextTabStop(QWidget* widget)
{
    QWidget* next = widget->nextInFocusChain();
    while ((next->focusPolicy() & Qt::TabFocus) == 0 || next->parentWidget() == widget) {
        next = next->nextInFocusChain();
    }
    return next;
}

void TestMainForm::tabOrderInTopBar()
{
    QCOMPARE(NextTabStop(m_form->RzBitBtn1), m_form->cbSearch);
    QCOMPARE(NextTabStop(m_form->cbSearch), m_form->RzBitBtn2);
    QCOMPARE(NextTabStop(m_form->RzBitBtn2), m_form->edPageNum);
}

void TestMainForm::logoFollowsTheRightEdge()
{
    m_form->show();
    m_form->resize(1000, 600);
    QCOMPARE(m_form->Image2->pos(), QPoint(1000 - 198, 8));
    QCOMPARE(m_form->grid->geometry(), QRect(185, 81, 815, 500));
}

void TestMainForm::pageCountSettlesOnFocusLoss_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value");
    QTest::newRow("in range") << "7" << 7;
    QTest::newRow("zero") << "0" << 1;
    QTest::newRow("above range") << "250" << 100;
    QTest::newRow("not a number") << "ab" << 1;
    QTest::newRow("empty") << "" << 1;
}

void TestMainForm::pageCountSettlesOnFocusLoss()
{
    QFETCH(QString, typed);
    QFETCH(int, value);
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    TNumberEdit* edit = m_form->edPageNum;
    edit->setFocus();
    auto* line = edit->findChild<QLineEdit*>();
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Delete);
    for (QChar c : typed) {
        QTest::keyClick(line, c.toLatin1());
    }
    m_form->cbSearch->setFocus();
    QCOMPARE(edit->value(), value);
    QCOMPARE(edit->text(), QString::number(value));
}

void TestMainForm::pageCountInterpretation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("rounds up") << "2.6" << 3;
    QTest::newRow("half to even") << "2.5" << 2;
    QTest::newRow("negative") << "-4" << 1;
    QTest::newRow("huge") << "1e300" << 100;
    QTest::newRow("blanks") << " 42 " << 42;
    QTest::newRow("letters") << "x1" << 1;
}

void TestMainForm::pageCountInterpretation()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(TNumberEdit::Interpret(text, 1, 100), value);
}

void TestMainForm::clockAndBlinkingPane()
{
    const QString first = m_form->RzClockStatus1->text();
    QVERIFY(!first.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(m_form->RzClockStatus1->text() != first, 2500);
    const QColor green = m_form->RzStatusPane1->palette().color(QPalette::WindowText);
    QTRY_VERIFY_WITH_TIMEOUT(m_form->RzStatusPane1->palette().color(QPalette::WindowText) != green, 3500);
    QCOMPARE(m_form->RzStatusPane1->palette().color(QPalette::WindowText), QColor(255, 128, 0));
}

void TestMainForm::standardButtonsReadChinese()
{
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
}

// The window opens with the focus in the keyword box and its keyword chosen: typing replaces it, and no
// key presses 采集.
void TestMainForm::typingGoesToTheKeywordAtStart()
{
    m_form->show();
    QTRY_COMPARE_WITH_TIMEOUT(m_form->windowTitle(), QStringLiteral("Mercatix V1.0"), 2000);
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(m_form->cbSearch));
    QCOMPARE(m_form->cbSearch->lineEdit()->selectedText(), m_form->cbSearch->currentText());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTest::keyClicks(QApplication::focusWidget(), "desk");
    QCOMPARE(m_form->cbSearch->currentText(), QStringLiteral(" desk"));
    QVERIFY(m_form->RzMemo2->toPlainText().isEmpty()); // no run started
}

int main(int argc, char** argv)
{
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    TestMainForm test;
    const int result = QTest::qExec(&test, argc, argv);
    DoneModules();
    return result;
}

#include "TestMainForm.moc"
