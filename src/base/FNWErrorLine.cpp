#include "base/FNWErrorLine.h"

#include <QTimer>

FNWErrorLine::FNWErrorLine(QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(kClearMs);
    connect(m_timer, &QTimer::timeout, this, [this] { show(QString()); });
}

FNWErrorLine::~FNWErrorLine() = default;

void FNWErrorLine::show(const QString& text)
{
    if (text.isEmpty())
        m_timer->stop();
    else
        m_timer->start();
    if (m_text == text)
        return;
    m_text = text;
    emit textChanged(m_text);
}

void FNWErrorLine::setClearInterval(int milliseconds)
{
    m_timer->setInterval(milliseconds);
}
