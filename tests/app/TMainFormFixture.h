#pragma once

#include "app/uMain.h"
#include "storage/uDataModule.h"
#include "ui/TMessageBox.h"

#include <QStringList>

#include <memory>

// A data module and a main window started as the program starts them, with every message box recorded.
class TMainFormFixture
{
public:
    TMainFormFixture();
    ~TMainFormFixture();

    // Creates the window and waits until its deferred initialisation has run.
    TMainForm* Start(const TRunParams& params = {});
    // Closes the window (saving the settings and closing the database) and frees it.
    void Stop();
    TMainForm* Restart();

    TMainForm* Form() const { return m_form.get(); }
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
    std::unique_ptr<TMainForm> m_form;
    QStringList m_boxes;
    TRunParams m_params;
};
