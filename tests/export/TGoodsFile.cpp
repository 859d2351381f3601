#include "tests/export/TGoodsFile.h"

#include "storage/engine/TConnection.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"

bool TGoodsFile::Create(const QString& path, QString* error)
{
    TDM dm;
    const bool opened = dm.OpenDatabase(path, error);
    dm.CloseDatabase();
    return opened;
}

QString TGoodsFile::ConnectionString(const QString& path)
{
    return TDBFunc::ConnectionString(path, TDBFunc::Password());
}

bool TGoodsFile::Execute(const QString& path, const QString& sql, QString* error)
{
    TConnection connection;
    return connection.Open(ConnectionString(path), error) && connection.Execute(sql, error);
}
