#pragma once

#include "export/TExportRequest.h"
#include "library/TComparisonQuery.h"

#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTableWidget;
class TComparisonModel;
class TExportChoice;
class TLibraryWorker;

// What changed between two runs: a keyword's last two complete runs, or any two runs chosen from the list of
// every recorded run (newest first, with outcome and reason; runs that did not end complete are marked and
// refused with a message). The listings that are new, gone, cheaper and dearer, with the old and the new price,
// the change and the change in percent, sortable, filtered by kind and exported through the export dialog. It
// reads on a library worker of its own; a read that fails says why in its status line. Esc closes it.
class TComparisonWindow : public QWidget
{
    Q_OBJECT

public:
    using ExportStarter = std::function<void(TExportRequest request)>;

    // Exports go to the starter and propose their file through the choice (a choice of the window's own without
    // one); without a starter there is no export.
    TComparisonWindow(const QString& connectionString, ExportStarter startExport, TExportChoice* exportChoice,
                      QWidget* parent = nullptr);
    ~TComparisonWindow() override;

    // Brings up the comparison window of the owner (made at the first call), starting on a keyword when it has
    // runs.
    static TComparisonWindow* ShowFor(QWidget* owner, const QString& connectionString, ExportStarter startExport,
                                      TExportChoice* exportChoice, const QString& keyword);

    // Reads the keywords and the runs again, then compares the chosen keyword's last two complete runs.
    void Refresh();
    // Compares a keyword's last two complete runs; two runs of the list.
    void CompareLatest(const QString& keyword);
    void CompareRuns(qint64 first, qint64 second);
    // Blocks until the worker has run every job posted so far; for tests.
    void WaitForWorker();
    TComparisonModel* Model() const { return m_model; }
    QSortFilterProxyModel* Proxy() const { return m_proxy; }
    // The runs compared last; Id 0 before the first comparison or after a refused one.
    const TComparisonQuery::TResult& Compared() const { return m_result; }

    QComboBox* cbKeyword = nullptr;
    QPushButton* btnCompareLatest = nullptr;
    QTableWidget* gridRuns = nullptr;
    QPushButton* btnCompareRuns = nullptr;
    QLabel* lblCaption = nullptr;
    QComboBox* cbKind = nullptr;
    QTableView* grid = nullptr;
    QPushButton* btnExport = nullptr;
    QLabel* lblStatus = nullptr;

    enum RunColumn { RunId, RunKeyword, RunStarted, RunFinished, RunPages, RunRows, RunOutcome, RunReason, RunColumns };

signals:
    // The keywords and runs are in the window.
    void RunsLoaded();
    // A comparison, or why it was refused, is shown.
    void ComparisonShown();

private:
    void CreateControls();
    QWidget* CreateRunPane();
    QWidget* CreateChangePane();
    void CreateGrid();
    void TakeRuns(const QStringList& keywords, const std::vector<TRunRecord>& runs, const QString& error);
    void Compare(std::function<bool(TConnection*, TComparisonQuery::TResult*, QString*)> work);
    void TakeComparison(quint64 generation, const TComparisonQuery::TResult& result, const QString& error);
    void SelectComparedRuns();
    void ShowKindCounts();
    void ApplyKind();
    void CompareSelectedRuns();
    void RunSelectionChanged();
    std::vector<TRunRecord> SelectedRuns() const;
    void OpenLinkCell(const QModelIndex& index);
    void OpenHistory(const QModelIndex& index);
    void ExportClick();
    void ShowStatus(const QString& text, bool failure);

    QString m_connectionString;
    std::unique_ptr<TLibraryWorker> m_worker;
    ExportStarter m_startExport;
    std::unique_ptr<TExportChoice> m_ownChoice;
    TExportChoice* m_exportChoice;
    TComparisonModel* m_model = nullptr;
    QSortFilterProxyModel* m_proxy = nullptr;
    std::vector<TRunRecord> m_runs;
    TComparisonQuery::TResult m_result;
    QString m_wantedKeyword;
    quint64 m_generation = 0;
};
