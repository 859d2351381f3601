// The main window's controls, their places and the status bar's clock and blinking pane.
#include "app/uMain.h"
#include "ui/TGlyphs.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTimer>

namespace {
const int TopBarHeight = 81;
const int LeftColumnWidth = 185;
const int StatusBarHeight = 19;
const int ProgressPaneWidth = 220;
const int LogoRightOffset = 198; // Image2 keeps its distance to the right edge
const int WatchButtonWidth = 60;
const int WatchPaneWidth = 120;
const int LogoGap = 8; // the least room between the logo and the controls left of it
const int MinimumClientHeight = TopBarHeight + StatusBarHeight + 140;
const QColor NoticeGreen(0, 128, 0);
const QColor NoticeOrange(255, 128, 0); // colour value 33023
const int GreenPhaseMs = 2500;
const int OrangePhaseMs = 1500;

QPushButton* NewButton(QWidget* parent, const char* name, const QString& text, const QIcon& icon, int left, int top)
{
    auto* button = new QPushButton(icon, text, parent);
    button->setObjectName(name);
    button->setIconSize(QSize(16, 16));
    button->setGeometry(left, top, 75, 25);
    button->setAttribute(Qt::WA_Hover);
    return button;
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

void SetTextColour(QWidget* widget, const QColor& colour)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, colour);
    widget->setPalette(pal);
}
} // namespace

void TMainForm::CreateControls()
{
    setWindowIcon(TGlyphs::WindowIcon());
    CreateTopBar();
    CreateLogColumn();
    CreateGrid();
    CreateStatusBar();
    SetTabOrder();
    PlaceControls();
    StartClock();
    StartBlinking();
}

void TMainForm::CreateTopBar()
{
    RzPanel1 = new QWidget(this);
    RzPanel1->setObjectName("RzPanel1");
    RzBitBtn1 = NewButton(RzPanel1, "RzBitBtn1", QStringLiteral("采集"), TGlyphs::CollectGlyph(), 424, 11);
    cbSearch = new QComboBox(RzPanel1);
    cbSearch->setObjectName("cbSearch");
    cbSearch->setEditable(true);
    cbSearch->setInsertPolicy(QComboBox::NoInsert);
    cbSearch->setGeometry(112, 16, 145, 23);
    cbSearch->setEditText(QStringLiteral("办公桌"));
    RzLabel1 = NewLabel(RzPanel1, "RzLabel1", QStringLiteral("采集关键字"));
    RzLabel1->move(24, 16);
    RzBitBtn2 = NewButton(RzPanel1, "RzBitBtn2", QStringLiteral("停止"), TGlyphs::StopGlyph(), 424, 51);
    RzLabel3 = NewLabel(RzPanel1, "RzLabel3", QStringLiteral("页数："));
    RzLabel3->move(24, 56);
    edPageNum = new TNumberEdit(RzPanel1);
    edPageNum->setObjectName("edPageNum");
    edPageNum->setRange(1, 100);
    edPageNum->setSingleStep(1);
    edPageNum->setValue(3);
    edPageNum->setGeometry(72, 56, 73, 23);
    Image2 = NewLabel(RzPanel1, "Image2", QString());
    Image2->setPixmap(TGlyphs::LogoPicture());
    Image2->setAlignment(Qt::AlignCenter);
    btnExport = NewButton(RzPanel1, "btnExport", QStringLiteral("导出"),
                          style()->standardIcon(QStyle::SP_DialogSaveButton), 520, 51);
    // Above 导出, in the bar's free corner, so no other control moves.
    btnLibrary = NewButton(RzPanel1, "btnLibrary", QStringLiteral("数据库"),
                           style()->standardIcon(QStyle::SP_FileDialogDetailedView), 520, 11);
    connect(btnLibrary, &QPushButton::clicked, this, &TMainForm::btnLibraryClick);
    // Beside 数据库, narrow enough that the window's least width still leaves the logo its room.
    btnWatch = NewButton(RzPanel1, "btnWatch", QStringLiteral("监控"), style()->standardIcon(QStyle::SP_BrowserReload),
                         600, 11);
    btnWatch->resize(WatchButtonWidth, btnWatch->height());
    connect(btnWatch, &QPushButton::clicked, this, &TMainForm::btnWatchClick);
    connect(RzBitBtn1, &QPushButton::clicked, this, &TMainForm::RzBitBtn1Click);
    connect(RzBitBtn2, &QPushButton::clicked, this, &TMainForm::RzBitBtn2Click);
    connect(btnExport, &QPushButton::clicked, this, &TMainForm::btnExportClick);
}

