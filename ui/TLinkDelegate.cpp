#include "ui/TLinkDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

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

bool TLinkDelegate::IsTruncated(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (opt.text.isEmpty()) {
        return false;
    }
    const QStyle* style = opt.widget != nullptr ? opt.widget->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget);
    // The style keeps a margin on both sides of the text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt.widget) + 1;
    return QFontMetrics(opt.font).horizontalAdvance(opt.text) > textRect.width() - 2 * margin;
}

bool TLinkDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                              const QModelIndex& index)
{
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip || !index.isValid()) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    if (IsTruncated(option, index)) {
        QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view->viewport(), option.rect);
    } else {
        QToolTip::hideText();
    }
    return true;
}
