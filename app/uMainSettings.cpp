// The settings file: window bounds, page count, keyword history and the grid's column layout.
#include "app/TWindowBounds.h"
#include "app/uMain.h"
#include "platform/CodePage.h"
#include "platform/TFileMessage.h"
#include "platform/TProfileFile.h"
#include "storage/uConst.h"
#include "ui/TApplication.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTableView>

namespace {
const QString HistorySeparator = QStringLiteral("#13");
const QString DefaultKeyword = QStringLiteral("办公桌");
const QString CsvFormat = QStringLiteral("csv");
const QString XlsxFormat = QStringLiteral("xlsx");

QString ColumnKey(const QString& field)
{
    return QStringLiteral("%1.%2").arg(QStringLiteral("grid"), field);
}

// "#13" stands for a line break; a break at the very end gives no empty item.
QStringList DecodeHistory(const QString& value)
{
    QString text = value;
    text.replace(HistorySeparator, QStringLiteral("\n"));
    QStringList items = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (!items.isEmpty() && items.last().isEmpty()) {
        items.removeLast();
    }
    return items;
}

// The newest entries that one read of the settings file gives back whole; older ones are dropped, never cut.
QString EncodeHistory(const QStringList& items)
{
    QString value;
    qsizetype bytes = 0;
    for (const QString& item : items) {
        const QString entry = item + HistorySeparator;
        bytes += CodePage::FromUnicode(entry).size();
        if (bytes > TProfileFile::MaxValueBytes) {
            break;
        }
        value += entry;
    }
    return value;
}

// Reads an integer field of a comma-separated value; the fallback when it is missing or does not parse.
int FieldOf(const QStringList& fields, int index, int fallback)
{
    bool ok = false;
    const int value = index < fields.size() ? fields[index].trimmed().toInt(&ok) : 0;
    return ok ? value : fallback;
}
} // namespace

void TMainForm::LoadSettings()
{
    const TProfileFile ini(IniPath);
    TWindowBounds::TBounds bounds;
    bounds.Left = ini.ReadInteger("Wnd", "Left", x());
    bounds.Top = ini.ReadInteger("Wnd", "Top", y());
    bounds.Width = ini.ReadInteger("Wnd", "Width", width());
    bounds.Height = ini.ReadInteger("Wnd", "Height", height());
    PlaceWindow(bounds);
    edPageNum->setValue(ini.ReadInteger("Param", "PageNum", 3));
    cbSearch->clear();
    cbSearch->addItems(DecodeHistory(ini.ReadString("Param", "search", DefaultKeyword)));
    cbSearch->setCurrentIndex(0);
    LoadGridLayout(ini);
    LoadExportChoice(ini);
    m_settingsLoaded = true;
}

// Stored bounds may be hostile or belong to another screen: the window opens within reach, at a size where
// no control of the top bar covers another.
void TMainForm::PlaceWindow(const TWindowBounds::TBounds& bounds)
{
    const QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                         frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
    const TWindowBounds::TPlacement placement = TWindowBounds::Fit(bounds, frame, MinimumBounds());
    move(placement.Pos);
    resize(placement.Size);
}

void TMainForm::LoadGridLayout(const TProfileFile& ini)
{
    QHeaderView* header = grid->horizontalHeader();
    const int count = header->count();
    QList<int> columns; // logical indexes in their order before the layout is restored
    QList<int> positions;
    for (int visual = 0; visual < count; ++visual) {
        const int logical = header->logicalIndex(visual);
        const QStringList fields = ini.ReadString("grid", ColumnKey(ColumnField(logical)), QString()).split(',');
        columns.append(logical);
        positions.append(FieldOf(fields, 0, visual));
        header->resizeSection(logical, FieldOf(fields, 1, header->sectionSize(logical)));
    }
    for (int p = 0; p < count; ++p) {
        const qsizetype first = positions.indexOf(p);
        if (first >= 0) {
            header->moveSection(header->visualIndex(columns[first]), p);
        }
    }
}

// The whole file is written once: a failed write keeps the old file.
void TMainForm::SaveSettings()
{
    TProfileFile ini(IniPath);
    ini.BeginUpdate();
    ini.WriteInteger("Wnd", "Left", x());
    ini.WriteInteger("Wnd", "Top", y());
    ini.WriteInteger("Wnd", "Width", width());
    ini.WriteInteger("Wnd", "Height", height());
    ini.WriteInteger("Param", "PageNum", edPageNum->ReadValue());
    SaveHistory(ini);
    SaveGridLayout(ini);
    SaveExportChoice(ini);
    if (!ini.EndUpdate()) {
        TApplication::HandleError(QStringLiteral("这次的设置没有保存，设置文件保持原样。\n")
                                  + TFileMessage::NotWritten(IniPath, ini.LastErrno()));
    }
}

bool TMainForm::SaveHistory(TProfileFile& ini)
{
    const QString current = cbSearch->currentText();
    if (cbSearch->findText(current, Qt::MatchFixedString) < 0) {
        cbSearch->insertItem(0, current);
        cbSearch->setCurrentIndex(0);
    }
    QStringList items;
    for (int i = 0; i < cbSearch->count(); ++i) {
        items.append(cbSearch->itemText(i));
    }
    return ini.WriteString("Param", "search", EncodeHistory(items));
}

bool TMainForm::SaveGridLayout(TProfileFile& ini)
{
    if (!ini.EraseSection("grid")) {
        return false;
    }
    const QHeaderView* header = grid->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        // The fields after position and width are fixed; settings files written by earlier versions carry them.
        const QString value = QStringLiteral("%1,%2,0,1,0,7,0,0,1").arg(visual).arg(header->sectionSize(logical));
        if (!ini.WriteString("grid", ColumnKey(ColumnField(logical)), value)) {
            return false;
        }
    }
    const int rowHeight = grid->verticalHeader()->defaultSectionSize();
    return ini.WriteString("grid", QStringLiteral("(Default)"), QStringLiteral("%1,1").arg(rowHeight));
}

// The folder and the format of the last export; a folder that is gone leaves the choice to the dialog.
void TMainForm::LoadExportChoice(const TProfileFile& ini)
{
    const QString folder = ini.ReadString("Export", "Folder", QString());
    m_exportChoice.Folder = !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
    const QString format = ini.ReadString("Export", "Format", XlsxFormat).trimmed();
    m_exportChoice.Format
        = format.compare(CsvFormat, Qt::CaseInsensitive) == 0 ? TExportRequest::Csv : TExportRequest::Xlsx;
}

void TMainForm::SaveExportChoice(TProfileFile& ini)
{
    ini.WriteString("Export", "Format", m_exportChoice.Format == TExportRequest::Csv ? CsvFormat : XlsxFormat);
    if (!m_exportChoice.Folder.isEmpty()) {
        ini.WriteString("Export", "Folder", m_exportChoice.Folder);
    }
}
