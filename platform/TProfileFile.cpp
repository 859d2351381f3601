#include "platform/TProfileFile.h"

#include "platform/CodePage.h"
#include "platform/TAtomicFile.h"

#include <QFile>
#include <QList>

namespace {
// One line of the file as stored, with its section or key when it has one.
struct Line
{
    QByteArray text;
    QByteArray section; // set for a section header
    QByteArray key; // set for a key line
};

QList<Line> SplitLines(const QByteArray& contents)
{
    QList<Line> lines;
    for (QByteArray text : contents.split('\n')) {
        if (text.endsWith('\r')) {
            text.chop(1);
        }
        Line line{text, {}, {}};
        const QByteArray trimmed = text.trimmed();
        if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
            line.section = trimmed.mid(1, trimmed.size() - 2).trimmed();
        } else if (const qsizetype eq = text.indexOf('='); eq > 0 && !trimmed.startsWith(';')) {
            line.key = text.left(eq).trimmed();
        }
        lines.append(line);
    }
    if (!lines.isEmpty() && lines.last().text.isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

QByteArray JoinLines(const QList<Line>& lines)
{
    QByteArray out;
    for (const Line& line : lines) {
        out += line.text + "\r\n";
    }
    return out;
}

bool SameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index of a section's header, or -1.
qsizetype FindSection(const QList<Line>& lines, const QByteArray& section)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].section.isNull() && SameName(lines[i].section, section)) {
            return i;
        }
    }
    return -1;
}

// One past the last line of the section whose header is at index header.
qsizetype SectionEnd(const QList<Line>& lines, qsizetype header)
{
    qsizetype end = header + 1;
    while (end < lines.size() && lines[end].section.isNull()) {
        ++end;
    }
    return end;
}

// Where a new key of the section goes: after its last line that is not blank, so that blank lines before the next
// section stay where they are.
qsizetype AfterLastEntry(const QList<Line>& lines, qsizetype header)
{
    qsizetype end = SectionEnd(lines, header);
    while (end > header + 1 && lines[end - 1].text.trimmed().isEmpty()) {
        --end;
    }
    return end;
}

qsizetype FindKey(const QList<Line>& lines, qsizetype header, const QByteArray& key)
{
    const qsizetype end = SectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (!lines[i].key.isNull() && SameName(lines[i].key, key)) {
            return i;
        }
    }
    return -1;
}

QByteArray ValueOf(const Line& line)
{
    QByteArray value = line.text.mid(line.text.indexOf('=') + 1).trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
        value = value.mid(1, value.size() - 2);
    }
    return value;
}

bool IsLeadByte(unsigned char c)
{
    return c >= 0x81 && c <= 0xFE;
}
} // namespace

TProfileFile::TProfileFile(QString path)
    : m_path(std::move(path))
{
}

QByteArray TProfileFile::Load() const
{
    if (m_updating) {
        return m_contents;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.readAll();
}

bool TProfileFile::Store(const QByteArray& contents)
{
    if (m_updating) {
        m_contents = contents;
        return true;
    }
    return TAtomicFile::Write(m_path, contents, &m_lastError, &m_lastErrno);
}

void TProfileFile::BeginUpdate()
{
    m_contents = Load();
    m_updating = true;
}

bool TProfileFile::EndUpdate(QString* error)
{
    m_updating = false;
    const bool written = Store(m_contents);
    m_contents.clear();
    if (!written && error != nullptr) {
        *error = m_lastError;
    }
    return written;
}

QByteArray TProfileFile::CutValue(const QByteArray& bytes)
{
    if (bytes.size() <= MaxValueBytes) {
        return bytes;
    }
    qsizetype i = 0;
    while (i < MaxValueBytes) {
        const qsizetype width = IsLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
        if (i + width > MaxValueBytes) {
            break;
        }
        i += width;
    }
    return bytes.left(i);
}

QString TProfileFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const QList<Line> lines = SplitLines(Load());
    const qsizetype header = FindSection(lines, CodePage::FromUnicode(section));
    const qsizetype index = header < 0 ? -1 : FindKey(lines, header, CodePage::FromUnicode(key));
    if (index < 0) {
        return CodePage::ToUnicode(CutValue(CodePage::FromUnicode(defaultValue)));
    }
    return CodePage::ToUnicode(CutValue(ValueOf(lines[index])));
}

int TProfileFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    bool ok = false;
    const int value = ReadString(section, key, QString()).trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

bool TProfileFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    QList<Line> lines = SplitLines(Load());
    const QByteArray sectionBytes = CodePage::FromUnicode(section);
    const QByteArray keyBytes = CodePage::FromUnicode(key);
    const Line line{keyBytes + '=' + CodePage::FromUnicode(value), {}, keyBytes};
    qsizetype header = FindSection(lines, sectionBytes);
    if (header < 0) {
        lines.append(Line{'[' + sectionBytes + ']', sectionBytes, {}});
        header = lines.size() - 1;
    }
    const qsizetype index = FindKey(lines, header, keyBytes);
    if (index >= 0) {
        lines[index] = line;
    } else {
        lines.insert(AfterLastEntry(lines, header), line);
    }
    return Store(JoinLines(lines));
}

bool TProfileFile::WriteInteger(const QString& section, const QString& key, int value)
{
    return WriteString(section, key, QString::number(value));
}

bool TProfileFile::EraseSection(const QString& section)
{
    QList<Line> lines = SplitLines(Load());
    const qsizetype header = FindSection(lines, CodePage::FromUnicode(section));
    if (header < 0) {
        return true;
    }
    lines.remove(header, SectionEnd(lines, header) - header);
    return Store(JoinLines(lines));
}
