#pragma once

#include <QTableView>

// The goods grid's view: a table whose column lines run on below the last row to the bottom of the grid,
// with a raised title row (TTitleHeader).
class TGridView : public QTableView
{
    Q_OBJECT

public:
    explicit TGridView(QWidget* parent = nullptr);

    QColor GridLineColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ExtendColumnLines();
};
