#include "ui/uBase.h"

TBaseForm::TBaseForm(QWidget* parent, Qt::WindowFlags flags)
    : TCommForm(parent, flags)
{
    setObjectName("BaseForm");
    setWindowTitle("BaseForm");
    move(192, 132);
}
