// mercatix-collect: collects listings and runs watches without a window.
#include "cli/TCollector.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return TCollector::Main(QCoreApplication::arguments().mid(1));
}
