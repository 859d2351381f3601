#include <QTest>
class TestGoodsStore : public QObject
{
    Q_OBJECT
};
QTEST_GUILESS_MAIN(TestGoodsStore)
#include "TestGoodsStore.moc"
