#include "tests/app/TMainFormFixture.h"

#include "app/TLibraryState.h"
#include "storage/uConst.h"
#include "ui/uPubFunc.h"

#include <QFile>
#include <QTest>

TMainFormFixture::TMainFormFixture()
{
    TMessageBox::SetTestHook([this](TMessageBox::Icon, const QString& caption, const QString& text) {
        m_boxes.append(caption + QLatin1Char('|') + text);
    });
}

TMainFormFixture::~TMainFormFixture()
{
    Stop();
    TMessageBox::SetTestHook({});
}

TMainForm* TMainFormFixture::Start(const TRunParams& params)
{
    m_params = params;
    m_scope = std::make_unique<QObject>();
    m_dm = std::make_unique<TDM>();
    DM = m_dm.get();
    m_form = std::make_unique<TMainForm>(m_dm.get(), params);
    MainForm = m_form.get();
    PubFunc->SetMainWindow(m_form.get());
    m_form->show();
    if (!QTest::qWaitFor([this]() { return m_form->windowTitle() == TMainForm::ProductCaption(); }, 5000)) {
        if (QTest::currentTestFunction() != nullptr) {
            QTest::qFail("the deferred initialisation did not run", __FILE__, __LINE__);
        } else {
            qWarning("the deferred initialisation did not run"); // a tool, not a test
        }
    }
    QTest::qWait(10);
    return m_form.get();
}

// The case's callbacks go first, so none of them runs while the window closes or after it.
void TMainFormFixture::Stop()
{
    m_scope.reset();
    if (m_form) {
        m_form->close();
        m_form.reset();
    }
    PubFunc->SetMainWindow(nullptr);
    m_dm.reset();
    DM = nullptr;
}

TMainForm* TMainFormFixture::Restart()
{
    Stop();
    return Start(m_params);
}

void TMainFormFixture::RemoveDataFiles()
{
    QFile::remove(DbPath);
    QFile::remove(IniPath);
    QFile::remove(TLibraryState::Path());
}

TRunParams TMainFormFixture::LocalRun(const QString& host)
{
    TRunParams params;
    params.Host = host;
    params.PauseMs = 10;
    params.TimeoutMs = 3000;
    return params;
}
