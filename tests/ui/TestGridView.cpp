#include "ui/TGridView.h"
#include "ui/TIndicatorHeader.h"

#include <QHeaderView>
#include <QImage>
#include <QStandardItemModel>
#include <QTest>

class TestGridView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void columnLinesRunToTheBottom_data();
    void columnLinesRunToTheBottom();
    void fixedCellsAreRaised_data();
    void fixedCellsAreRaised();

private:
    TGridView* m_view = nullptr;
    QStandardItemModel* m_model = nullptr;
};

void TestGridView::init()
{
    m_view = new TGridView;
    m_view->setVerticalHeader(new TIndicatorHeader(m_view));
    m_model = new QStandardItemModel(2, 3, m_view);
    m_view->setModel(m_model);
    m_view->resize(420, 300);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view));
}

void TestGridView::cleanup()
{
    delete m_view;
}

void TestGridView::columnLinesRunToTheBottom_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("movedColumn");
    QTest::newRow("two rows") << 2 << false;
    QTest::newRow("no rows") << 0 << false;
    QTest::newRow("a moved column") << 2 << true;
}

// Below the last row, each column's line goes on at the column's right edge down to the bottom; between
// the lines is the empty background.
void TestGridView::columnLinesRunToTheBottom()
{
    QFETCH(int, rows);
    QFETCH(bool, movedColumn);
    m_model->setRowCount(rows);
    if (movedColumn) {
        m_view->horizontalHeader()->moveSection(2, 0);
        m_view->horizontalHeader()->resizeSection(2, 60);
    }
    const QImage image = m_view->viewport()->grab().toImage();
    const int below = rows > 0 ? m_view->rowViewportPosition(rows - 1) + m_view->rowHeight(rows - 1) : 0;
    const QColor line = m_view->GridLineColor();
    for (int column = 0; column < 3; ++column) {
        const int x = m_view->columnViewportPosition(column) + m_view->columnWidth(column) - 1;
        for (const int y : {below + 2, (below + image.height()) / 2, image.height() - 1}) {
            QCOMPARE(image.pixel(x, y), line.rgb());
            QVERIFY(image.pixel(x - 5, y) != line.rgb());
        }
    }
}

void TestGridView::fixedCellsAreRaised_data()
{
    QTest::addColumn<bool>("titleRow");
    QTest::newRow("title row") << true;
    QTest::newRow("indicator column") << false;
}

// A raised cell: light along its top and left edges, shadow along its bottom and right edges.
void TestGridView::fixedCellsAreRaised()
{
    QFETCH(bool, titleRow);
    QHeaderView* header = titleRow ? m_view->horizontalHeader() : m_view->verticalHeader();
    const QImage image = header->viewport()->grab().toImage();
    const int first = header->sectionViewportPosition(0);
    const int size = header->sectionSize(0);
    const QRect cell = titleRow ? QRect(first, 0, size, header->height()) : QRect(0, first, header->width(), size);
    const QPalette palette = header->palette();
    const QPoint middle = cell.center();
    const QRgb light = palette.color(QPalette::Light).rgb();
    const QRgb dark = palette.color(QPalette::Dark).rgb();
    QCOMPARE(image.pixel(cell.left(), middle.y()), light);
    QCOMPARE(image.pixel(middle.x(), cell.top()), light);
    QCOMPARE(image.pixel(cell.right(), middle.y()), dark);
    QCOMPARE(image.pixel(middle.x(), cell.bottom()), dark);
}

QTEST_MAIN(TestGridView)
#include "TestGridView.moc"
