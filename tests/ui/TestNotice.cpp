#include "ui/TMessageBox.h"
#include "ui/TNoticeEvent.h"
#include "ui/uFrmComm.h"
#include "ui/uPubFunc.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QTimer>

namespace {
struct Box
{
    TMessageBox::Icon icon;
    QString caption;
    QString text;
    bool onGuiThread;
};

// A window that counts the notice messages it receives.
class TCountingForm : public TCommForm
{
public:
    int notices = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == TNoticeEvent::EventType()) {
            ++notices;
        }
        return TCommForm::event(e);
    }
};
} // namespace

class TestNotice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void bufferText_data();
    void bufferText();
    void bufferOfText();
    void noticeBeforeMainWindowShowsBoxDirectly();
    void noticeGoesThroughMainWindow();
    void noticeKinds_data();
    void noticeKinds();
    void noticeFromWorkerThreadWaitsForTheBox();
    void noticeToClosedWindowShowsNothing();
    void showModal_data();
    void showModal();

private:
    QList<Box> m_boxes;
};

void TestNotice::init()
{
    InitPubFunc();
    m_boxes.clear();
    TMessageBox::SetTestHook([this](TMessageBox::Icon icon, const QString& caption, const QString& text) {
        m_boxes.append({icon, caption, text, QThread::currentThread() == qApp->thread()});
    });
}

void TestNotice::cleanup()
{
    TMessageBox::SetTestHook({});
    DonePubFunc();
}

void TestNotice::bufferText_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty text") << QByteArray("\0", 1) << QString();
    QTest::newRow("stops at zero") << QByteArray("abc\0def\0", 8) << QStringLiteral("abc");
    QTest::newRow("no zero: every byte") << QByteArray("abc") << QStringLiteral("abc");
    QTest::newRow("code page bytes") << QByteArray("\xbe\xaf\xb8\xe6\0", 5) << QStringLiteral("警告");
}

void TestNotice::bufferText()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QString, text);
    QCOMPARE(TPubFunc::NoticeText(buffer), text);
}

void TestNotice::bufferOfText()
{
    QCOMPARE(TPubFunc::NoticeBuffer(QString()), QByteArray("\0", 1));
    QCOMPARE(TPubFunc::NoticeBuffer(QStringLiteral("提示")), QByteArray("\xcc\xe1\xca\xbe\0", 5));
}

void TestNotice::noticeBeforeMainWindowShowsBoxDirectly()
{
    PubFunc->ShowNotice(QStringLiteral("无窗口"));
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].caption, QStringLiteral("警告"));
    QCOMPARE(m_boxes[0].icon, TMessageBox::Warning);
    QCOMPARE(m_boxes[0].text, QStringLiteral("无窗口"));
}

void TestNotice::noticeGoesThroughMainWindow()
{
    TCountingForm form;
    PubFunc->SetMainWindow(&form);
    PubFunc->ShowNotice(QStringLiteral("经主窗口"));
    QCOMPARE(form.notices, 1);
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].caption, QStringLiteral("警告"));
    QCOMPARE(m_boxes[0].text, QStringLiteral("经主窗口"));
}

void TestNotice::noticeKinds_data()
{
    QTest::addColumn<quint32>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("icon");
    QTest::newRow("information") << 1u << QStringLiteral("提示") << int(TMessageBox::Information);
    QTest::newRow("warning") << 2u << QStringLiteral("警告") << int(TMessageBox::Warning);
    QTest::newRow("kind 0") << 0u << QString() << -1;
    QTest::newRow("kind 3") << 3u << QString() << -1;
}

void TestNotice::noticeKinds()
{
    QFETCH(quint32, kind);
    QFETCH(QString, caption);
    QFETCH(int, icon);
    TCommForm form;
    TNoticeEvent event(kind, TPubFunc::NoticeBuffer("x"));
    QVERIFY(QCoreApplication::sendEvent(&form, &event));
    if (caption.isEmpty()) {
        QVERIFY(m_boxes.isEmpty());
    } else {
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].caption, caption);
        QCOMPARE(int(m_boxes[0].icon), icon);
    }
    // The box shown directly, without a window, has the same caption and icon.
    m_boxes.clear();
    PubFunc->ShowMsgBox("y", int(kind));
    QCOMPARE(m_boxes.size(), caption.isEmpty() ? 0 : 1);
    if (!caption.isEmpty()) {
        QCOMPARE(m_boxes[0].caption, caption);
        QCOMPARE(int(m_boxes[0].icon), icon);
    }
}

void TestNotice::noticeFromWorkerThreadWaitsForTheBox()
{
    TCommForm form;
    PubFunc->SetMainWindow(&form);
    bool boxClosedFirst = false;
    QThread* worker = QThread::create([&]() {
        PubFunc->ShowNotice(QStringLiteral("来自线程"));
        boxClosedFirst = m_boxes.size() == 1;
    });
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 5000);
    delete worker;
    QVERIFY(boxClosedFirst);
    QVERIFY(m_boxes[0].onGuiThread);
    QCOMPARE(m_boxes[0].text, QStringLiteral("来自线程"));
}

void TestNotice::noticeToClosedWindowShowsNothing()
{
    auto* form = new TCommForm;
    PubFunc->SetMainWindow(form);
    delete form;
    PubFunc->ShowNotice("gone");
    QVERIFY(m_boxes.isEmpty());
}

// A window shown modally returns the result it was done with, or a cancel when it closed otherwise.
void TestNotice::showModal_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("result");
    QTest::newRow("done with ok") << "ok" << int(TCommForm::ModalOk);
    QTest::newRow("closed") << "close" << int(TCommForm::ModalCancel);
    QTest::newRow("hidden") << "hide" << int(TCommForm::ModalCancel);
    QTest::newRow("destroyed") << "delete" << int(TCommForm::ModalCancel);
}

void TestNotice::showModal()
{
    QFETCH(QString, ending);
    QFETCH(int, result);
    QPointer<TCommForm> form = new TCommForm(nullptr, Qt::Dialog);
    bool modal = false;
    QTimer::singleShot(20, qApp, [&]() {
        modal = QApplication::activeModalWidget() == form;
        if (ending == "ok") {
            form->Done(TCommForm::ModalOk);
        } else if (ending == "close") {
            form->close();
        } else if (ending == "hide") {
            form->hide();
        } else {
            delete form;
        }
    });
    QCOMPARE(form->ShowModal(), result);
    QVERIFY(modal);
    if (form != nullptr) {
        QVERIFY(!form->isVisible());
        delete form;
    }
}

QTEST_MAIN(TestNotice)
#include "TestNotice.moc"
