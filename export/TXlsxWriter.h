#pragma once

#include "export/TTableWriter.h"

#include <QByteArray>
#include <QString>

#include <vector>

struct lxw_format;
struct lxw_workbook;
struct lxw_worksheet;

// An Excel workbook written row by row with little memory (libxlsxwriter's constant-memory mode, so
// texts are stored inline in the sheet). Numbers become number cells, dates and times date cells
// ("yyyy-mm-dd hh:mm"), texts text cells, null cells stay empty. A row beyond a sheet's last row
// continues on a new sheet that repeats the first row written.
class TXlsxWriter : public TTableWriter
{
public:
    static constexpr int SheetRows = 1048576;
    // Rows per sheet; tests lower it to see the continuation without a million rows.
    explicit TXlsxWriter(int sheetRows = SheetRows);
    ~TXlsxWriter() override;

    bool Open(const QString& path, QString* error) override;
    bool WriteRow(std::span<const QVariant> cells, QString* error) override;
    bool Commit(QString* error) override;
    void Discard() override;

private:
    bool AddSheet(QString* error);
    bool WriteCell(int column, const QVariant& cell, QString* error);
    void RemoveTemporary();

    int m_sheetRows;
    QString m_path;
    QString m_temporary;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_dateFormat = nullptr; // owned by the workbook
    int m_sheetCount = 0;
    int m_row = 0; // the next row of the current sheet
    std::vector<QVariant> m_firstRow; // repeated at the top of every further sheet
};
