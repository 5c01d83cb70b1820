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

// What a run knows about itself when its final line arrives.
struct FNWFinalLineContext
{
    // The preset's seconds; not used for a run by amount.
    qint64 duration = -1;
    bool byAmount = false;
    // Whether an interval stored before carried any bytes.
    bool hadIntervalsWithData = false;
    // Whether the last interval stored carried nothing.
    bool lastIntervalEmpty = false;
    // Seconds from the launch of the tool to the arrival of the line.
    double secondsSinceLaunch = 0;
};

// How far a final line may fall short of a timed test, or come after it, and still stand. On loopback
// and on a 10 Mbit/s link with a 400 ms queue, final lines end within 0.05 s of the duration and arrive
// within 0.25 s after it, except iperf2's TCP total, which waits for the queue to drain (0.9-3 s late on a
// 5-second test). A late line after intervals without data is refused sooner than one after live ones.
inline constexpr double kFinalLineShortSeconds = 1.0;
inline constexpr double kFinalLineShortShare = 0.05;
inline constexpr double kFinalLineStalledLateSeconds = 5.0;
inline constexpr double kFinalLineStalledLateShare = 0.1;
inline constexpr double kFinalLineLateSeconds = 30.0;
inline constexpr double kFinalLineLateShare = 1.0;

// Why a final line cannot be taken as the test's result (a text for the user); nothing when it can.
std::optional<QString> judgeFinalLine(const FNWDataLine& line, const FNWFinalLineContext& context);

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
