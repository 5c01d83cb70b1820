#include "engine/PerfTestParsing.h"

#include <QStringList>

#include <algorithm>

namespace fnw::engine::parsing {

bool containsFailureWord(const QString& text)
{
    return text.contains(QLatin1String("error")) || text.contains(QLatin1String("WARNING")) ||
           text.contains(QLatin1String("failed"));
}

QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

double readLeadingNumber(const QString& text)
{
    // Leading blanks are skipped, as every number reader does.
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r'))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype digitsStart = i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128)
        ++i;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128)
            ++i;
    }
    if (i == digitsStart || (i == digitsStart + 1 && text[digitsStart] == u'.'))
        return 0.0;
    // An exponent counts only when digits follow it.
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        const qsizetype exponentDigits = j;
        while (j < text.size() && text[j].isDigit() && text[j].unicode() < 128)
            ++j;
        if (j > exponentDigits)
            i = j;
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? value : 0.0;
}

std::optional<FNWDataLine> parseDataLine(const QString& line)
{
    const QStringList fields = line.split(QStringLiteral("$#"));
    if (fields.size() < 4)
        return std::nullopt;

    QString interval = fields[1];
    interval.remove(QStringLiteral("sec"));
    const QStringList times = trimBlanks(interval).split(u'-');
    if (times.size() < 2)
        return std::nullopt;

    QString transfer = fields[2];
    transfer.remove(QStringLiteral("KBytes"));
    QString bandwidth = fields[3];
    bandwidth.remove(QStringLiteral("Kbits/sec"));

    FNWDataLine data;
    data.start_time = times[0];
    data.end_time = times[1];
    data.data_transfered = readLeadingNumber(trimBlanks(transfer));
    data.speed = readLeadingNumber(trimBlanks(bandwidth));
    data.fieldCount = fields.size();
    if (fields.size() >= 6) {
        data.jitter = trimBlanks(fields[4]);
        data.datagrams = trimBlanks(fields[5]);
    }
    return data;
}

std::optional<QString> judgeFinalLine(const FNWDataLine& line, const FNWFinalLineContext& context)
{
    if (line.data_transfered <= 0.0F && context.hadIntervalsWithData)
        return QStringLiteral("The final result reports 0 bytes after intervals that carried data.");
    if (context.byAmount || context.duration <= 0)
        return std::nullopt;
    const double duration = static_cast<double>(context.duration);
    const double end = readLeadingNumber(line.end_time);
    if (end < duration - std::max(kFinalLineShortSeconds, kFinalLineShortShare * duration))
        return QStringLiteral("The final result covers only %1 of %2 seconds.")
            .arg(QString::number(end, 'f', 2), QString::number(context.duration));
    const double late = std::max(context.secondsSinceLaunch, end) - duration;
    const bool stalled = context.hadIntervalsWithData && context.lastIntervalEmpty;
    if (stalled && late > std::max(kFinalLineStalledLateSeconds, kFinalLineStalledLateShare * duration))
        return QStringLiteral("The final result arrived %1 seconds after the end of the %2-second test, after "
                              "intervals without data: the server stopped receiving.")
            .arg(QString::number(late, 'f', 1), QString::number(context.duration));
    if (late > std::max(kFinalLineLateSeconds, kFinalLineLateShare * duration))
        return QStringLiteral("The final result arrived %1 seconds after the end of the %2-second test.")
            .arg(QString::number(late, 'f', 1), QString::number(context.duration));
    return std::nullopt;
}

QByteArray FNWLineAssembler::append(const QByteArray& data)
{
    m_pending.append(data);
    const qsizetype lastLineEnd = m_pending.lastIndexOf('\n');
    if (lastLineEnd < 0)
        return {};
    QByteArray lines = m_pending.left(lastLineEnd + 1);
    m_pending.remove(0, lastLineEnd + 1);
    return lines;
}

QByteArray FNWLineAssembler::takeRemainder()
{
    QByteArray rest;
    rest.swap(m_pending);
    return rest;
}

QString shellQuoted(const QString& text)
{
    const auto plain = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' ||
               c == u'/' || c == u'-' || c == u'_' || c == u':' || c == u'=' || c == u'+' || c == u',';
    };
    if (!text.isEmpty() && std::all_of(text.begin(), text.end(), plain))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("'"), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace fnw::engine::parsing
