#pragma once

#include <QString>

// One mail to send, all text.
struct EmailMessage
{
    QString to;
    QString from;
    QString replyto;
    QString subject;
    QString body;
    QString pathOfImageToSend;
};
