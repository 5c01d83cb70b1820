#pragma once

#include <QString>
#include <QtGlobal>

// The speed and size texts behind FNWUtils' formatting, two decimals each. Speeds take bits per
// second, sizes bytes; the byte-per-second speeds divide by 8 first.
class FNWNumberFormats final
{
public:
    FNWNumberFormats() = delete;

    static QString mbpsFormat(quint64 bitsPerSecond);
    static QString kbpsFormat(quint64 bitsPerSecond);
    static QString MBpsFormat(quint64 bitsPerSecond);
    static QString KBpsFormat(quint64 bitsPerSecond);
    static QString MBFormat(quint64 bytes);
    static QString KBFormat(quint64 bytes);
};
