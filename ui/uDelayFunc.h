#pragma once

#include <QList>
#include <QString>

#include <functional>

class TDelayTimerHost;

// A procedure bound to an object, taking the entry's text.
using TDelayMethod = std::function<void(const QString&)>;
// A plain procedure taking the entry's text.
using TDelayPlainProc = void (*)(const QString&);

// One scheduled call. The scheduler owns it from the moment it is handed over until it is disposed.
struct TDelayProc
{
    int TimerId = 0; // timer armed for this entry; 0 when arming failed
    TDelayMethod MethodProc;
    TDelayPlainProc PlainProc = nullptr;
    int Kind = 0; // 1: MethodProc, 2: PlainProc
    QString Text; // the entry's own copy
    bool Repeating = false;
    int Count = 0; // runs still allowed, decremented before each run
    double Interval = 0.0; // seconds
};

// Runs procedures later on the GUI thread, once or a bounded number of times, on Qt timers.
// Timers fire whenever the GUI thread dispatches events, in the main loop and in modal loops alike.
class TDelayProcManager
{
public:
    static void Init();
    static TDelayProc* Add(TDelayProc* proc);
    static void Done();

    // The longest interval a timer takes, in milliseconds.
    static constexpr int MaxIntervalMs = 2147483647;
    // Interval in seconds to a timer interval in milliseconds, rounded to the nearest integer and clamped
    // to what a timer takes.
    static int IntervalMs(double interval);

    void TimerProc(int timerId);
    int PendingCount() const { return static_cast<int>(m_list.size()); }

private:
    TDelayProcManager();
    ~TDelayProcManager();

    // Marks a procedure as running for the life of the guard, also when it raises.
    class TRunning
    {
    public:
        explicit TRunning(TDelayProcManager* manager);
        ~TRunning();
        TRunning(const TRunning&) = delete;
        TRunning& operator=(const TRunning&) = delete;

    private:
        TDelayProcManager* m_manager;
    };

    void Run(TDelayProc* proc);
    void Rearm(TDelayProc* proc);

    QList<TDelayProc*> m_list;
    TDelayTimerHost* m_timerStub;
    bool m_active = false;
    int m_running = 0; // procedures running now, nested ones included
};

extern TDelayProcManager* DelayProcManager;

TDelayProc* DelayCall(const QString& text, bool repeating, int count, double interval, TDelayMethod proc);
TDelayProc* DelayCallText(TDelayPlainProc proc, const QString& text, bool repeating, int count, double interval);
