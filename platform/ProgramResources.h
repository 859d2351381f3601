#pragma once

#include <QByteArray>
#include <QString>

// The program's own resources, kept in the Qt resource system as ":/<type>/<name>".
// Names and types are matched without regard to case.
namespace ProgramResources {
// The bytes of a resource, unchanged; false when the program carries none of that name and type.
bool Find(const QString& name, const QString& type, QByteArray* data);
} // namespace ProgramResources
