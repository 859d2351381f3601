#include "storage/uDataModule.h"

TDM* DM = nullptr;

TDM::TDM() = default;
TDM::~TDM() = default;

bool TDM::OpenDatabase(const QString&, QString*)
{
    return true;
}

bool TDM::OpenGoodsQuery(QString*)
{
    return true;
}

void TDM::CloseDatabase() { }
