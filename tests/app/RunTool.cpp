// Runs one collection in the real window and prints every log line as it is added, so that a test in another
// process can follow the run and end it at a chosen moment: by killing it, or by the line "close" on standard
// input, which closes the window as the user would.
// Usage: RunTool <host:port> <pages> <keyword>
#include "app/uStartup.h"
#include "tests/app/TMainFormFixture.h"
#include "ui/TApplication.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>
#include <QTextBlock>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 4) {
        return 2;
    }
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    {
        TMainFormFixture fixture;
        TRunParams params;
        params.Host = QString::fromLocal8Bit(argv[1]);
        params.PauseMs = 0;
        TMainForm* form = fixture.Start(params);
        QObject::connect(form->RzMemo2, &QPlainTextEdit::textChanged, [form]() {
            const QString line = form->RzMemo2->document()->lastBlock().text();
            std::fprintf(stdout, "%s\n", line.toUtf8().constData());
            std::fflush(stdout);
        });
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, [form, &input]() {
            char buffer[64];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof(buffer));
            if (n <= 0 || QByteArray(buffer, int(n)).contains("close")) {
                input.setEnabled(false);
                form->close();
            }
        });
        form->cbSearch->setEditText(QString::fromLocal8Bit(argv[3]));
        form->edPageNum->setValue(QString::fromLocal8Bit(argv[2]).toInt());
        QTest::mouseClick(form->RzBitBtn1, Qt::LeftButton);
        for (QString box : fixture.Boxes()) {
            // One line per box, whatever lines its text has.
            box.replace(QLatin1Char('\n'), QLatin1String("\\n"));
            std::fprintf(stdout, "BOX %s\n", box.toUtf8().constData());
        }
    }
    DoneModules();
    // The peak of the resident memory, for tests that bound it.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:")) {
                std::fprintf(stdout, "PEAK %s\n", line.mid(6).trimmed().constData());
            }
        }
    }
    return 0;
}
