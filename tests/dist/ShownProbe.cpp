// A Qt generic plugin that the install test loads into the installed program (QT_QPA_GENERIC_PLUGINS=shownprobe,
// QT_PLUGIN_PATH naming the folder above generic/). When the program's main window reports that it has been
// initialised and shown, the probe prints "shown desktop-file=<name>" on standard output and closes that window,
// so that the program ends as it does when its user closes it.
#include <QGenericPlugin>
#include <QGuiApplication>

#include <cstdio>

namespace {
class TShownProbe : public QObject
{
    Q_OBJECT

public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The first shown object with the window's initialisation signal is the main window.
        if (!m_watching && event->type() == QEvent::Show
            && watched->metaObject()->indexOfSignal("Initialised()") >= 0) {
            m_watching = true;
            connect(watched, SIGNAL(Initialised()), this, SLOT(Report()));
        }
        return false;
    }

private slots:
    void Report()
    {
        std::printf("shown desktop-file=%s\n", qPrintable(QGuiApplication::desktopFileName()));
        std::fflush(stdout);
        QMetaObject::invokeMethod(sender(), "close", Qt::QueuedConnection);
    }

private:
    bool m_watching = false;
};
} // namespace

class TShownProbePlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "ShownProbe.json")

public:
    QObject* create(const QString& key, const QString&) override
    {
        if (key.compare(QStringLiteral("shownprobe"), Qt::CaseInsensitive) != 0) {
            return nullptr;
        }
        auto* probe = new TShownProbe;
        QCoreApplication::instance()->installEventFilter(probe);
        return probe; // the application deletes its generic plugins' objects
    }
};

#include "ShownProbe.moc"
