// The address check that stands between an agent's address and the shell.

#include "FNWFuzzInput.h"

#include "base/FNWUtils.h"
#include "engine/PerfTestParsing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (FNWUtils::isIPAddressValid(text)) {
        // Nothing the shell would read as syntax, and nothing that needs quoting at all.
        FNW_FUZZ_CHECK(fnw::engine::parsing::shellQuoted(text) == text);
        FNW_FUZZ_CHECK(text.count(u'.') >= 3);
    }
    return 0;
}
