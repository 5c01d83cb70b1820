#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

namespace fnw::test {

// The temporary home made for this test process (also XDG data, config and cache).
QString testHome();

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& data);

} // namespace fnw::test

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
