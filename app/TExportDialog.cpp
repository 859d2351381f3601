#include "app/TExportDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {
TExportDialog::Hook& TestHook()
{
    static TExportDialog::Hook hook;
    return hook;
}

const QString XlsxSuffix = QStringLiteral(".xlsx");
const QString CsvSuffix = QStringLiteral(".csv");

QRadioButton* NewRadio(QWidget* parent, const char* name, const QString& text)
{
    auto* radio = new QRadioButton(text, parent);
    radio->setObjectName(name);
    return radio;
}
} // namespace

TExportDialog::TExportDialog(const QStringList& keywords, int gridRows, QWidget* parent)
    : TBaseForm(parent, Qt::Dialog)
{
    setObjectName("ExportDialog");
    setWindowTitle(QStringLiteral("导出"));
    CreateControls(keywords, gridRows);
    UpdateControls();
    adjustSize();
}

void TExportDialog::keyPressEvent(QKeyEvent* event)
{
    const bool plain = event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (plain && event->key() == Qt::Key_Escape) {
        Done(ModalCancel);
        return;
    }
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        if (btnOk->isEnabled()) {
            Done(ModalOk);
        }
        return;
    }
    TBaseForm::keyPressEvent(event);
}

void TExportDialog::CreateControls(const QStringList& keywords, int gridRows)
{
    auto* rows = new QGroupBox(QStringLiteral("导出内容"), this);
    rbGridRows = NewRadio(rows, "rbGridRows", QStringLiteral("表格中当前的行（%1 行）").arg(gridRows));
    rbTableRows = NewRadio(rows, "rbTableRows", QStringLiteral("数据库中的全部行"));
    chkKeyword = new QCheckBox(QStringLiteral("只导出关键字："), rows);
    chkKeyword->setObjectName("chkKeyword");
    cbKeyword = new QComboBox(rows);
    cbKeyword->setObjectName("cbKeyword");
    cbKeyword->addItems(keywords);
    rbGridRows->setChecked(true);
    auto* rowsLayout = new QGridLayout(rows);
    rowsLayout->addWidget(rbGridRows, 0, 0, 1, 2);
    rowsLayout->addWidget(rbTableRows, 1, 0, 1, 2);
    rowsLayout->addWidget(chkKeyword, 2, 0);
    rowsLayout->addWidget(cbKeyword, 2, 1);
    rowsLayout->setColumnMinimumWidth(0, 24);

    auto* format = new QGroupBox(QStringLiteral("格式"), this);
    rbXlsx = NewRadio(format, "rbXlsx", QStringLiteral("Excel 工作簿 (*.xlsx)"));
    rbCsv = NewRadio(format, "rbCsv", QStringLiteral("CSV，UTF-8 (*.csv)"));
    rbXlsx->setChecked(true);
    auto* formatLayout = new QVBoxLayout(format);
    formatLayout->addWidget(rbXlsx);
    formatLayout->addWidget(rbCsv);

    auto* fileLabel = new QLabel(QStringLiteral("文件："), this);
    edPath = new QLineEdit(this);
    edPath->setObjectName("edPath");
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    edPath->setText(QDir::toNativeSeparators(documents + QStringLiteral("/商品列表") + XlsxSuffix));
    edPath->setMinimumWidth(320);
    btnBrowse = new QPushButton(QStringLiteral("浏览…"), this);
    btnBrowse->setObjectName("btnBrowse");
    auto* fileLayout = new QHBoxLayout;
    fileLayout->addWidget(fileLabel);
    fileLayout->addWidget(edPath, 1);
    fileLayout->addWidget(btnBrowse);

    auto* buttons = new QDialogButtonBox(this);
    btnOk = buttons->addButton(QStringLiteral("导出"), QDialogButtonBox::AcceptRole);
    btnOk->setObjectName("btnOk");
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole)->setObjectName("btnCancel");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rows);
    layout->addWidget(format);
    layout->addLayout(fileLayout);
    layout->addWidget(buttons);

    connect(rbTableRows, &QRadioButton::toggled, this, &TExportDialog::UpdateControls);
    connect(chkKeyword, &QCheckBox::toggled, this, &TExportDialog::UpdateControls);
    connect(edPath, &QLineEdit::textChanged, this, &TExportDialog::UpdateControls);
    connect(rbCsv, &QRadioButton::toggled, this, &TExportDialog::FormatChanged);
    connect(btnBrowse, &QPushButton::clicked, this, &TExportDialog::Browse);
    connect(buttons, &QDialogButtonBox::accepted, this, [this]() { Done(ModalOk); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this]() { Done(ModalCancel); });
}

