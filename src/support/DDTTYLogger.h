#pragma once

#include "support/DDLog.h"

#include <cstdio>

// Writes every message to standard error as
// "yyyy-MM-dd HH:mm:ss:SSS process[pid:thread] message".
class DDTTYLogger final : public DDAbstractLogger
{
public:
    // The shared standard-error logger.
    static std::shared_ptr<DDTTYLogger> sharedInstance();

    // A logger on another stream, for tests.
    explicit DDTTYLogger(std::FILE* stream = stderr);

    void logMessage(const DDLogMessage& message) override;
    QString loggerName() const override;

    // The line written for a message when no formatter is set.
    static QByteArray lineForMessage(const DDLogMessage& message);

private:
    std::FILE* m_stream;
};
