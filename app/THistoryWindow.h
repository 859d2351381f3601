#pragma once

#include "library/THistoryQuery.h"
#include "library/TListingHistory.h"

#include <QWidget>

#include <memory>

class QLabel;
class QMenu;
class QPushButton;
class QStandardItemModel;
class QTableView;
class THistoryChart;
class TLibraryWorker;

// One listing's history: its price over time as a step chart, its first and last sighting, lowest and highest
// price and number of sightings, and every sighting as a row (time, price, fee, comments, keyword, the run's
// outcome). The detail page opens from it. It reads on a library worker of its own, so it never holds up the
// window it was opened from; a read that fails says why in its status line. Esc closes it.
class THistoryWindow : public QWidget
{
    Q_OBJECT

public:
    THistoryWindow(const QString& connectionString, QWidget* parent = nullptr);
    ~THistoryWindow() override;

    // Shows a listing's history in the history window of the owner (made at the first call) and brings it up.
    static THistoryWindow* ShowFor(QWidget* owner, const QString& connectionString,
                                   const THistoryQuery::TTarget& target);
    // The cell menu's entry 价格历史 for a listing; disabled when the row names none (a row not yet stored).
    static QAction* AddMenuEntry(QMenu* menu, QWidget* owner, const QString& connectionString,
                                 const THistoryQuery::TTarget& target);
    // Whether a double-click on a cell of this value asks for the history: a link cell opens its page instead.
    static bool OpensHistory(const QVariant& value);

    // Reads the history of a listing and shows it when it arrives.
    void Load(const THistoryQuery::TTarget& target);
    // Blocks until the worker has run every job posted so far; for tests.
    void WaitForWorker();
    bool IsLoaded() const { return m_loaded; }
    const TListingHistory& History() const { return m_history; }

    QLabel* lblTitle = nullptr;
    QLabel* lblSummary = nullptr;
    THistoryChart* chart = nullptr;
    QTableView* grid = nullptr;
    QPushButton* btnOpenPage = nullptr;
    QLabel* lblStatus = nullptr;

    // The columns of the sightings' grid.
    enum Column { ColTime, ColPrice, ColFee, ColComments, ColKeyword, ColOutcome, ColumnCount };

signals:
    // The history read last is shown, or its failure.
    void Loaded();

private:
    void CreateControls();
    void Take(quint64 generation, const TListingHistory& history, const QString& error);
    void ShowHistory();
    void ShowStatus(const QString& text, bool failure);
    void OpenPage();

    std::unique_ptr<TLibraryWorker> m_worker;
    QStandardItemModel* m_rows = nullptr;
    TListingHistory m_history;
    quint64 m_generation = 0;
    bool m_loaded = false;
};