// The keyword filter belongs to the table's rows, and needs a keyword to choose.
void TExportDialog::UpdateControls()
{
    const bool table = rbTableRows->isChecked();
    chkKeyword->setEnabled(table && cbKeyword->count() > 0);
    cbKeyword->setEnabled(FilterKeyword());
    btnOk->setEnabled(!Path().isEmpty());
}

QString TExportDialog::ProposedName(const QString& keyword, TExportRequest::Format format, const QDateTime& now)
{
    QString name = keyword.trimmed();
    // A file name holds no separator and no control character.
    for (QChar& c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = QLatin1Char('_');
        }
    }
    if (name.isEmpty() || name.startsWith(QLatin1Char('.'))) {
        name.prepend(QStringLiteral("商品列表"));
    }
    name += QLatin1Char('_') + now.toString(QStringLiteral("yyyyMMdd-HHmm"));
    return WithSuffix(name, format);
}

void TExportDialog::Propose(const QString& folder, const QString& keyword, TExportRequest::Format format,
                            const QDateTime& now)
{
    (format == TExportRequest::Csv ? rbCsv : rbXlsx)->setChecked(true);
    const QString base
        = folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) : folder;
    edPath->setText(QDir::toNativeSeparators(QDir(base).filePath(ProposedName(keyword, format, now))));
    for (const QString& text : {keyword, keyword.trimmed()}) {
        if (const int at = cbKeyword->findText(text); at >= 0) {
            cbKeyword->setCurrentIndex(at);
            break;
        }
    }
}

void TExportDialog::FormatChanged()
{
    edPath->setText(QDir::toNativeSeparators(WithSuffix(Path(), Format())));
}

// The file dialog does not ask about an existing file: the export asks once, whether the file was chosen here
// or typed.
void TExportDialog::Browse()
{
    const QString filter = Format() == TExportRequest::Csv ? rbCsv->text() : rbXlsx->text();
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("导出到"), Path(), filter, nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty()) {
        edPath->setText(QDir::toNativeSeparators(WithSuffix(path, Format())));
    }
}

QString TExportDialog::WithSuffix(const QString& path, TExportRequest::Format format)
{
    const QString wanted = format == TExportRequest::Csv ? CsvSuffix : XlsxSuffix;
    const QString other = format == TExportRequest::Csv ? XlsxSuffix : CsvSuffix;
    if (path.isEmpty() || path.endsWith(wanted, Qt::CaseInsensitive)) {
        return path;
    }
    if (path.endsWith(other, Qt::CaseInsensitive)) {
        return path.left(path.size() - other.size()) + wanted;
    }
    return path + wanted;
}

TExportRequest::Source TExportDialog::Source() const
{
    return rbTableRows->isChecked() ? TExportRequest::TableRows : TExportRequest::GivenRows;
}

TExportRequest::Format TExportDialog::Format() const
{
    return rbCsv->isChecked() ? TExportRequest::Csv : TExportRequest::Xlsx;
}

bool TExportDialog::FilterKeyword() const
{
    return Source() == TExportRequest::TableRows && chkKeyword->isChecked() && cbKeyword->count() > 0;
}

QString TExportDialog::Keyword() const
{
    return cbKeyword->currentText();
}

QString TExportDialog::Path() const
{
    return QDir::fromNativeSeparators(edPath->text().trimmed());
}

bool TExportDialog::Run()
{
    if (TestHook()) {
        return TestHook()(*this) && !Path().isEmpty();
    }
    PlaceOverParent();
    return ShowModal() == ModalOk && !Path().isEmpty();
}

void TExportDialog::SetTestHook(Hook hook)
{
    TestHook() = std::move(hook);
}
