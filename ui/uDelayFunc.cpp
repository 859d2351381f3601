#include "ui/uDelayFunc.h"

#include "ui/TDelayTimerHost.h"
#include "ui/TMessageBox.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

TDelayProcManager* DelayProcManager = nullptr;

TDelayProcManager::TDelayProcManager()
    : m_timerStub(new TDelayTimerHost(this))
    , m_active(true)
{
}

TDelayProcManager::~TDelayProcManager()
{
    delete m_timerStub;
}

void TDelayProcManager::Init()
{
    if (DelayProcManager == nullptr) {
        DelayProcManager = new TDelayProcManager();
    }
}

int TDelayProcManager::IntervalMs(double interval)
{
    // A timer takes at most INT_MAX ms (about 24.8 days); longer intervals wait that long. An interval that
    // is not a number cannot be armed, like a negative one.
    const double ms = std::nearbyint(interval * 1000.0);
    if (std::isnan(ms)) {
        return -1;
    }
    return static_cast<int>(std::clamp(ms, double(std::numeric_limits<int>::min()), double(MaxIntervalMs)));
}

TDelayProc* TDelayProcManager::Add(TDelayProc* proc)
{
    proc->TimerId = DelayProcManager->m_timerStub->Arm(IntervalMs(proc->Interval));
    DelayProcManager->m_list.append(proc);
    return proc;
}

void TDelayProcManager::Done()
{
    if (DelayProcManager == nullptr) {
        return;
    }
    TDelayProcManager* manager = DelayProcManager;
    manager->m_active = false;
    for (qsizetype i = manager->m_list.size() - 1; i >= 0; --i) {
        manager->m_timerStub->Kill(manager->m_list[i]->TimerId);
        delete manager->m_list[i];
    }
    manager->m_list.clear();
    DelayProcManager = nullptr;
    if (manager->m_running == 0) {
        delete manager;
    }
    // Otherwise a procedure called Done: the scheduler is freed once that procedure has returned.
}

void TDelayProcManager::TimerProc(int timerId)
{
    if (!m_active) {
        return;
    }
    qsizetype index = m_list.size() - 1;
    while (index >= 0 && m_list[index]->TimerId != timerId) {
        --index;
    }
    if (index < 0) {
        return;
    }
    TDelayProc* proc = m_list.takeAt(index);
    m_timerStub->Kill(timerId);
    proc->Count--;
    TRunning running(this);
    Run(proc);
    if (proc->Repeating && proc->Count > 0 && m_active) {
        Rearm(proc);
    } else {
        delete proc;
    }
}

TDelayProcManager::TRunning::TRunning(TDelayProcManager* manager)
    : m_manager(manager)
{
    ++m_manager->m_running;
}

// Frees a scheduler that was shut down while its procedures ran, once the last of them has returned.
// The timer host is inside its own timer event here, so it goes at the next turn of the event loop.
TDelayProcManager::TRunning::~TRunning()
{
    if (--m_manager->m_running > 0 || m_manager->m_active) {
        return;
    }
    m_manager->m_timerStub->deleteLater();
    m_manager->m_timerStub = nullptr;
    delete m_manager;
}

void TDelayProcManager::Run(TDelayProc* proc)
{
    // A procedure that fails drops its entry: the guard frees it while the error travels on.
    std::unique_ptr<TDelayProc> guard(proc);
    if (proc->Kind == 1 && proc->MethodProc) {
        proc->MethodProc(proc->Text);
    } else if (proc->Kind == 2 && proc->PlainProc != nullptr) {
        proc->PlainProc(proc->Text);
    }
    guard.release();
}

void TDelayProcManager::Rearm(TDelayProc* proc)
{
    proc->TimerId = m_timerStub->Arm(IntervalMs(proc->Interval));
    if (proc->TimerId == 0) {
        TMessageBox::Show(TMessageBox::Plain, "fail DelayFunc", "setTimer fail");
    }
    m_list.append(proc);
}

static TDelayProc* NewEntry(const QString& text, bool repeating, int count, double interval)
{
    auto* proc = new TDelayProc;
    // A deep copy: the entry's text never shares storage with the caller's string.
    proc->Text = QString(text.constData(), text.size());
    proc->Repeating = repeating;
    proc->Count = count;
    proc->Interval = interval;
    return proc;
}

TDelayProc* DelayCall(const QString& text, bool repeating, int count, double interval, TDelayMethod proc)
{
    TDelayProc* entry = NewEntry(text, repeating, count, interval);
    entry->Kind = 1;
    entry->MethodProc = std::move(proc);
    return TDelayProcManager::Add(entry);
}

TDelayProc* DelayCallText(TDelayPlainProc proc, const QString& text, bool repeating, int count, double interval)
{
    TDelayProc* entry = NewEntry(text, repeating, count, interval);
    entry->Kind = 2;
    entry->PlainProc = proc;
    return TDelayProcManager::Add(entry);
}
