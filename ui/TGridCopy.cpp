#include "ui/TGridCopy.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMimeData>
#include <QTableView>

#include <algorithm>

namespace {
// A cell's text on one line, so it cannot break the tab-separated layout.
QString Flat(QString text)
{
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QList<int> SortedByVisual(QList<int> sections, const QHeaderView* header)
{
    std::sort(sections.begin(), sections.end(),
              [header](int a, int b) { return header->visualIndex(a) < header->visualIndex(b); });
    sections.erase(std::unique(sections.begin(), sections.end()), sections.end());
    return sections;
}

void AddLine(TGridCopy* copy, const QStringList& cells, const char* tag)
{
    copy->Text += cells.join(QLatin1Char('\t')) + QLatin1String("\r\n");
    copy->Html += QLatin1String("<tr>");
    for (const QString& cell : cells) {
        copy->Html += QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), cell.toHtmlEscaped());
    }
    copy->Html += QLatin1String("</tr>");
}
} // namespace

TGridCopy TGridCopy::FromSelection(const QTableView* view)
{
    TGridCopy copy;
    const QModelIndexList selected = view->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        return copy;
    }
    QList<int> rows;
    QList<int> columns;
    for (const QModelIndex& index : selected) {
        rows.append(index.row());
        columns.append(index.column());
    }
    rows = SortedByVisual(rows, view->verticalHeader());
    columns = SortedByVisual(columns, view->horizontalHeader());
    const QAbstractItemModel* model = view->model();
    copy.Html = QStringLiteral("<table>");
    QStringList titles;
    for (int column : columns) {
        titles.append(Flat(model->headerData(column, Qt::Horizontal).toString()));
    }
    AddLine(&copy, titles, "th");
    for (int row : rows) {
        QStringList cells;
        for (int column : columns) {
            const QModelIndex index = model->index(row, column);
            cells.append(view->selectionModel()->isSelected(index) ? Flat(index.data().toString()) : QString());
        }
        AddLine(&copy, cells, "td");
    }
    copy.Html += QStringLiteral("</table>");
    return copy;
}

bool TGridCopy::CopySelection(const QTableView* view)
{
    const TGridCopy copy = FromSelection(view);
    if (copy.Text.isEmpty()) {
        return false;
    }
    auto* mime = new QMimeData;
    mime->setText(copy.Text);
    mime->setHtml(copy.Html);
    QApplication::clipboard()->setMimeData(mime);
    return true;
}
