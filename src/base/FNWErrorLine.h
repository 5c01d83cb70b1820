#pragma once

#include <QObject>
#include <QString>

class QTimer;

// An editor window's error line: a message stays for 5 seconds after the last one was shown, then
// the line empties itself. Each new message starts the time over.
class FNWErrorLine final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWErrorLine)

public:
    static constexpr int kClearMs = 5000;

    explicit FNWErrorLine(QObject* parent = nullptr);
    ~FNWErrorLine() override;

    QString text() const { return m_text; }
    // An empty text clears the line at once.
    void show(const QString& text);
    // Tests shorten the 5 seconds.
    void setClearInterval(int milliseconds);

signals:
    void textChanged(const QString& text);

private:
    QString m_text;
    QTimer* m_timer;
};
