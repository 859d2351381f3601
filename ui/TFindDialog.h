#pragma once

#include <QDialog>
#include <QModelIndex>

class QAbstractItemView;
class QLabel;
class QLineEdit;

// Finds a text in the cells of a table view, forwards or backwards from the current cell.
class TFindDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TFindDialog(QAbstractItemView* view, QWidget* parent = nullptr);

    QLineEdit* FindText = nullptr;

    // Moves the view's current cell to the next cell holding the text; false when none does.
    bool FindNext();
    bool FindPrevious();

    // The next cell after (or before) from that holds the text, wrapping around; invalid when none.
    static QModelIndex Search(const QAbstractItemModel* model, const QModelIndex& from, const QString& text,
                              bool forward);

private:
    bool Find(bool forward);

    QAbstractItemView* m_view;
    QLabel* m_status = nullptr;
};
