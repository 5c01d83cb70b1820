// Every #include "folder/..." of our sources, against the one order of layers (README,
// "Architecture"): a file may include its own layer and the layers below it, never one above.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

enum class Layer { Support, Base, Records, Engine, Rules, Toolkit, Windows, Shell, Tools, Bench, Unknown };

// The layers each may include. Rules, windows and shell files may also include their own
// subsystem's other files of the same layer. Tools use the core library only; benchmarks may also
// drive the widgets offscreen, but never the shell.
const std::map<Layer, QSet<Layer>> kAllowed = {
    {Layer::Support, {Layer::Support}},
    {Layer::Base, {Layer::Support, Layer::Base}},
    {Layer::Records, {Layer::Support, Layer::Base, Layer::Records}},
    {Layer::Engine, {Layer::Support, Layer::Base, Layer::Records, Layer::Engine}},
    {Layer::Rules, {Layer::Support, Layer::Base, Layer::Records, Layer::Engine, Layer::Rules}},
    // The toolkit knows no subsystem.
    {Layer::Toolkit, {Layer::Support, Layer::Base, Layer::Toolkit}},
    {Layer::Windows,
     {Layer::Support, Layer::Base, Layer::Records, Layer::Engine, Layer::Rules, Layer::Toolkit, Layer::Windows}},
    {Layer::Shell,
     {Layer::Support, Layer::Base, Layer::Records, Layer::Engine, Layer::Rules, Layer::Toolkit, Layer::Windows,
      Layer::Shell}},
    {Layer::Tools, {Layer::Support, Layer::Base, Layer::Records, Layer::Engine, Layer::Rules}},
    {Layer::Bench,
     {Layer::Support, Layer::Base, Layer::Records, Layer::Engine, Layer::Rules, Layer::Toolkit, Layer::Windows}},
};

const char* name(Layer layer)
{
    switch (layer) {
    case Layer::Support:
        return "support";
    case Layer::Base:
        return "base";
    case Layer::Records:
        return "records (model, db)";
    case Layer::Engine:
        return "engine";
    case Layer::Rules:
        return "the rules behind a view";
    case Layer::Toolkit:
        return "the toolkit (ui)";
    case Layer::Windows:
        return "a subsystem's windows";
    case Layer::Shell:
        return "the application shell (app)";
    case Layer::Tools:
        return "tools";
    case Layer::Bench:
        return "benchmarks";
    case Layer::Unknown:
        break;
    }
    return "no known layer";
}

// What a file of src/ is, by folder; in the subsystems' folders, a file built into the widget
// library (or the header of one) is a window, any other is a rule.
class Layers
{
public:
    explicit Layers(const QStringList& widgetSources)
    {
        for (const QString& source : widgetSources)
            m_windows.insert(QFileInfo(source).path() + QLatin1Char('/') + QFileInfo(source).completeBaseName());
    }

    Layer ofSource(const QString& pathInSrc) const
    {
        const QString folder = pathInSrc.section(QLatin1Char('/'), 0, 0);
        if (folder == QLatin1String("support"))
            return Layer::Support;
        if (folder == QLatin1String("base"))
            return Layer::Base;
        if (folder == QLatin1String("model") || folder == QLatin1String("db"))
            return Layer::Records;
        if (folder == QLatin1String("engine"))
            return Layer::Engine;
        if (folder == QLatin1String("ui"))
            return Layer::Toolkit;
        if (folder == QLatin1String("app"))
            return Layer::Shell;
        if (folder == QLatin1String("compose") || folder == QLatin1String("targets") ||
            folder == QLatin1String("results")) {
            const QFileInfo file(pathInSrc);
            return m_windows.contains(file.path() + QLatin1Char('/') + file.completeBaseName()) ? Layer::Windows
                                                                                                : Layer::Rules;
        }
        return Layer::Unknown;
    }

private:
    QSet<QString> m_windows;
};

struct Violation
{
    QString where;
    QString included;
    Layer from;
    Layer to;
};

