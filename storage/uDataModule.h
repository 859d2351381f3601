#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QAbstractItemModel;
class TConnection;
class TDBFunc;
class TListingArray;
struct TGoodsListing;
class TRowSet;
class TRowSetModel;

// The data module: the database connection, the goods query and the table model the grid shows.
// It creates the database file with its schema, upgrades older files, and stores the listings of
// search result pages as rows of the goods query and of the table goodslist.
class TDM
{
public:
    TDM();
    ~TDM();

    // Opens the database file, creating and upgrading it as needed. False with a message for the user when the
    // file cannot be opened (wrong password, damaged file, no database): what happened, the file's path, what to
    // do, and the provider's message as a detail (TDatabaseMessage). The file is made, completed and upgraded
    // under TDatabaseLock: while another program does that, this one waits for it.
    bool OpenDatabase(const QString& path, QString* error);
    // Starts opening an existing database file in the background, so that deriving its key overlaps the
    // creation of the window; OpenDatabase of the same file takes that connection. Does nothing for a
    // file that does not exist, and reports nothing: OpenDatabase reports what fails.
    void PrepareDatabase(const QString& path);
    // Reopens the goods query empty, dropping every row it held. False with a message for the user.
    bool OpenGoodsQuery(QString* error);
    void CloseDatabase();

    // The statements of the script resource: lines joined until a line that holds a ";".
    static QStringList LoadSqlScript(const QString& name, const QString& type);
    // The splitting rule of LoadSqlScript: lines (ended by CR LF, CR or LF) are joined without their ends until
    // a line that holds a ";" closes a statement; lines after the last such line are dropped.
    static QStringList SplitSqlScript(const QString& script);
    void CreateSchema();
    void UpgradeSchema();
    // Called with the steps done and in all while an upgrade of OpenDatabase builds the search index. While it
    // is set, the upgrade runs on a thread of its own and OpenDatabase runs this thread's event loop meanwhile
    // (user input waits), calling it on this thread; the connection must be left alone until OpenDatabase returns.
    void SetUpgradeProgress(std::function<void(qint64 done, qint64 total)> progress)
    {
        m_upgradeProgress = std::move(progress);
    }
    // Creates the tables of the schema script that the open file lacks.
    void CompleteSchema();

    // Append one row per listing of the array, in order, tagged with the keyword: SaveAuctionList for
    // the page-config framing, SaveItemList for the body framing. False with a message when the goods
    // query is not open or the listings are no array; the rows posted before stay.
    bool SaveAuctionList(const QString& keyword, const TListingArray& listings, QString* error);
    bool SaveItemList(const QString& keyword, const TListingArray& listings, QString* error);
    // The run whose rows SaveAuctionList and SaveItemList post from now on (goodslist.run_id); 0: none.
    void SetRunId(qint64 id) { m_runId = id; }
    qint64 RunId() const { return m_runId; }
    // Writes the rows not yet in the file in one transaction; on failure nothing is written and the
    // rows stay pending.
    bool ApplyGoodsRows(QString* error);
    // ApplyGoodsRows in its two steps (TRowSet::WritePending and TakeIds), for a caller that writes on
    // another thread while its own goes on.
    bool WriteGoodsRows(std::vector<qint64>* ids, QString* error);
    void TakeGoodsIds(const std::vector<qint64>& ids);

    TConnection* conn() const { return m_conn.get(); }
    TRowSet* qrGoodsList() const { return m_qrGoodsList.get(); }
    // The model the grid binds to: the goods query's visible fields as columns.
    QAbstractItemModel* dsGoodsList() const;
    // The database layer, from OpenDatabase to CloseDatabase; null otherwise.
    TDBFunc* DBFunc() const { return FDBFunc.get(); }

    static const char* const GoodsQuerySql;

private:
    void UpgradeLibrary(bool searchIndex);
    static bool CheckDataFolder(const QString& path, QString* error);
    bool SaveList(const QString& keyword, const TListingArray& listings,
                  TGoodsListing (TListingArray::*read)(int) const, QString* error);

    std::unique_ptr<TConnection> m_conn;
    std::unique_ptr<TRowSet> m_qrGoodsList;
    std::unique_ptr<TRowSetModel> m_dsGoodsList;
    std::unique_ptr<TDBFunc> FDBFunc;
    QString m_path; // the file of the last OpenDatabase, named in messages
    std::function<void(qint64, qint64)> m_upgradeProgress;
    qint64 m_runId = 0;
};

extern TDM* DM;
