#pragma once

#include <QString>

// One column of a row set, with the settings the grid shows it by.
class TField
{
public:
    enum Type { Unknown, Integer, Counter, Float, Text, Blob };

    QString Name;
    Type DataType = Unknown;
    int Size = 0; // characters, from varchar(n) or char(n); 0 when the type has none
    bool ReadOnly = false; // the automatic number is never written
    QString DisplayLabel; // the grid's title; the name when empty
    int DisplayWidth = 0; // in characters
    bool Visible = true;
    // A defined field that a statement may lack: the row set then opens without it.
    bool Optional = false;

    QString DisplayName() const { return DisplayLabel.isEmpty() ? Name : DisplayLabel; }

    // The type of a declared column type, with the rules of the engine's type affinity.
    static Type TypeOfDeclared(const QString& declared);
    // n of "varchar(n)", "char(n)" and the like; 0 otherwise.
    static int SizeOfDeclared(const QString& declared);
};
