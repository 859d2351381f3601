#pragma once

#include <QString>

// Where the data files live: a folder "softcfg/" inside the user's documents folder.
extern QString DataDir; // always ends with a separator
extern QString DbPath;
extern QString IniPath;

// The path of a special folder, always ending with a separator ("/" for an unknown folder).
QString GetShellFolder(const QString& name);
QString GetPersonalFolder();

// Sets the three paths from a documents folder ("/softcfg/" when it is empty), creating nothing.
void SetPaths(const QString& documentsFolder);
// Sets the three paths from a documents folder; creates the data folder with any missing parents.
void InitPaths(const QString& documentsFolder);
// Sets the three paths from the user's documents folder, once per process.
void InitPaths();