std::vector<Violation> violations(const QString& root, const Layers& layers)
{
    static const QRegularExpression include(QStringLiteral(R"re(^\s*#\s*include\s+"(([a-z]+)/[^"]+)")re"));
    std::vector<Violation> found;
    for (const QString& top : {QStringLiteral("src"), QStringLiteral("tools"), QStringLiteral("bench")}) {
        QDirIterator files(root + QLatin1Char('/') + top, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            const QString relative = QDir(root).relativeFilePath(path);
            const Layer from = top == QLatin1String("src")     ? layers.ofSource(relative.mid(4))
                               : top == QLatin1String("bench") ? Layer::Bench
                                                               : Layer::Tools;
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
                continue;
            int line = 0;
            while (!file.atEnd()) {
                ++line;
                const QRegularExpressionMatch match = include.match(QString::fromUtf8(file.readLine()));
                if (!match.hasMatch())
                    continue;
                const Layer to = layers.ofSource(match.captured(1));
                // Tools' own headers ("agent/...") are not layers of src/.
                if (to == Layer::Unknown || from == Layer::Unknown)
                    continue;
                if (!kAllowed.at(from).contains(to))
                    found.push_back({QStringLiteral("%1:%2").arg(relative).arg(line), match.captured(1), from, to});
            }
        }
    }
    return found;
}

QString report(const std::vector<Violation>& found)
{
    QStringList lines;
    for (const Violation& violation : found)
        lines << QStringLiteral("%1: includes %2 (%3 may not include %4)")
                     .arg(violation.where, violation.included, QString::fromLatin1(name(violation.from)),
                          QString::fromLatin1(name(violation.to)));
    return lines.join(QLatin1Char('\n'));
}

const QStringList kWidgetSources =
    QString::fromUtf8(FENWAVE_WIDGET_SOURCES).split(QLatin1Char(','), Qt::SkipEmptyParts);

TEST(FNWLayersTest, NoFileIncludesALayerAboveItsOwn)
{
    ASSERT_FALSE(kWidgetSources.isEmpty());
    const std::vector<Violation> found = violations(QString::fromUtf8(FENWAVE_SOURCE_DIR), Layers(kWidgetSources));
    EXPECT_TRUE(found.empty()) << report(found).toStdString();
}

// The check itself, on a small tree of its own: one include of each kind.
TEST(FNWLayersTest, TheCheckNamesFileAndLineOfEachUpwardInclude)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const auto write = [&](const QString& path, const QByteArray& text) {
        QDir(root.path()).mkpath(QFileInfo(path).path());
        QFile file(root.filePath(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    write(QStringLiteral("src/db/Store.cpp"), "#include \"db/Store.h\"\n#include \"base/Paths.h\"\n"
                                              "#include \"engine/Run.h\"\n");
    write(QStringLiteral("src/ui/Table.cpp"), "#include \"compose/Roles.h\"\n");
    write(QStringLiteral("src/compose/List.cpp"), "#include \"compose/Window.h\"\n#include \"targets/Rules.h\"\n");
    write(QStringLiteral("src/compose/Window.cpp"), "#include \"ui/Table.h\"\n#include \"app/Shell.h\"\n");
    write(QStringLiteral("bench/Bench.cpp"), "#include \"compose/Window.h\"\n#  include \"app/Shell.h\"\n");
    write(QStringLiteral("tools/agent/Agent.cpp"), "#include \"engine/Run.h\"\n#include \"compose/Window.h\"\n");

    const std::vector<Violation> found = violations(root.path(), Layers({QStringLiteral("compose/Window.cpp")}));
    QStringList where;
    for (const Violation& violation : found)
        where << violation.where + QLatin1Char(' ') + violation.included;
    where.sort();
    EXPECT_EQ(where, (QStringList{QStringLiteral("bench/Bench.cpp:2 app/Shell.h"),
                                  QStringLiteral("src/compose/List.cpp:1 compose/Window.h"),
                                  QStringLiteral("src/compose/Window.cpp:2 app/Shell.h"),
                                  QStringLiteral("src/db/Store.cpp:3 engine/Run.h"),
                                  QStringLiteral("src/ui/Table.cpp:1 compose/Roles.h"),
                                  QStringLiteral("tools/agent/Agent.cpp:2 compose/Window.h")}))
        << report(found).toStdString();
}

} // namespace
