#include "cli/TCollectorCommand.h"

#include "collect/TSearchKeyword.h"

#include <cmath>

namespace {
// The longest keyword: what the keyword column of the goods table holds.
constexpr int MaxKeywordLength = 100;

class TReader
{
public:
    explicit TReader(const QStringList& arguments)
        : m_arguments(arguments)
    {
    }
    bool AtEnd() const { return m_next >= m_arguments.size(); }
    QString Next() { return m_arguments.at(m_next++); }
    // The value after an option; false with a message when there is none.
    bool Value(const QString& option, QString* value, QString* error)
    {
        if (AtEnd()) {
            *error = QStringLiteral("选项 %1 缺少取值").arg(option);
            return false;
        }
        *value = Next();
        return true;
    }

private:
    const QStringList& m_arguments;
    qsizetype m_next = 0;
};

bool ReadNumber(const QString& option, const QString& text, double low, double high, double* number, QString* error)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < low || value > high) {
        *error = QStringLiteral("选项 %1 的取值“%2”无效：应为 %3 到 %4 之间的数").arg(option, text).arg(low).arg(high);
        return false;
    }
    *number = value;
    return true;
}

bool ReadPages(const QString& text, int* pages, QString* error)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > 100) {
        *error = QStringLiteral("页数“%1”无效：应为 1 到 100 之间的整数").arg(text);
        return false;
    }
    *pages = value;
    return true;
}

bool CheckKeyword(const QString& keyword, QString* error)
{
    if (keyword.size() > MaxKeywordLength) {
        *error = QStringLiteral("关键字过长：最多 %1 个字符").arg(MaxKeywordLength);
        return false;
    }
    const QString missing = TSearchKeyword::MissingCharacter(keyword);
    if (!missing.isEmpty()) {
        *error = QStringLiteral("关键字中的字符“%1”无法搜索：网站使用的 GBK 编码中没有这个字符").arg(missing);
        return false;
    }
    return true;
}

// One option of the run and watch commands; false with a message for an unknown one or a bad value.
bool ReadOption(const QString& option, TReader& reader, const QStringList& allowed, TCollectorCommand* command,
                QString* error)
{
    if (!allowed.contains(option)) {
        *error = QStringLiteral("未知选项：%1").arg(option);
        return false;
    }
    if (option == QLatin1String("--json") || option == QLatin1String("--all")) {
        (option == QLatin1String("--json") ? command->Json : command->All) = true;
        return true;
    }
    QString value;
    if (!reader.Value(option, &value, error)) {
        return false;
    }
    double number = 0;
    if (option == QLatin1String("--pages")) {
        return ReadPages(value, &command->Pages, error);
    }
    if (option == QLatin1String("--every")) {
        return ReadNumber(option, value, 0.5, 168, &command->EveryHours, error);
    }
    if (option == QLatin1String("--drop")) {
        if (!ReadNumber(option, value, 0, 100, &number, error)) {
            return false;
        }
        command->DropPercent = number;
        return true;
    }
    if (!ReadNumber(option, value, 0, 1e12, &number, error)) {
        return false;
    }
    command->BelowPrice = number;
    return true;
}

// The options and plain words after a subcommand; plain words go to words.
bool ReadRest(TReader& reader, const QStringList& allowed, TCollectorCommand* command, QStringList* words,
              QString* error)
{
    bool optionsEnded = false;
    while (!reader.AtEnd()) {
        const QString word = reader.Next();
        if (!optionsEnded && word == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && word.startsWith(QLatin1String("--"))) {
            if (!ReadOption(word, reader, allowed, command, error)) {
                return false;
            }
        } else {
            words->append(word);
        }
    }
    return true;
}

