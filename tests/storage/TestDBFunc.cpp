#include <QTest>
class TestDBFunc : public QObject
{
    Q_OBJECT
};
QTEST_GUILESS_MAIN(TestDBFunc)
#include "TestDBFunc.moc"
