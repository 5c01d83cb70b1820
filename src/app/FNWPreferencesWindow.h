#pragma once

#include <QMainWindow>
#include <QTimer>
#include <QWidget>

#include <optional>

class QActionGroup;
class QButtonGroup;
class QRadioButton;
class QStackedWidget;
class QToolBar;

// The General pane: which iperf runs the tests ("iPerf_Version": 0 iperf3, 1 iperf2). The
// setting is written only when the user picks a version.
class FNWGeneralPreferencesPane final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWGeneralPreferencesPane)

public:
    static constexpr char kIdentifier[] = "GeneralPreferences";

    explicit FNWGeneralPreferencesPane(QWidget* parent = nullptr);
    ~FNWGeneralPreferencesPane() override;

    QRadioButton* iperf3Button() const { return m_iperf3; }
    QRadioButton* iperf2Button() const { return m_iperf2; }
    // Checks the stored version's button; nothing stored is iperf3, anything unknown neither.
    void showStoredVersion();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QButtonGroup* m_versions;
    QRadioButton* m_iperf3;
    QRadioButton* m_iperf2;
};

// The preferences window: a toolbar of panes above the selected pane. It remembers its place,
// each pane's frame and the selected pane in the settings, and says when it closes.
class FNWPreferencesWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWPreferencesWindow)

public:
    // Moves and resizes are written once the window has kept still this long.
    static constexpr int kFrameSaveDelayMs = 200;

    explicit FNWPreferencesWindow(QWidget* parent = nullptr);
    ~FNWPreferencesWindow() override;

    QString selectedIdentifier() const;
    // Shows the pane and remembers it as the selected one; an unknown identifier does nothing.
    void selectPane(const QString& identifier);
    FNWGeneralPreferencesPane* generalPane() const { return m_general; }

    // "{x, y}" and "{{x, y}, {w, h}}", the forms the frames are kept in.
    static QString stringFromPoint(const QPoint& point);
    static QString stringFromFrame(const QRect& frame);
    static std::optional<QPoint> pointFromString(const QString& text);
    static std::optional<QRect> frameFromString(const QString& text);

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addPane(QWidget* pane, const QString& identifier, const QString& label, const QString& image);
    void restoreFrame(QWidget* parent);
    void saveFrame();
    QString paneFrameKey() const;

    QToolBar* m_toolbar;
    QActionGroup* m_paneActions;
    QStackedWidget* m_panes;
    FNWGeneralPreferencesPane* m_general;
    QTimer m_frameSave;
    bool m_moved = false;
    bool m_resized = false;
};
