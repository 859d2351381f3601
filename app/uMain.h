#pragma once

#include "app/TExportChoice.h"
#include "export/TExportRequest.h"
#include "net/THttpResult.h"
#include "storage/TPagePipeline.h"
#include "ui/uBase.h"

#include <QByteArray>
#include <QModelIndex>
#include <QString>

#include <memory>
#include <thread>
#include <vector>

class QComboBox;
class QEventLoop;
class QLabel;
class QPlainTextEdit;
class QProgressDialog;
class QPushButton;
class QTableView;
class QTimer;
class QMenu;
class QSortFilterProxyModel;
class TDM;
class TExportDialog;
class TExportThread;
struct TExportColumn;
class TFindDialog;
class TLibraryWindow;
class TLibraryWorker;
class TLinkDelegate;
class TProfileFile;
class TProgressForm;
class TNumberEdit;
namespace TWindowBounds {
struct TBounds;
}

// Parameters of the collection run; tests point them at a local server and shorten the waits.
struct TRunParams
{
    QString Host = QStringLiteral("s.taobao.com");
    int PauseMs = 1000; // the pause after every stored page
    int ConnectTimeoutMs = 10000; // the longest wait for the server to take the connection
    int TimeoutMs = 30000; // the longest silence of the server during a download
    int PageDeadlineMs = 60000; // the longest download of one page: no server holds a run longer
};

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

    bool StopFlag = false;
    qint32 PageFormat = -1; // -1 none found, 0 page-config block, 1 body block

    void InitAfterCreate();
    // The menu of a grid cell: copy, open the link in the system browser, copy the link. The caller owns it.
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

    // The search URL of a page. The keyword's control characters, blanks, DEL and "#%&+<> go out
    // percent-encoded; every other character as its code page 936 bytes.
    static QString SearchUrl(const QString& host, const QString& keyword, int offset);
    // The longest keyword the search box takes: what the keyword column of the goods table holds.
    static constexpr int MaxKeywordLength = 100;
    void LoadSettings();
    void SaveSettings();
    // The smallest client area at which no control of the top bar covers another.
    QSize MinimumBounds() const;

    static QString ProductCaption();

signals:
    // The window has been initialised and shown: the database is open and the settings are loaded.
    void Initialised();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void RzBitBtn1Click();
    void RzBitBtn2Click();
    void gridCellClick(const QModelIndex& index);
    void btnExportClick();
    void btnLibraryClick();

private:
    // True when the database is open; otherwise says why not in a box, and no run starts.
    bool DatabaseReady();
    bool CollectPages(const QString& keyword, int pageCount);
    // Dispatches every pending event; false once the window has closed.
    bool ProcessMessages();
    // Downloads a page on a thread of its own while the window stays live. False when the window closed
    // meanwhile: the download is then given up and nothing of it is kept.
    bool DownloadPage(const QString& url, QString* text, THttpResult* outcome);
    // Writes the rows a page stored to the file on a thread of its own while the window stays live.
    bool WriteGoodsRows(QString* error);
    // Waits for a write in progress to end.
    void JoinWriter();
    // Waits ms while the window stays live; false once the window has closed.
    bool Pause(int ms);
    // Runs a local event loop until it is quit, or until the window closes.
    void WaitIn(QEventLoop& loop);
    void SetRunning(bool running);
    // False, after a box naming the character, when the keyword holds one that code page 936 lacks.
    bool KeywordIsSearchable(const QString& keyword);
    // The keyword box's length limit, and Enter in it starts a run.
    void SetUpSearchBox();
    // Logs "原因：" and the cause, and keeps it in the status pane until the next run; an empty cause logs
    // nothing and gives the pane its hint back. A redirect's whole address, which the cause shortens, goes
    // to the log on a line of its own.
    void ShowReason(const QString& cause, const QString& address = {});
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
    // Settings that were never loaded are never saved over the file.
    bool m_settingsLoaded = false;
    QString m_openError; // why the database did not open at start
    TExportChoice m_exportChoice; // the folder and the format of the last export, kept in the settings
    QString m_statusHint; // what the status pane says while no failure is shown
    QEventLoop* m_waitLoop = nullptr; // the local loop a run waits in, quit when the window closes
    std::thread m_writer; // writes a page's rows to the file; joined before the file closes
    TPageResult m_pageResult; // the last page's outcome, from ExtractPageJson and StorePageJson
    TExportThread* m_exportThread = nullptr;
    TProgressForm* m_exportProgress = nullptr;
    QProgressDialog* m_upgradeProgress = nullptr;
    TLibraryWindow* m_library = nullptr;
    std::unique_ptr<TLibraryWorker> m_libraryWorker; // opened ahead of the library window's first opening
};

extern TMainForm* MainForm;
