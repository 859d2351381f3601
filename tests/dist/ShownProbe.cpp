// A Qt generic plugin that tests load into the real program (QT_QPA_GENERIC_PLUGINS=shownprobe, QT_PLUGIN_PATH naming
// the folder above generic/). When the program's main window reports that it has been initialised and shown, the
// probe prints "shown desktop-file=<name>" and "title=<window title>" on standard output and closes that window, so
// that the program ends as it does when its user closes it. With "shownprobe:keep" the window stays open, for a
// test that ends the program in another way.
#include <QGenericPlugin>
#include <QGuiApplication>

#include <cstdio>

namespace {
class TShownProbe : public QObject
{
    Q_OBJECT

public:
    explicit TShownProbe(bool keep)
        : m_keep(keep)
    {
    }

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
        std::printf("title=%s\n", sender()->property("windowTitle").toString().toUtf8().constData());
        std::fflush(stdout);
        if (!m_keep) {
            QMetaObject::invokeMethod(sender(), "close", Qt::QueuedConnection);
        }
    }

private:
    bool m_keep;
    bool m_watching = false;
};
} // namespace

class TShownProbePlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "ShownProbe.json")

public:
    QObject* create(const QString& key, const QString& option) override
    {
        if (key.compare(QStringLiteral("shownprobe"), Qt::CaseInsensitive) != 0) {
            return nullptr;
        }
        auto* probe = new TShownProbe(option == QLatin1String("keep"));
        QCoreApplication::instance()->installEventFilter(probe);
        return probe; // the application deletes its generic plugins' objects
    }
};

#include "ShownProbe.moc"
