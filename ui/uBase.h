#pragma once

#include "ui/uFrmComm.h"

// The base of the program's windows; each derived window sets its own caption.
class TBaseForm : public TCommForm
{
    Q_OBJECT

public:
    explicit TBaseForm(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
};
