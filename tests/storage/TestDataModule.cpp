#include <QTest>
class TestDataModule : public QObject
{
    Q_OBJECT
};
QTEST_GUILESS_MAIN(TestDataModule)
#include "TestDataModule.moc"
