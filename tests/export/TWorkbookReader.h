#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Reads a sheet of an .xlsx file back through unzip: one list per row, each cell written as "n:<number>"
// for a number cell, "d:<yyyy-MM-dd HH:mm:ss>" for a number cell with a date format, "s:<text>" for a text cell
// (inline or shared) and "" for a missing cell.
class TWorkbookReader
{
public:
    static bool ReadSheet(const QString& path, int sheet, QList<QStringList>* rows, QString* error);
    // The names of the workbook's sheets, in their order.
    static QStringList SheetNames(const QString& path);

private:
    static QByteArray Member(const QString& path, const QString& member, QString* error);
    static QStringList SharedStrings(const QString& path);
    // Whether each cell style (by its index) shows a date.
    static QList<bool> DateStyles(const QString& path);
};
