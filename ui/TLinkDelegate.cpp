#include "ui/TLinkDelegate.h"

TLinkDelegate::TLinkDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

void TLinkDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!m_linkColumns.contains(index.column())) {
        return;
    }
    option->font.setUnderline(true);
    option->palette.setColor(QPalette::Text, Qt::blue);
    option->palette.setColor(QPalette::HighlightedText, Qt::blue);
}
