#include "platform/TAsyncTask.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

bool TAsyncTask::CanWait()
{
    return QCoreApplication::instance() != nullptr && QAbstractEventDispatcher::instance() != nullptr;
}
