#include "storage/uDataModule.h"

#include "page/TListingArray.h"
#include "platform/CodePage.h"
#include "platform/ProgramResources.h"
#include "storage/TDatabaseLock.h"
#include "storage/TDatabaseMessage.h"
#include "storage/TLibrarySchema.h"
#include "storage/TRunSchema.h"
#include "storage/TUpgradeThread.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TRowSetModel.h"
#include "storage/uDBFunc.h"
#include "ui/uPubFunc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <array>

TDM* DM = nullptr;

const char* const TDM::GoodsQuerySql = "select * from goodslist where 1=2";

static void InitSchemaResource()
{
    // The script lives in a static library; its resource registers on first use.
    static const bool registered = [] {
        Q_INIT_RESOURCE(schema);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {
const char* const InitialVersion = "1.0";
const char* const CurrentVersion = "1.0.1";

struct TGoodsFieldDef
{
    const char* name;
    TField::Type type;
    int size;
    const char* label;
};

const std::array<TGoodsFieldDef, 19> GoodsFields = {{
    {"id", TField::Counter, 0, ""},
    {"goodstypeno", TField::Integer, 0, ""},
    {"title", TField::Text, 100, "标题"},
    {"pic_url", TField::Text, 255, "图片"},
    {"detail_url", TField::Text, 255, "详细"},
    {"view_price", TField::Float, 0, "价格"},
    {"view_fee", TField::Float, 0, "运费"},
    {"reserve_price", TField::Float, 0, "原价"},
    {"item_loc", TField::Text, 45, "地点"},
    {"user_id", TField::Text, 20, "淘宝号"},
    {"nick", TField::Text, 45, "旺旺昵称"},
    {"shopLink", TField::Text, 255, "店铺"},
    {"comment_count", TField::Integer, 0, "评价数"},
    {"nid", TField::Text, 20, ""},
    {"pid", TField::Text, 20, ""},
    {"keyname", TField::Text, 100, ""},
    {"collect_time", TField::Text, 32, "采集时间"},
    {"run_id", TField::Integer, 0, ""},
    {"item_key", TField::Text, 0, ""},
}};

std::vector<TField> GoodsFieldList()
{
    std::vector<TField> fields;
    for (const TGoodsFieldDef& def : GoodsFields) {
        TField field;
        field.Name = QString::fromLatin1(def.name);
        field.DataType = def.type;
        field.Size = def.size;
        field.ReadOnly = def.type == TField::Counter;
        field.DisplayLabel = QString::fromUtf8(def.label);
        field.DisplayWidth = 20;
        // The collection time, the run and the item key are written where the file has their columns and shown
        // by no grid of the goods query.
        if (field.Name == QLatin1String(TLibrarySchema::CollectTimeColumn)
            || field.Name == QLatin1String(TRunSchema::RunIdColumn)
            || field.Name == QLatin1String(TRunSchema::ItemKeyColumn)) {
            field.Optional = true;
            field.Visible = false;
        }
        fields.push_back(field);
    }
    return fields;
}

// Field indices of the columns that the store operations set.
struct TGoodsColumns
{
    int keyname = -1;
    int title = -1;
    int pic_url = -1;
    int detail_url = -1;
    int view_price = -1;
    int view_fee = -1;
    int reserve_price = -1;
    int item_loc = -1;
    int nick = -1;
    int shopLink = -1;
    int user_id = -1;
    int comment_count = -1;
    int nid = -1;
    int collect_time = -1; // -1 in a file without the column
    int run_id = -1; // the same
    int item_key = -1; // the same

    bool Find(const TRowSet& rows, QString* error)
    {
        nid = rows.FieldIndex(QStringLiteral("nid"));
        collect_time = rows.FieldIndex(QLatin1String(TLibrarySchema::CollectTimeColumn));
        run_id = rows.FieldIndex(QLatin1String(TRunSchema::RunIdColumn));
        item_key = rows.FieldIndex(QLatin1String(TRunSchema::ItemKeyColumn));
        const std::array<std::pair<int*, const char*>, 12> wanted = {{{&keyname, "keyname"},
                                                                      {&title, "title"},
                                                                      {&pic_url, "pic_url"},
                                                                      {&detail_url, "detail_url"},
                                                                      {&view_price, "view_price"},
                                                                      {&view_fee, "view_fee"},
                                                                      {&reserve_price, "reserve_price"},
                                                                      {&item_loc, "item_loc"},
                                                                      {&nick, "nick"},
                                                                      {&shopLink, "shopLink"},
                                                                      {&user_id, "user_id"},
                                                                      {&comment_count, "comment_count"}}};
        for (const auto& [index, name] : wanted) {
            *index = rows.FieldIndex(QString::fromLatin1(name));
            if (*index < 0) {
                *error = QStringLiteral("%1: field not found").arg(QString::fromLatin1(name));
                return false;
            }
        }
        return true;
    }
};

// Suspends the display links for the life of the guard, on every path out.
class TControlsSuspended
{
public:
    explicit TControlsSuspended(TRowSet* rows)
        : m_rows(rows)
    {
        m_rows->DisableControls();
    }
    ~TControlsSuspended() { m_rows->EnableControls(); }
    TControlsSuspended(const TControlsSuspended&) = delete;
    TControlsSuspended& operator=(const TControlsSuspended&) = delete;

private:
    TRowSet* m_rows;
};

// Sets the columns that come from the listing; the item number only where the page gives one.
void MapListing(TRowSet& rows, const TGoodsColumns& c, const QString& keyword, const TGoodsListing& listing)
{
    rows.SetValue(c.keyname, keyword);
    rows.SetValue(c.title, listing.Title);
    rows.SetValue(c.pic_url, listing.PicUrl);
    rows.SetValue(c.detail_url, listing.DetailUrl);
    rows.SetValue(c.view_price, listing.ViewPrice);
    rows.SetValue(c.view_fee, listing.ViewFee);
    rows.SetValue(c.reserve_price, listing.ReservePrice);
    rows.SetValue(c.item_loc, listing.ItemLoc);
    rows.SetValue(c.nick, listing.Nick);
    rows.SetValue(c.shopLink, listing.ShopLink);
    rows.SetValue(c.user_id, listing.UserId);
    rows.SetValue(c.comment_count, static_cast<qlonglong>(listing.CommentCount));
    if (!listing.Nid.isEmpty()) {
        rows.SetValue(c.nid, listing.Nid);
    }
}

// The progress of one of the upgrade steps as its share of one bar of four quarters: `first` quarters are
// done before it, and it takes `quarters` of them.
TLibrarySchema::Progress ShareOf(const TLibrarySchema::Progress& progress, qint64 first, qint64 quarters)
{
    if (!progress) {
        return {};
    }
    constexpr qint64 Quarter = 1000000;
    return [progress, first, quarters](qint64 done, qint64 total) {
        progress(first * Quarter + (total > 0 ? done * quarters * Quarter / total : 0), 4 * Quarter);
    };
}

// Drops blanks and control characters at both ends.
QString TrimControls(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= ' ') {
        ++first;
    }
    while (last > first && text.at(last - 1).unicode() <= ' ') {
        --last;
    }
    return text.mid(first, last - first);
}

// Lines split at CR LF, a lone CR or a lone LF.
QStringList SplitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.append(text.mid(start));
    }
    return lines;
}
} // namespace

