// The printf-style formatter with "%@", given any format and arguments of every kind.

#include "FNWFuzzInput.h"

#include "support/FNWFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fnw::fuzz::FuzzInput input(data, size);
    const QByteArray format = input.bytes();
    const auto argument = [&input]() -> FNWFormatArg {
        switch (input.byte() % 5) {
        case 0:
            return nullptr;
        case 1:
            return input.text();
        case 2:
            return input.integer<long long>();
        case 3:
            return input.integer<unsigned long long>();
        default:
            return input.real();
        }
    };
    const FNWFormatArg a = argument(), b = argument(), c = argument(), d = argument();
    FNWFormatWithArgs(format.constData(), {a, b, c, d});
    FNWFormatWithArgs(format.constData(), {});
    return 0;
}
