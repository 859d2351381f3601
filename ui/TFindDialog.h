#pragma once

#include "ui/uBase.h"

#include <QModelIndex>

class QAbstractItemView;
class QLabel;
class QLineEdit;

// Finds a text in the cells of a table view, forwards or backwards from the current cell, wrapping around,
// without regard to case.
// A window of its own over the view's window, never over the cell it found; Enter finds the next cell, Esc
// closes it.
class TFindDialog : public TBaseForm
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

    // Shows the dialog over the view's window with the text selected for typing.
    void Open();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool Find(bool forward);
    // Moves the dialog off the cell it found, below the cell or else above it, when it covers the cell.
    void KeepClearOf(const QModelIndex& index);

    QAbstractItemView* m_view;
    QLabel* m_status = nullptr;
};
