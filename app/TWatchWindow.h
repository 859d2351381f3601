#pragma once

#include "storage/TWatch.h"

#include <QWidget>

#include <vector>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class TConnection;
class TWatchScheduler;

// The watch lists: the watches (keyword, pages, interval, alert rules, on/off) with their last run, a form to add
// one, 立即运行 and 删除, and the alerts the runs raised, newest first, with the listing's link.
class TWatchWindow : public QWidget
{
    Q_OBJECT

public:
    TWatchWindow(TConnection* connection, TWatchScheduler* scheduler, QWidget* parent = nullptr);

    // Reads the watches, their last runs and the alerts again.
    void Refresh();

    QLineEdit* edKeyword = nullptr;
    QSpinBox* spPages = nullptr;
    QDoubleSpinBox* spEvery = nullptr;
    QCheckBox* chkDrop = nullptr;
    QDoubleSpinBox* spDrop = nullptr;
    QCheckBox* chkBelow = nullptr;
    QDoubleSpinBox* spBelow = nullptr;
    QPushButton* btnAdd = nullptr;
    QTableWidget* gridWatches = nullptr;
    QPushButton* btnRunNow = nullptr;
    QPushButton* btnRemove = nullptr;
    QTableWidget* gridAlerts = nullptr;
    QLabel* lblStatus = nullptr;

    enum WatchColumn {
        ColId,
        ColKeyword,
        ColPages,
        ColEvery,
        ColDrop,
        ColBelow,
        ColEnabled,
        ColLastRun,
        ColOutcome,
        ColRows,
        ColChanges,
        WatchColumns
    };

private:
    QWidget* CreateForm();
    QWidget* CreateWatchGrid();
    QWidget* CreateAlertGrid();
    void AddClick();
    void RunNowClick();
    void RemoveClick();
    void EnabledChanged(int row);
    void AlertClicked(int row, int column);
    void ShowWatches();
    void ShowWatch(int row, const TWatch& watch);
    void ShowLastRun(int row, qint64 runId);
    void ShowAlerts();
    qint64 SelectedWatch() const;
    void Say(const QString& text);

    TConnection* m_connection;
    TWatchScheduler* m_scheduler;
    std::vector<TWatch> m_watches;
    bool m_filling = false; // the grid is being filled: its changes are not the user's
};
