#pragma once

#include <QString>

// The data module: the database connection and the goods query.
class TDM
{
public:
    TDM();
    ~TDM();

    // Opens the database file, creating and upgrading it as needed.
    bool OpenDatabase(const QString& path, QString* error);
    // Opens the goods query empty.
    bool OpenGoodsQuery(QString* error);
    void CloseDatabase();
};

extern TDM* DM;
