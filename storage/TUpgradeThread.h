#pragma once

#include <QString>

#include <functional>

// Runs a long step on the database (an upgrade of a large file) on a thread of its own while the calling thread
// goes on handling its events: its windows stay painted and its timers fire, while user input waits until the
// step is done. The caller must leave the connection to the step meanwhile. The step's progress reports reach
// the progress callback on the calling thread, the latest one whenever that thread comes to it.
class TUpgradeThread
{
public:
    using Progress = std::function<void(qint64 done, qint64 total)>;
    using Step = std::function<bool(const Progress& progress, QString* error)>;

    // True when the calling thread has an event loop to run meanwhile; otherwise Run runs the step in place.
    static bool CanRun();
    // The step's result; its progress goes to `progress` (which may be empty) on this thread.
    static bool Run(const Step& step, const Progress& progress, QString* error);
};
