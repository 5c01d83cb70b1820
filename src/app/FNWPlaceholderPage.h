#pragma once

#include "base/FNWMainWindowPages.h"

#include <QWidget>

class QLabel;

// Stands in for a tab's page until the real one is put in its slot: a centred, muted line of
// text. It has nothing to run and no history to load.
class FNWPlaceholderPage final : public QWidget, public FNWHomePage, public FNWMyTestsPage, public FNWHistoryPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWPlaceholderPage)

public:
    explicit FNWPlaceholderPage(const QString& text, QWidget* parent = nullptr);
    ~FNWPlaceholderPage() override;

    QString text() const;

    bool startStopButtonDidClicked() override { return false; }
    bool startProfileExecutionButtonDidPressed() override { return false; }
    void loadViewsDataFromDatabase() override {}
    bool startProfileExecutionForProifleID(std::int64_t) override { return false; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyMutedColor();

    QLabel* m_label;
};