TDM::TDM()
    : m_conn(std::make_unique<TConnection>())
    , m_qrGoodsList(std::make_unique<TRowSet>())
{
    m_qrGoodsList->SetConnection(m_conn.get());
    m_qrGoodsList->DefineFields(GoodsFieldList());
    m_dsGoodsList = std::make_unique<TRowSetModel>(m_qrGoodsList.get());
}

TDM::~TDM()
{
    CloseDatabase();
}

QAbstractItemModel* TDM::dsGoodsList() const
{
    return m_dsGoodsList.get();
}

bool TDM::OpenDatabase(const QString& path, QString* error)
{
    FDBFunc = std::make_unique<TDBFunc>();
    FDBFunc->BindConnection(&m_conn);
    m_path = path;
    if (!CheckDataFolder(path, error)) {
        return false;
    }
    // Another program may be making the file right now: the file is looked at, made and completed under the lock
    // that every program takes, so this one waits for the other and then finds the file made.
    TDatabaseLock lock(path);
    if (!lock.Acquire(error)) {
        return false;
    }
    const QFileInfo file(path);
    // An empty file is what a crash right after creating one leaves: it holds nothing, so it is made anew.
    const bool existing = file.exists() && !(file.isFile() && file.size() == 0 && QFile::remove(path));
    if (!existing) {
        FDBFunc->CreateDatabase(path);
    }
    if (!FDBFunc->OpenConnection(path, QString::fromLatin1(InitialVersion), error)) {
        *error = TDatabaseMessage::Text(*error, path);
        return false;
    }
    if (existing) {
        CompleteSchema();
        UpgradeSchema();
    } else {
        CreateSchema();
    }
    return true;
}