bool ParseWatch(TReader& reader, TCollectorCommand* command, QString* error)
{
    if (reader.AtEnd()) {
        *error = QStringLiteral("watch 后面缺少子命令（add、list、remove 或 run）");
        return false;
    }
    const QString sub = reader.Next();
    QStringList words;
    if (sub == QLatin1String("add")) {
        command->What = TCollectorCommand::WatchAdd;
        if (!ReadRest(reader, {"--pages", "--every", "--drop", "--below"}, command, &words, error)) {
            return false;
        }
        if (words.size() != 1) {
            *error = QStringLiteral("watch add 需要一个关键字");
            return false;
        }
        command->Keywords = words;
        return CheckKeyword(words.first(), error);
    }
    if (sub == QLatin1String("list") || sub == QLatin1String("remove")) {
        const bool remove = sub == QLatin1String("remove");
        command->What = remove ? TCollectorCommand::WatchRemove : TCollectorCommand::WatchList;
        if (!ReadRest(reader, {}, command, &words, error)) {
            return false;
        }
        if (words.size() != (remove ? 1 : 0)) {
            *error = remove ? QStringLiteral("watch remove 需要一个监控编号") : QStringLiteral("watch list 不带参数");
            return false;
        }
        bool ok = true;
        command->WatchId = remove ? words.first().toLongLong(&ok) : 0;
        if (!ok || (remove && command->WatchId <= 0)) {
            *error = QStringLiteral("监控编号“%1”无效").arg(words.first());
            return false;
        }
        return true;
    }
    if (sub == QLatin1String("run")) {
        command->What = TCollectorCommand::WatchRun;
        if (!ReadRest(reader, {"--all", "--json"}, command, &words, error)) {
            return false;
        }
        if (!words.isEmpty()) {
            *error = QStringLiteral("watch run 不带关键字：%1").arg(words.first());
            return false;
        }
        return true;
    }
    *error = QStringLiteral("未知的 watch 子命令：%1").arg(sub);
    return false;
}
} // namespace

bool TCollectorCommand::Parse(const QStringList& arguments, TCollectorCommand* command, QString* error)
{
    *command = TCollectorCommand();
    TReader reader(arguments);
    if (reader.AtEnd()) {
        *error = QStringLiteral("缺少命令");
        return false;
    }
    const QString what = reader.Next();
    if (what == QLatin1String("--help") || what == QLatin1String("-h") || what == QLatin1String("help")) {
        command->What = Help;
        return true;
    }
    if (what == QLatin1String("watch")) {
        return ParseWatch(reader, command, error);
    }
    if (what != QLatin1String("run")) {
        *error = QStringLiteral("未知命令：%1").arg(what);
        return false;
    }
    command->What = Run;
    if (!ReadRest(reader, {"--pages", "--json"}, command, &command->Keywords, error)) {
        return false;
    }
    if (command->Keywords.isEmpty()) {
        *error = QStringLiteral("run 需要至少一个关键字");
        return false;
    }
    for (const QString& keyword : command->Keywords) {
        if (!CheckKeyword(keyword, error)) {
            return false;
        }
    }
    return true;
}

QString TCollectorCommand::Usage()
{
    return QStringLiteral(
        "用法：mercatix-collect 命令 [选项]\n"
        "\n"
        "不打开窗口采集商品，数据写入 Mercatix 的数据库（~/Documents/softcfg/gleanbox.db）。\n"
        "\n"
        "命令：\n"
        "  run [--pages N] [--json] 关键字...   依次采集每个关键字的前 N 页（默认 3 页，1 到 100）\n"
        "  watch add 关键字 [--pages N] [--every 小时] [--drop 百分比] [--below 价格]\n"
        "                                     添加监控：每隔若干小时（0.5 到 168，默认 24）采集一次；\n"
        "                                     --drop：价格比上次完整采集下降至少该百分比时提醒；\n"
        "                                     --below：价格不高于该值时提醒\n"
        "  watch list                          列出所有监控\n"
        "  watch remove 编号                   删除监控\n"
        "  watch run [--all] [--json]          运行到期的监控（--all：所有启用的监控）\n"
        "  --help                              显示本帮助\n"
        "\n"
        "--json：每次采集输出一行 JSON，代替日志和摘要。\n"
        "退出状态：0 全部采集完整；1 有采集不完整、失败或被中止；2 用法错误；3 无法打开数据库。\n");
}
