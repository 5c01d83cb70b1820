#include "FNWTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace fnw::test {

QString g_testHome;

QString testHome()
{
    return g_testHome;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
}

} // namespace fnw::test
