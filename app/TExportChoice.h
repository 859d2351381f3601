#pragma once

#include "export/TExportRequest.h"

#include <QDateTime>
#include <QString>

class TExportDialog;

// The folder and the format of the last export, which the next one proposes, and the way every window asks
// for an export's file: a name made of the keyword and the time in that folder and format, the dialog, and
// a question before an existing file is replaced. One instance serves all windows of the program, so an
// export from any of them is proposed, asked and remembered alike.
class TExportChoice
{
public:
    QString Folder; // empty: the documents folder
    TExportRequest::Format Format = TExportRequest::Xlsx;

    // Proposes the file, shows the dialog (the keyword also chosen in its keyword list) and asks before
    // replacing a file that exists. True when the export is to go ahead; the folder and the format of the
    // file then become the next proposal.
    bool Ask(TExportDialog& dialog, const QString& keyword, const QDateTime& now = QDateTime::currentDateTime());

    // Asks before an export replaces an existing file; true when there is none or the user allows it.
    static bool ReplaceAllowed(const QString& path);
};
