#include "ui/TFindDialog.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TFindDialog::TFindDialog(QAbstractItemView* view, QWidget* parent)
    : TBaseForm(parent, Qt::Dialog)
    , m_view(view)
{
    setObjectName("FindDialog");
    setWindowTitle(QStringLiteral("查找"));
    FindText = new QLineEdit(this);
    FindText->setObjectName("FindText");
    auto* next = new QPushButton(QStringLiteral("查找下一个"), this);
    next->setObjectName("FindNextButton");
    auto* previous = new QPushButton(QStringLiteral("查找上一个"), this);
    previous->setObjectName("FindPreviousButton");
    m_status = new QLabel(this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(previous);
    buttons->addWidget(next);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FindText);
    layout->addLayout(buttons);
    layout->addWidget(m_status);
    connect(next, &QPushButton::clicked, this, &TFindDialog::FindNext);
    connect(previous, &QPushButton::clicked, this, &TFindDialog::FindPrevious);
    connect(FindText, &QLineEdit::returnPressed, this, &TFindDialog::FindNext);
    adjustSize();
}

void TFindDialog::Open()
{
    if (!isVisible()) {
        PlaceOverParent();
    }
    show();
    raise();
    activateWindow();
    FindText->setFocus();
    FindText->selectAll();
}

void TFindDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    TBaseForm::keyPressEvent(event);
}

bool TFindDialog::FindNext()
{
    return Find(true);
}

bool TFindDialog::FindPrevious()
{
    return Find(false);
}

bool TFindDialog::Find(bool forward)
{
    const QModelIndex found = Search(m_view->model(), m_view->currentIndex(), FindText->text(), forward);
    m_status->setText(found.isValid() ? QString() : QStringLiteral("找不到“%1”").arg(FindText->text()));
    if (found.isValid()) {
        m_view->setCurrentIndex(found);
        m_view->scrollTo(found);
        KeepClearOf(found);
    }
    return found.isValid();
}

void TFindDialog::KeepClearOf(const QModelIndex& index)
{
    const QRect visual = m_view->visualRect(index);
    const QRect cell(m_view->viewport()->mapToGlobal(visual.topLeft()), visual.size());
    const QRect frame = frameGeometry();
    if (!isVisible() || !frame.intersects(cell)) {
        return;
    }
    const int gap = 8;
    const QRect area = screen()->availableGeometry();
    const int below = cell.bottom() + 1 + gap;
    const int above = cell.top() - gap - frame.height();
    const int top = below + frame.height() <= area.bottom() + 1 || above < area.top() ? below : above;
    move(frame.left(), top);
}

QModelIndex TFindDialog::Search(const QAbstractItemModel* model, const QModelIndex& from, const QString& text,
                                bool forward)
{
    if (model == nullptr || text.isEmpty()) {
        return {};
    }
    const int rows = model->rowCount();
    const int columns = model->columnCount();
    const int cells = rows * columns;
    if (cells == 0) {
        return {};
    }
    const int start = from.isValid() ? from.row() * columns + from.column() : (forward ? -1 : cells);
    for (int step = 1; step <= cells; ++step) {
        const int cell = ((start + (forward ? step : -step)) % cells + cells) % cells;
        const QModelIndex index = model->index(cell / columns, cell % columns);
        if (index.data().toString().contains(text, Qt::CaseInsensitive)) {
            return index;
        }
    }
    return {};
}
