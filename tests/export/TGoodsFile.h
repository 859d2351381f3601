#pragma once

#include <QString>

class TConnection;

// A database file with the program's schema for the export tests.
class TGoodsFile
{
public:
    // Creates the file with the schema; false with the reason.
    static bool Create(const QString& path, QString* error);
    static QString ConnectionString(const QString& path);
    // Runs statements on a connection of its own.
    static bool Execute(const QString& path, const QString& sql, QString* error);
};