// The folder must exist as a folder; otherwise the file's own error would only say that it was not found.
bool TDM::CheckDataFolder(const QString& path, QString* error)
{
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (folder.isDir()) {
        return true;
    }
    const QString name = QDir::toNativeSeparators(folder.absoluteFilePath());
    if (folder.exists() || folder.isSymLink()) {
        *error = QStringLiteral("数据文件夹 %1 不是文件夹：那里有一个同名的文件。请移走或改名这个文件，再启动程序。")
                     .arg(name);
    } else {
        *error = QStringLiteral("数据文件夹 %1 不存在，也无法创建。").arg(name);
    }
    return false;
}

// A file that lacks tables of the schema (a start that ended before the schema was complete) gets them, so that
// no later start finds it unusable. Tables that exist are left as they are.
void TDM::CompleteSchema()
{
    static const QRegularExpression createTable(QStringLiteral("^\\s*create\\s+table\\s+`?(\\w+)`?"),
                                                QRegularExpression::CaseInsensitiveOption);
    for (const QString& statement : LoadSqlScript(QStringLiteral("data"), QStringLiteral("sql"))) {
        const QString sql = TrimControls(statement);
        const QRegularExpressionMatch match = createTable.match(sql);
        if (match.hasMatch()) {
            FDBFunc->CreateTableIfAbsent(match.captured(1), sql);
        }
    }
}

void TDM::PrepareDatabase(const QString& path)
{
    m_conn->Prefetch(TDBFunc::ConnectionString(path, TDBFunc::Password()));
}

bool TDM::OpenGoodsQuery(QString* error)
{
    if (FDBFunc == nullptr) {
        *error = TDatabaseMessage::Text(TConnection::NotOpenMessage(), m_path);
        return false;
    }
    if (!FDBFunc->OpenQuery(m_qrGoodsList.get(), QString::fromLatin1(GoodsQuerySql), error)) {
        *error = TDatabaseMessage::Text(*error, m_path);
        return false;
    }
    return true;
}

void TDM::CloseDatabase()
{
    if (FDBFunc != nullptr) {
        FDBFunc->CloseConnection();
    }
    m_conn->Close();
    FDBFunc.reset();
}

QStringList TDM::LoadSqlScript(const QString& name, const QString& type)
{
    InitSchemaResource();
    QByteArray bytes;
    if (!ProgramResources::Find(name, type, &bytes)) {
        return {};
    }
    return SplitSqlScript(CodePage::ToUnicode(bytes));
}

QStringList TDM::SplitSqlScript(const QString& script)
{
    QStringList statements;
    QString current;
    for (const QString& line : SplitLines(script)) {
        current += line;
        if (line.contains(QLatin1Char(';'))) {
            statements.append(current);
            current.clear();
        }
    }
    return statements;
}

void TDM::CreateSchema()
{
    const QStringList statements = LoadSqlScript(QStringLiteral("data"), QStringLiteral("sql"));
    for (const QString& statement : statements) {
        const QString sql = TrimControls(statement);
        if (!sql.isEmpty()) {
            FDBFunc->ExecuteSql(sql);
        }
    }
    FDBFunc->WriteVersion(QString::fromLatin1(CurrentVersion));
    UpgradeLibrary(true);
}

void TDM::UpgradeSchema()
{
    if (FDBFunc->VersionBelow(QString::fromLatin1(CurrentVersion)) && FDBFunc->Version() == QLatin1String("1.0")) {
        // Files upgraded from 1.0 have always gained these placeholder changes; every 1.0.1 file holds them.
        FDBFunc->CreateTableIfAbsent(QStringLiteral("bb"), QStringLiteral("create table bb(bb int)"));
        FDBFunc->AddFieldIfAbsent(QStringLiteral("aa"), QStringLiteral("bb"),
                                  QStringLiteral("alter table aa add bb int"));
        FDBFunc->DropFieldIfPresent(QStringLiteral("aa"), QStringLiteral("aa"),
                                    QStringLiteral("alter table aa drop aa"));
        FDBFunc->WriteVersion(QString::fromLatin1(CurrentVersion));
    }
    const QString version = FDBFunc->Version();
    const bool beforeIndex = version == QLatin1String(CurrentVersion);
    const bool beforeRuns = version == QLatin1String(TLibrarySchema::Version);
    const bool current = version == QLatin1String(TRunSchema::Version);
    // A file of a newer version is used as it is. A goods table made anew after a step lacks what the step added,
    // and the rows a program of an earlier version stored lack their item keys: the steps run again for them.
    const bool searchIndex = beforeIndex || ((beforeRuns || current) && !TLibrarySchema::IsInPlace(m_conn.get()));
    if (searchIndex || beforeRuns || (current && !TRunSchema::IsInPlace(m_conn.get()))) {
        UpgradeLibrary(searchIndex);
    }
}

