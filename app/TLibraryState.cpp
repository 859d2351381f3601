#include "app/TLibraryState.h"

#include <QFile>
#include <QSettings>

namespace {
QSettings Settings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("mercatix"), QStringLiteral("library"));
}
} // namespace

QString TLibraryState::Path()
{
    return Settings().fileName();
}

TLibraryState TLibraryState::Load()
{
    const QSettings file = Settings();
    TLibraryState state;
    state.Search = file.value("filter/search").toString();
    state.ByKeyword = file.value("filter/byKeyword", false).toBool();
    state.Keyword = file.value("filter/keyword").toString();
    state.MinPrice = file.value("filter/minPrice").toString();
    state.MaxPrice = file.value("filter/maxPrice").toString();
    state.Location = file.value("filter/location").toString();
    state.ByDate = file.value("filter/byDate", false).toBool();
    state.From = QDate::fromString(file.value("filter/from").toString(), Qt::ISODate);
    state.To = QDate::fromString(file.value("filter/to").toString(), Qt::ISODate);
    state.BySeller = file.value("filter/bySeller", false).toBool();
    state.SellerId = file.value("filter/sellerId").toString();
    state.SellerNick = file.value("filter/sellerNick").toString();
    state.Merged = file.value("view/merged", false).toBool();
    state.Sellers = file.value("view/sellers", false).toBool();
    if (file.contains("view/sortColumn")) {
        state.Sort = {file.value("view/sortColumn").toString(), file.value("view/sortDescending", false).toBool()};
    }
    state.Size = file.value("window/size").toSize();
    return state;
}

bool TLibraryState::Save() const
{
    QSettings file = Settings();
    file.setValue("filter/search", Search);
    file.setValue("filter/byKeyword", ByKeyword);
    file.setValue("filter/keyword", Keyword);
    file.setValue("filter/minPrice", MinPrice);
    file.setValue("filter/maxPrice", MaxPrice);
    file.setValue("filter/location", Location);
    file.setValue("filter/byDate", ByDate);
    file.setValue("filter/from", From.toString(Qt::ISODate));
    file.setValue("filter/to", To.toString(Qt::ISODate));
    file.setValue("filter/bySeller", BySeller);
    file.setValue("filter/sellerId", SellerId);
    file.setValue("filter/sellerNick", SellerNick);
    file.setValue("view/merged", Merged);
    file.setValue("view/sellers", Sellers);
    file.setValue("view/sortColumn", Sort.Column);
    file.setValue("view/sortDescending", Sort.Descending);
    file.setValue("window/size", Size);
    file.sync();
    // Search texts and sellers are the user's own business, like the database beside the settings file.
    QFile::setPermissions(file.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    return file.status() == QSettings::NoError;
}
