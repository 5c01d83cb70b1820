// iperf's lines as a run receives them, cut into chunks anywhere: joined back whole, and every line
// read, checked for failure words and judged as a final line, as the application and the wrapper
// read them.

#include "FNWFuzzInput.h"

#include "IperfWrapper.h"
#include "engine/PerfTestParsing.h"

#include <QList>

using namespace fnw::engine::parsing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fnw::fuzz::FuzzInput input(data, size);
    std::size_t step = input.byte() % 29 + 1;
    FNWFinalLineContext context;
    context.duration = input.byte() % 40 - 1;
    context.byAmount = input.byte() & 1;
    context.hadIntervalsWithData = input.byte() & 1;
    context.lastIntervalEmpty = input.byte() & 1;
    context.secondsSinceLaunch = input.real();
    const QByteArray output = input.rest();

    // Cut at places that depend on the text itself, so the fuzzer reaches every cut.
    FNWLineAssembler assembler;
    QByteArray joined;
    for (qsizetype at = 0; at < output.size();) {
        const qsizetype length = std::min<qsizetype>(static_cast<qsizetype>(step), output.size() - at);
        const QByteArray lines = assembler.append(output.mid(at, length));
        FNW_FUZZ_CHECK(lines.isEmpty() || lines.endsWith('\n'));
        joined += lines;
        at += length;
        step = (step * 7 + static_cast<std::uint8_t>(output[at - 1])) % 29 + 1;
    }
    FNW_FUZZ_CHECK(!assembler.takeRemainder().contains('\n') || output.isEmpty());
    FNWLineAssembler whole;
    FNW_FUZZ_CHECK(joined == whole.append(output));

    for (const QByteArray& bytes : output.split('\n')) {
        const QString line = QString::fromUtf8(bytes);
        containsFailureWord(line);
        readLeadingNumber(line);
        FNW_FUZZ_CHECK(trimBlanks(line).size() <= line.size());
        if (const auto parsed = parseDataLine(line)) {
            FNW_FUZZ_CHECK(parsed->fieldCount >= 4);
            judgeFinalLine(*parsed, context);
        }
        const QString quoted = shellQuoted(line);
        FNW_FUZZ_CHECK(quoted == line || (quoted.startsWith(u'\'') && quoted.endsWith(u'\'')));
        fnw::wrapper::parseDataLine(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
    return 0;
}
