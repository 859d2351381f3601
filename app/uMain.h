#pragma once

#include "app/TExportChoice.h"
#include "collect/TRunParams.h"
#include "export/TExportRequest.h"
#include "ui/uBase.h"

#include <QByteArray>
#include <QModelIndex>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressDialog;
class QPushButton;
class QTableView;
class QTimer;
class QMenu;
class QSortFilterProxyModel;
class INotifier;
class TCollectionRun;
class TRunRecorder;
class TDM;
class TExportDialog;
class TExportThread;
struct TExportColumn;
class TFindDialog;
class TLibraryWindow;
class TLibraryWorker;
class TLinkDelegate;
class TWatchScheduler;
class TWatchWindow;
struct TWatch;
class TProfileFile;
class TProgressForm;
class TNumberEdit;
namespace TWindowBounds {
struct TBounds;
}

// The main window: keyword, page count, collect and stop buttons, the log, the goods grid, the status bar.
class TMainForm : public TBaseForm
{
    Q_OBJECT

public:
    explicit TMainForm(TDM* dm, TRunParams params = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Controls, named as the window's objects.
    QWidget* RzPanel1 = nullptr;
    QPushButton* RzBitBtn1 = nullptr;
    QComboBox* cbSearch = nullptr;
    QLabel* RzLabel1 = nullptr;
    QPushButton* RzBitBtn2 = nullptr;
    QWidget* RzPanel2 = nullptr;
    QLabel* RzLabel2 = nullptr;
    QPlainTextEdit* RzMemo2 = nullptr;
    QLabel* RzLabel3 = nullptr;
    TNumberEdit* edPageNum = nullptr;
    QTableView* grid = nullptr;
    QWidget* RzStatusBar1 = nullptr;
    QLabel* RzGlyphStatus1 = nullptr;
    QLabel* RzClockStatus1 = nullptr;
    QLabel* RzStatusPane1 = nullptr;
    QLabel* RunProgressPane = nullptr; // the page and the rows of the current or last run
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QPushButton* btnExport = nullptr;
    QPushButton* btnLibrary = nullptr;
    QPushButton* btnWatch = nullptr; // 监控: the watch lists
    QLabel* NextWatchPane = nullptr; // when the next watch is due

    bool StopFlag = false;
    qint32 PageFormat = -1; // -1 none found, 0 page-config block, 1 body block

    void InitAfterCreate();
    // The menu of a grid cell: copy, open the link in the system browser, copy the link, the price history of the
    // row's listing. The caller owns it.
    QMenu* CreateCellMenu(const QModelIndex& index);
    void AddLog(const QString& message);
    // Cuts the data block out of a page and records its framing in PageFormat.
    QString ExtractPageJson(QString page);
    // Stores the listings of a block; returns their number. A failure while storing sets error.
    int StorePageJson(const QString& keyword, const QString& block, QString* error);
    bool IsRunning() const { return m_running; }
    bool IsExporting() const { return m_exportThread != nullptr; }
    // The library window while it is open; null before the first press of its button.
    TLibraryWindow* Library() const { return m_library; }
    // The watch window while it is open; null before the first press of its button.
    TWatchWindow* Watches() const { return m_watchWindow; }
    // Runs a watch as if its keyword and page count had been entered and 采集 pressed; its run's id.
    qint64 RunWatch(const TWatch& watch);

    // The longest keyword the search box takes: what the keyword column of the goods table holds.
    static constexpr int MaxKeywordLength = 100;
    void LoadSettings();
    void SaveSettings();
    // The smallest client area at which no control of the top bar covers another.
    QSize MinimumBounds() const;

    static QString ProductCaption();

    // Closes the window as its user would (settings saved, database closed), for a request from outside such as a
    // termination signal: a box, dialog or menu open over it is dismissed first, and a start that is still opening
    // the database ends before the window closes.
    void CloseOnRequest();

signals:
    // The window has been initialised and shown: the database is open and the settings are loaded.
    void Initialised();
    // A run of the window has ended and was recorded (0 when it could not be).
    void RunRecorded(qint64 runId);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void RzBitBtn1Click();
    void RzBitBtn2Click();
    void gridCellClick(const QModelIndex& index);
    // A double-click on a cell that is no link shows the price history of the row's listing.
    void gridCellDoubleClick(const QModelIndex& index);
    void btnExportClick();
    void btnLibraryClick();
    void btnWatchClick();

private:
    // True when the database is open; otherwise says why not in a box, and no run starts.
    bool DatabaseReady();
    // The collection run behind the buttons, with its reports connected to the log, the status bar and the grid.
    void ConnectRun();
    qint64 CollectAs(const QString& source, const QVariant& dropPercent = {}, const QVariant& belowPrice = {});
    // The watch button, its status pane and the scheduler that runs due watches while the window is open.
    void CreateWatchControls();
    void StartWatches();
    void SetRunning(bool running);
    // False, after a box naming the character, when the keyword holds one that code page 936 lacks.
    bool KeywordIsSearchable(const QString& keyword);
    // The keyword box's length limit, and Enter in it starts a run.
    void SetUpSearchBox();
    // Keeps the cause of a run's end in the status pane until the next run; an empty cause gives the pane its
    // hint back.
    void ShowReason(const QString& cause);
    void FormCreate();
    void FormClose();
    void CreateControls();
    void CreateTopBar();
    void CreateLogColumn();
    void CreateStatusBar();
    void CreateGrid();
    void MakeRowCurrent(int sourceRow);
    void KeepColumnLayout();
    void ApplyColumnLayout();
    void SetDisplayWidths();
    void ShowFindDialog();
    void CreateGridActions();
    // The cell menu's entry 价格历史, and the item key of a grid row's listing (empty for a row that names none).
    void AddHistoryEntry(QMenu* menu, const QModelIndex& index);
    QString ItemKeyOfRow(const QModelIndex& index) const;
    void SetRunProgress(const QString& text);
    void SetTabOrder();
    void PlaceControls();
    void StartClock();
    void StartBlinking();
    void UpdateClock();
    void Blink();
    void PlaceWindow(const TWindowBounds::TBounds& bounds);
    void LoadGridLayout(const TProfileFile& ini);
    bool SaveHistory(TProfileFile& ini);
    bool SaveGridLayout(TProfileFile& ini);
    void LoadExportChoice(const TProfileFile& ini);
    void SaveExportChoice(TProfileFile& ini);
    // The name of the field a grid column shows.
    QString ColumnField(int column) const;
    // The grid's shown columns in the order the user sees them.
    std::vector<TExportColumn> ExportColumns() const;
    TExportRequest ExportRequestOf(const TExportDialog& dialog) const;
    void StartExport(TExportRequest request);
    void ExportProgress(qint64 done, qint64 total);
    void ExportFinished();
    void StopExport();
    void ShowUpgradeProgress(qint64 done, qint64 total);
    void PrepareLibrary();
    void EndUpgradeProgress();

    TDM* m_dm;
    TRunParams m_params;
    QTimer* m_clockTimer = nullptr;
    QTimer* m_blinkTimer = nullptr;
    bool m_blinkGreen = true;
    TLinkDelegate* m_linkDelegate = nullptr;
    QSortFilterProxyModel* m_sortModel = nullptr;
    TFindDialog* m_findDialog = nullptr;
    QByteArray m_gridState;
    int m_gridColumns = 0;
    bool m_running = false;
    bool m_closed = false;
    bool m_opening = false; // the deferred initialisation is opening or upgrading the database
    // Settings that were never loaded are never saved over the file.
    bool m_settingsLoaded = false;
    QString m_openError; // why the database did not open at start
    TExportChoice m_exportChoice; // the folder and the format of the last export, kept in the settings
    QString m_statusHint; // what the status pane says while no failure is shown
    TCollectionRun* m_run = nullptr;
    std::unique_ptr<INotifier> m_notifier; // announces a run's alerts on the desktop
    std::unique_ptr<TRunRecorder> m_recorder; // records the window's runs
    TWatchScheduler* m_scheduler = nullptr;
    TWatchWindow* m_watchWindow = nullptr;
    TExportThread* m_exportThread = nullptr;
    TProgressForm* m_exportProgress = nullptr;
    QProgressDialog* m_upgradeProgress = nullptr;
    TLibraryWindow* m_library = nullptr;
    std::unique_ptr<TLibraryWorker> m_libraryWorker; // opened ahead of the library window's first opening
};

extern TMainForm* MainForm;
