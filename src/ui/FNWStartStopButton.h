#pragma once

#include <QAbstractButton>

// The toolbar's start/stop control. Its tag tells what a click offers: 0 a start, 1 a stop; the
// look follows the tag, with the pressed ("-selected") artwork while held down.
class FNWStartStopButton final : public QAbstractButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWStartStopButton)

public:
    enum Tag { OffersStart = 0, OffersStop = 1 };

    explicit FNWStartStopButton(QWidget* parent = nullptr);
    ~FNWStartStopButton() override;

    int tag() const { return m_tag; }
    void setTag(int tag);

    // "start" or "stop", and the pressed look "start-selected" or "stop-selected".
    QString imageName() const;
    QString alternateImageName() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_tag = OffersStart;
};
