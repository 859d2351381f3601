#include "ui/TProgressForm.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TProgressForm::TProgressForm(const QString& caption, const QString& text, int maximum, QWidget* parent)
    : TBaseForm(parent, Qt::Dialog)
{
    setObjectName("ProgressForm");
    setWindowTitle(caption);
    TextLabel = new QLabel(text, this);
    TextLabel->setObjectName("TextLabel");
    Bar = new QProgressBar(this);
    Bar->setObjectName("Bar");
    Bar->setRange(0, maximum);
    Bar->setValue(0);
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName("btnCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TextLabel);
    layout->addWidget(Bar);
    layout->addLayout(buttons);
    setMinimumWidth(360);
    adjustSize();
    m_showTimer = new QTimer(this);
    m_showTimer->setSingleShot(true);
    connect(m_showTimer, &QTimer::timeout, this, [this]() {
        PlaceOverParent();
        show();
    });
    connect(btnCancel, &QPushButton::clicked, this, &TProgressForm::Cancel);
}

void TProgressForm::SetText(const QString& text)
{
    TextLabel->setText(text);
}

void TProgressForm::SetValue(int value)
{
    Bar->setValue(value);
}

void TProgressForm::ShowAfter(int delayMs)
{
    if (!m_finished) {
        m_showTimer->start(delayMs);
    }
}

void TProgressForm::Finish()
{
    m_finished = true;
    m_showTimer->stop();
    close();
}

void TProgressForm::Cancel()
{
    if (m_canceled || m_finished) {
        return;
    }
    m_canceled = true;
    btnCancel->setEnabled(false);
    emit Canceled();
}

void TProgressForm::closeEvent(QCloseEvent* event)
{
    Cancel();
    TBaseForm::closeEvent(event);
}
