#pragma once

#include "export/TExportRequest.h"
#include "ui/uBase.h"

#include <QDateTime>
#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Asks what to export (the grid's rows, or every row of the table, optionally those of one keyword),
// in which format and to which file. Enter exports when a file is named, Esc cancels.
class TExportDialog : public TBaseForm
{
    Q_OBJECT

public:
    // Takes the place of the user in tests: sets the controls and returns whether the dialog is accepted.
    using Hook = std::function<bool(TExportDialog& dialog)>;

    TExportDialog(const QStringList& keywords, int gridRows, QWidget* parent = nullptr);

    QRadioButton* rbGridRows = nullptr;
    QRadioButton* rbTableRows = nullptr;
    QCheckBox* chkKeyword = nullptr;
    QComboBox* cbKeyword = nullptr;
    QRadioButton* rbXlsx = nullptr;
    QRadioButton* rbCsv = nullptr;
    QLineEdit* edPath = nullptr;
    QPushButton* btnBrowse = nullptr;
    QPushButton* btnOk = nullptr;

    TExportRequest::Source Source() const;
    TExportRequest::Format Format() const;
    bool FilterKeyword() const;
    QString Keyword() const;
    QString Path() const;

    // Shows the dialog modally (or runs the test hook); true when the user chose to export.
    bool Run();
    static void SetTestHook(Hook hook);

    // Proposes "<keyword>_<yyyyMMdd-HHmm>" in the folder, in the format; an empty folder means the documents folder.
    // The keyword list starts on the keyword when it holds it.
    void Propose(const QString& folder, const QString& keyword, TExportRequest::Format format, const QDateTime& now);
    // The file name proposed for a keyword at a time, without the folder.
    static QString ProposedName(const QString& keyword, TExportRequest::Format format, const QDateTime& now);

    // The path with the suffix of the format in place of a suffix of the other format.
    static QString WithSuffix(const QString& path, TExportRequest::Format format);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControls(const QStringList& keywords, int gridRows);
    void UpdateControls();
    void FormatChanged();
    void Browse();
};
