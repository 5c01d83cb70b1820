#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The pieces of a run that need no process: reading iperf's lines, joining chunks into lines,
// quoting for the shell.
namespace fnw::engine::parsing {

// "error", "WARNING" or "failed" anywhere, case-sensitive ("Error" alone does not count).
bool containsFailureWord(const QString& text);

// Removes spaces and tabs at both ends; line ends stay.
QString trimBlanks(const QString& text);

// The leading decimal number (optional sign, digits, decimal point, exponent); 0 without one.
double readLeadingNumber(const QString& text);

// One "RESULT_" or "Finished_" line: "<marker>$#<start>-<end> sec$#<bytes>$#<bits/s>[$#jitter$#datagrams]".
struct FNWDataLine
{
    QString start_time;
    QString end_time;
    // Bytes and bits per second as printed; a double holds every whole figure below 2^53 exactly.
    double data_transfered = 0.0;
    double speed = 0.0;
    // Only when the line has six or more fields; trimmed.
    QString jitter;
    QString datagrams;
    qsizetype fieldCount = 0;
};

// Nothing for a line of fewer than four fields or whose interval has no "-".
std::optional<FNWDataLine> parseDataLine(const QString& line);

// Holds the bytes after the last line end of what arrived, so that a line cut across two chunks
// reaches the parser whole.
class FNWLineAssembler final
{
public:
    // The complete lines among what arrived so far (empty when none is complete yet).
    QByteArray append(const QByteArray& data);
    // What is left after the last line end; the assembler is empty afterwards.
    QByteArray takeRemainder();
    bool hasRemainder() const { return !m_pending.isEmpty(); }

private:
    QByteArray m_pending;
};

// The text as one shell word: unchanged when it holds only characters the shell passes as they
// are, else in single quotes.
QString shellQuoted(const QString& text);

} // namespace fnw::engine::parsing