// The collection time and the search index (where `searchIndex` is set), then the run records and item keys.
// Each step is a transaction of its own; a failed one leaves the file at the version of the last step done and
// shows the provider's message, and the next start tries again.
void TDM::UpgradeLibrary(bool searchIndex)
{
    if (!TLibrarySchema::HasTable(m_conn.get(), QStringLiteral("goodslist"))) {
        return;
    }
    QString error;
    // With progress to show, a window waits: the upgrade runs on its own thread, so the window stays painted.
    TConnection* connection = m_conn.get();
    const char* reached = nullptr; // the version of the last step done
    const auto upgrade
        = [connection, searchIndex, &reached](const TLibrarySchema::Progress& progress, QString* failure) {
              // One bar for both steps: the search index weighs three quarters of it.
              if (searchIndex && !TLibrarySchema::Upgrade(connection, ShareOf(progress, 0, 3), failure)) {
                  return false;
              }
              reached = searchIndex ? TLibrarySchema::Version : nullptr;
              if (!TRunSchema::Upgrade(connection, searchIndex ? ShareOf(progress, 3, 1) : progress, failure)) {
                  return false;
              }
              reached = TRunSchema::Version;
              return true;
          };
    const bool ok = m_upgradeProgress ? TUpgradeThread::Run(upgrade, m_upgradeProgress, &error) : upgrade({}, &error);
    if (reached != nullptr) {
        FDBFunc->WriteVersion(QString::fromLatin1(reached));
    }
    if (!ok && PubFunc != nullptr) {
        PubFunc->ShowNotice(TDatabaseMessage::Text(error, m_path));
    }
    FDBFunc->RefreshTableList(&error);
}

bool TDM::SaveList(const QString& keyword, const TListingArray& listings,
                   TGoodsListing (TListingArray::*read)(int) const, QString* error)
{
    TRowSet& rows = *m_qrGoodsList;
    TGoodsColumns columns;
    if (!rows.IsOpen()) {
        *error = TConnection::NotOpenMessage();
        return false;
    }
    if (!listings.IsArray()) {
        *error = QStringLiteral("The listings are not an array.");
        return false;
    }
    if (!columns.Find(rows, error)) {
        return false;
    }
    TControlsSuspended suspended(&rows);
    const int count = listings.Size();
    rows.Reserve(count);
    const QString collected = columns.collect_time >= 0 ? TLibrarySchema::CollectTimeNow() : QString();
    const QVariant runId = m_runId > 0 ? QVariant(m_runId) : QVariant();
    for (int i = 0; i < count; ++i) {
        const TGoodsListing listing = (listings.*read)(i);
        if (!rows.Append(error)) {
            return false;
        }
        MapListing(rows, columns, keyword, listing);
        rows.SetValue(columns.collect_time, collected);
        rows.SetValue(columns.run_id, runId);
        // A key of the row's own id is filled in by the database when the row is written.
        const QString key = TRunSchema::KeyBeforeInsert(listing.Nid, listing.DetailUrl, listing.ShopLink);
        rows.SetValue(columns.item_key, key.isEmpty() ? QVariant() : QVariant(key));
        rows.Post();
    }
    return true;
}

bool TDM::SaveAuctionList(const QString& keyword, const TListingArray& listings, QString* error)
{
    return SaveList(keyword, listings, &TListingArray::Auction, error);
}

bool TDM::SaveItemList(const QString& keyword, const TListingArray& listings, QString* error)
{
    return SaveList(keyword, listings, &TListingArray::Item, error);
}

bool TDM::ApplyGoodsRows(QString* error)
{
    return m_qrGoodsList->ApplyUpdates(error);
}

bool TDM::WriteGoodsRows(std::vector<qint64>* ids, QString* error)
{
    return m_qrGoodsList->WritePending(ids, error);
}

void TDM::TakeGoodsIds(const std::vector<qint64>& ids)
{
    m_qrGoodsList->TakeIds(ids);
}