void TMainForm::CreateLogColumn()
{
    RzPanel2 = new QWidget(this);
    RzPanel2->setObjectName("RzPanel2");
    RzLabel2 = NewLabel(RzPanel2, "RzLabel2", QStringLiteral("采集日志"));
    RzLabel2->setAlignment(Qt::AlignCenter);
    RzMemo2 = new QPlainTextEdit(RzPanel2);
    RzMemo2->setObjectName("RzMemo2");
    RzMemo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    RzMemo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RzMemo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void TMainForm::CreateStatusBar()
{
    RzStatusBar1 = new QWidget(this);
    RzStatusBar1->setObjectName("RzStatusBar1");
    RzGlyphStatus1 = NewLabel(RzStatusBar1, "RzGlyphStatus1", QString());
    RzClockStatus1 = NewLabel(RzStatusBar1, "RzClockStatus1", QString());
    RzClockStatus1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SetTextColour(RzClockStatus1, NoticeGreen);
    RzStatusPane1
        = NewLabel(RzStatusBar1, "RzStatusPane1", QStringLiteral("输入关键字和页数，按“采集”开始收集商品信息"));
    RzStatusPane1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SetTextColour(RzStatusPane1, NoticeGreen);
    RunProgressPane = NewLabel(RzStatusBar1, "RunProgressPane", QString());
    NextWatchPane = NewLabel(RzStatusBar1, "NextWatchPane", QString());
    NextWatchPane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    NextWatchPane->hide(); // until a watch is enabled
    RunProgressPane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image1 = NewLabel(RzStatusBar1, "Image1", QString());
    Image1->setPixmap(TGlyphs::ProgramIcon());
    Image1->setGeometry(1, -8, 32, 32);
}

void TMainForm::SetTabOrder()
{
    setTabOrder(RzBitBtn1, cbSearch);
    setTabOrder(cbSearch, RzBitBtn2);
    setTabOrder(RzBitBtn2, edPageNum);
    setTabOrder(edPageNum, RzMemo2);
    setTabOrder(RzMemo2, grid);
    setTabOrder(grid, btnExport);
    setTabOrder(btnExport, btnLibrary);
    setTabOrder(btnLibrary, btnWatch);
}

void TMainForm::PlaceControls()
{
    const int w = width();
    const int h = height();
    const int middle = qMax(0, h - TopBarHeight - StatusBarHeight);
    RzPanel1->setGeometry(0, 0, w, TopBarHeight);
    Image2->setGeometry(w - LogoRightOffset, 8, 161, 68);
    RzPanel2->setGeometry(0, TopBarHeight, LeftColumnWidth, middle);
    RzLabel2->setGeometry(0, 0, LeftColumnWidth, 15);
    RzMemo2->setGeometry(0, 15, LeftColumnWidth, qMax(0, middle - 15));
    grid->setGeometry(LeftColumnWidth, TopBarHeight, qMax(0, w - LeftColumnWidth), middle);
    RzStatusBar1->setGeometry(0, h - StatusBarHeight, w, StatusBarHeight);
    RzGlyphStatus1->setGeometry(0, 0, 49, StatusBarHeight);
    RzClockStatus1->setGeometry(49, 0, 173, StatusBarHeight);
    const int watchPane = NextWatchPane->isHidden() ? 0 : WatchPaneWidth;
    RzStatusPane1->setGeometry(222, 0, qMax(0, w - 222 - ProgressPaneWidth - watchPane), StatusBarHeight);
    NextWatchPane->setGeometry(qMax(222, w - ProgressPaneWidth - watchPane), 0, watchPane, StatusBarHeight);
    RunProgressPane->setGeometry(qMax(222, w - ProgressPaneWidth), 0, ProgressPaneWidth, StatusBarHeight);
    Image1->raise();
}

// The logo follows the right edge; every other control of the top bar keeps its place from the left.
QSize TMainForm::MinimumBounds() const
{
    int right = 0;
    for (const QWidget* child : RzPanel1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child != Image2 && !child->isHidden()) {
            right = qMax(right, child->geometry().right() + 1);
        }
    }
    return QSize(right + LogoGap + LogoRightOffset, MinimumClientHeight);
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    TBaseForm::resizeEvent(event);
    PlaceControls();
}

void TMainForm::StartClock()
{
    m_clockTimer = new QTimer(this);
    m_clockTimer->setInterval(1000);
    connect(m_clockTimer, &QTimer::timeout, this, &TMainForm::UpdateClock);
    m_clockTimer->start();
    UpdateClock();
}

void TMainForm::UpdateClock()
{
    RzClockStatus1->setText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

void TMainForm::StartBlinking()
{
    m_blinkTimer = new QTimer(this);
    m_blinkTimer->setSingleShot(true);
    connect(m_blinkTimer, &QTimer::timeout, this, &TMainForm::Blink);
    m_blinkTimer->start(GreenPhaseMs);
}

void TMainForm::Blink()
{
    m_blinkGreen = !m_blinkGreen;
    SetTextColour(RzStatusPane1, m_blinkGreen ? NoticeGreen : NoticeOrange);
    m_blinkTimer->start(m_blinkGreen ? GreenPhaseMs : OrangePhaseMs);
}
