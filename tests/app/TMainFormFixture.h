#pragma once

#include "app/uMain.h"
#include "storage/uDataModule.h"
#include "ui/TMessageBox.h"

#include <QObject>
#include <QStringList>

#include <memory>

// A data module and a main window started as the program starts them, with every message box recorded.
class TMainFormFixture
{
public:
    TMainFormFixture();
    ~TMainFormFixture();

    // Creates the window and waits until its deferred initialisation has run; the case fails when it does
    // not run.
    TMainForm* Start(const TRunParams& params = {});
    // Closes the window (saving the settings and closing the database) and frees it.
    void Stop();
    TMainForm* Restart();

    TMainForm* Form() const { return m_form.get(); }
    // What a case binds its timers, connections and queued calls to. It ends with the window in Stop(), so
    // a case that fails early leaves no callback behind to reach into its finished stack frame later (in the
    // next case's start, say).
    QObject* Scope() const { return m_scope.get(); }
    TDM* Dm() const { return m_dm.get(); }
    // "caption|text" of every box shown so far.
    QStringList Boxes() const { return m_boxes; }
    void ClearBoxes() { m_boxes.clear(); }

    // Run parameters for a local fake marketplace, with short waits.
    static TRunParams LocalRun(const QString& host);

    // Removes the data files, so the next start is a first start.
    static void RemoveDataFiles();

private:
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<QObject> m_scope;
    std::unique_ptr<TMainForm> m_form;
    QStringList m_boxes;
    TRunParams m_params;
};
