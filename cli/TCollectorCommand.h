#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// What the command line of the collector asks for.
struct TCollectorCommand
{
    enum Kind { Help, Run, WatchAdd, WatchList, WatchRemove, WatchRun };
    Kind What = Help;
    QStringList Keywords; // run: each in turn; watch add: one
    int Pages = 3;
    bool Json = false;
    bool All = false; // watch run: every enabled watch, not only the due ones
    double EveryHours = 24;
    QVariant DropPercent; // null: no rule
    QVariant BelowPrice; // null: no rule
    qint64 WatchId = 0;

    // Reads the arguments after the program's name. False with a message in Chinese for anything it cannot
    // take: an unknown subcommand or option, a missing or extra value, a number out of its range, a keyword
    // that the site's code page cannot carry.
    static bool Parse(const QStringList& arguments, TCollectorCommand* command, QString* error);
    // The usage text, in Chinese.
    static QString Usage();
};
