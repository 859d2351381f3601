#pragma once

#include "app/TExportChoice.h"
#include "app/TLibraryModel.h"
#include "export/TExportRequest.h"
#include "library/TLibraryFilter.h"
#include "library/TLibrarySql.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class TDM;
class TLibraryWorker;
struct TLibraryState;
class TLinkDelegate;
class TPriceChart;

// The library: every stored row of goodslist in one grid that reads pages on demand, the newest first, with a
// search over title, seller nickname and location, filters (a range of days of collection, one seller among
// them), the grouping of repeated sightings into listings or of rows by seller, a price chart, export and
// deletion. It reads through a connection of its own on a worker thread, so neither a run nor a long query holds
// the other up; typing on cancels the query that runs. Every read or change that fails says why in the status
// line. Its filters, view, sort and size are kept for its next opening (TLibraryState). Ctrl+F goes to the search
// box, F5 reads everything again, Esc closes the window.
class TLibraryWindow : public QWidget
{
    Q_OBJECT

public:
    using ExportStarter = std::function<void(TExportRequest request)>;

    // Titles come from the goods query's fields, so the grid reads like the main grid. A worker opened
    // ahead of time (its connection's key derivation takes a while) may be handed over; else one is started.
    // Exports propose and remember their file through the choice shared with the main window (a choice of
    // the window's own without one). The window opens fitted to the screen of its parent.
    TLibraryWindow(const TDM* dm, const QString& connectionString, ExportStarter startExport, QWidget* parent = nullptr,
                   std::unique_ptr<TLibraryWorker> worker = nullptr, TExportChoice* exportChoice = nullptr);
    ~TLibraryWindow() override;

    QLineEdit* edSearch = nullptr;
    QComboBox* cbKeyword = nullptr;
    QLineEdit* edMinPrice = nullptr;
    QLineEdit* edMaxPrice = nullptr;
    QLineEdit* edLocation = nullptr;
    QCheckBox* chkDate = nullptr;
    QDateEdit* deFrom = nullptr;
    QDateEdit* deTo = nullptr;
    QPushButton* btnSeller = nullptr; // the seller the rows are narrowed to; a click shows every seller again
    QCheckBox* chkGroup = nullptr;
    QCheckBox* chkSellers = nullptr;
    QPushButton* btnRefresh = nullptr;
    QPushButton* btnCompare = nullptr; // 比较: what changed between two runs
    QPushButton* btnExport = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnDeleteKeyword = nullptr;
    QTableView* grid = nullptr;
    TPriceChart* chart = nullptr;
    QLabel* lblStatus = nullptr;

    TLibraryModel* Model() const { return m_model; }
    // Reads keywords, rows, counts and prices again (F5).
    void RefreshAll();
    // Blocks until the worker has run every job posted so far; for tests.
    void WaitForWorker();
    // The size the window opens at where the screen has room for it.
    static constexpr int DefaultWidth = 1100;
    static constexpr int DefaultHeight = 640;
    // The least width of the search box.
    static constexpr int MinSearchWidth = 200;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    QWidget* CreateFilterBar();
    QWidget* CreateActionBar();
    void ConnectFilterBar();
    void CreateShortcuts();
    void CreateGrid(const TDM* dm);
    void FitToScreen(QSize wanted);
    void RestoreState(const TLibraryState& state);
    void SaveState() const;
    void ApplyFilter();
    TLibraryGrouping Grouping() const;
    void NarrowToSeller(int row);
    void ShowSeller();
    void ScheduleApply();
    bool ReadFilter(TLibraryFilter* filter, QString* error) const;
    void ShowCounts();
    void ShowError(const QString& error);
    void ShowStatus(const QString& text, bool failure);
    void LoadKeywords();
    void TakeKeywords(const std::vector<std::pair<QString, qint64>>& keywords);
    void LoadPrices();
    void ViewReset();
    void MarkLinkColumns();
    void ShowSortIndicator();
    void OpenLinkCell(const QModelIndex& index);
    // The history of the listing of a row (价格历史), and the comparison of runs (比较), in windows of their own.
    void OpenHistory(const QModelIndex& index);
    void CompareClick();
    // The keyword an export's file is named after: the one filtered by, else the search text.
    QString ExportKeyword() const;
    void ExportClick();
    std::vector<TExportColumn> ExportColumns(bool viewRows) const;
    void ExportGroupedRows(TExportRequest request);
    void DeleteClick();
    void DeleteKeywordClick();
    void RunDelete(std::function<bool(class TLibraryQuery&, qint64*, QString*)> work);
    void DeleteFinished(bool ok, qint64 deleted, const QString& error);
    std::vector<int> SelectedRows() const;

    struct TSeller
    {
        bool On = false;
        QString Id;
        QString Nick;
    };

    QString m_connectionString;
    std::vector<TLibraryModel::TColumn> m_rowColumns;
    TSeller m_seller;
    std::unique_ptr<TLibraryWorker> m_worker;
    TLibraryModel* m_model = nullptr;
    TLinkDelegate* m_linkDelegate = nullptr;
    QTimer* m_applyTimer = nullptr;
    ExportStarter m_startExport;
    TExportChoice m_ownChoice;
    TExportChoice* m_exportChoice;
    TLibrarySql::TSchema m_schema;
    QString m_error;
    quint64 m_pricesGeneration = 0;
    quint64 m_keywordsGeneration = 0;
};
