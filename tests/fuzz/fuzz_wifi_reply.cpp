// The agent's answer to the Wi-Fi query, as any peer on the network may send it.

#include "FNWFuzzInput.h"

#include "engine/FNWTargetWiFiQuery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto parsed = fnw::engine::parseTargetWiFiReply(reply))
        FNW_FUZZ_CHECK(parsed->bssid == parsed->bssid.toUpper());
    return 0;
}
