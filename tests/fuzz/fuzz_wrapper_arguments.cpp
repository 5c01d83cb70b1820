// The wrapper's command line as the shell hands it over (words separated by NUL bytes), then the
// tool's output lines for a command it accepted.

#include "FNWFuzzInput.h"

#include "IperfWrapper.h"

#include <string>
#include <vector>

using namespace fnw::wrapper;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fnw::fuzz::FuzzInput input(data, size);
    const IperfFlavor flavor = input.byte() & 1 ? IperfFlavor::Iperf2 : IperfFlavor::Iperf3;
    const int wordCount = input.byte() % 16;
    std::vector<std::string> arguments;
    for (int i = 0; i < wordCount; ++i)
        arguments.push_back(input.bytes().toStdString());
    const ParsedArguments parsed = parseArguments(arguments, flavor);
    FNW_FUZZ_CHECK(parsed.command.has_value() != !parsed.error.empty());
    if (!parsed.command)
        return 0;
    FNW_FUZZ_CHECK(parsed.command->port == -1 || (parsed.command->port >= 1 && parsed.command->port <= 65535));

    OutputTranslator translator(flavor, *parsed.command);
    const QList<QByteArray> lines = input.rest().split('\n');
    for (const QByteArray& line : lines) {
        const std::string_view text(line.constData(), static_cast<std::size_t>(line.size()));
        const bool toError = !line.isEmpty() && (static_cast<std::uint8_t>(line[0]) & 0x80);
        const OutputTranslator::Output output =
            toError ? translator.standardErrorLine(text) : translator.standardOutputLine(text);
        for (const std::string& printed : output.out)
            FNW_FUZZ_CHECK(printed.find('\n') == std::string::npos);
        if (output.stopTool)
            break;
    }
    int exitStatus = -1;
    translator.finish(static_cast<int>(size % 3), exitStatus);
    FNW_FUZZ_CHECK(exitStatus >= 0);
    return 0;
}
