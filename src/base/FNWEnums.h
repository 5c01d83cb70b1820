#pragma once

#include <QString>
#include <QtGlobal>

// The codings stored in the records' integer fields; the same values are used everywhere, so
// the enumerators convert to qint64 and compare directly with the fields.

enum FNWTestType : qint64 {
    FNWTestTypeTCP = 0,
    FNWTestTypeUDP = 1,
};

// Normal: this computer sends to the agent. Reverse: the agent sends to this computer.
enum FNWDirection : qint64 {
    FNWDirectionNormal = 0,
    FNWDirectionReverse = 1,
};

// Unit for showing and exporting results; any value above FNWDataFormatKBps reads as it.
enum FNWDataFormat : qint64 {
    FNWDataFormatMbps = 0,
    FNWDataFormatKbps = 1,
    FNWDataFormatMBps = 2,
    FNWDataFormatKBps = 3,
};

enum FNWExecutionStatus : qint64 {
    FNWExecutionStatusNotStarted = 0,
    FNWExecutionStatusRunning = 1,
    FNWExecutionStatusFinished = 2,
    FNWExecutionStatusFailed = 3,
};

enum FNWIperfVersion : qint64 {
    FNWIperfVersion3 = 0,
    FNWIperfVersion2 = 1,
};

// "UDP" for any non-zero type, as every table and export shows it.
inline QString FNWTestTypeName(qint64 testType)
{
    return testType != FNWTestTypeTCP ? QStringLiteral("UDP") : QStringLiteral("TCP");
}

// Sizes are in MB for Mbps and MBps, in KB for every other format.
inline bool FNWDataFormatShowsMegabytes(qint64 dataFormat)
{
    return dataFormat == FNWDataFormatMbps || dataFormat == FNWDataFormatMBps;
}
