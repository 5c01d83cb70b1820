#include "app/FNWPreferencesWindow.h"

#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"
#include "support/FNWFormat.h"
#include "ui/FNWArtwork.h"

#include <QActionGroup>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QString key(const char* text)
{
    return QString::fromLatin1(text);
}

// A number as the frames keep it: an integer, or a decimal from elsewhere.
const QString kNumber = QStringLiteral("\\s*(-?\\d+(?:\\.\\d+)?)\\s*");

} // namespace

FNWGeneralPreferencesPane::FNWGeneralPreferencesPane(QWidget* parent)
    : QWidget(parent)
    , m_versions(new QButtonGroup(this))
    , m_iperf3(new QRadioButton(QStringLiteral("iperf3"), this))
    , m_iperf2(new QRadioButton(QStringLiteral("iperf2"), this))
{
    setObjectName(QString::fromLatin1(kIdentifier));
    m_versions->addButton(m_iperf3, 0);
    m_versions->addButton(m_iperf2, 1);
    // Only a click writes: showing the stored value never does.
    connect(m_versions, &QButtonGroup::idClicked, this,
            [](int version) { FNWUtils::setUserSetting(version, key(kiPerfVersionKey)); });

    auto* versions = new QVBoxLayout;
    versions->setSpacing(6);
    versions->addWidget(m_iperf3);
    versions->addWidget(m_iperf2);
    auto* form = new QFormLayout(this);
    form->setContentsMargins(28, 20, 28, 24);
    form->setLabelAlignment(Qt::AlignRight);
    form->addRow(QStringLiteral("Run tests with:"), versions);
    showStoredVersion();
}

FNWGeneralPreferencesPane::~FNWGeneralPreferencesPane() = default;

void FNWGeneralPreferencesPane::showStoredVersion()
{
    const QVariant stored = FNWUtils::getUserSettingForKey(key(kiPerfVersionKey));
    bool isNumber = false;
    const int version = stored.toInt(&isNumber);
    m_versions->setExclusive(false);
    m_iperf3->setChecked(!stored.isValid() || (isNumber && version == 0));
    m_iperf2->setChecked(isNumber && version == 1);
    m_versions->setExclusive(true);
}

void FNWGeneralPreferencesPane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    showStoredVersion();
}

FNWPreferencesWindow::FNWPreferencesWindow(QWidget* parent)
    : QMainWindow(parent, Qt::Window)
    , m_toolbar(new QToolBar(QStringLiteral("Panes"), this))
    , m_paneActions(new QActionGroup(this))
    , m_panes(new QStackedWidget(this))
    , m_general(new FNWGeneralPreferencesPane)
{
    setObjectName(QStringLiteral("FNWPreferencesWindow"));
    setWindowTitle(QStringLiteral("Fenwave Preferences"));

    m_toolbar->setObjectName(QStringLiteral("preferencesToolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(QSize(24, 24));
    addToolBar(m_toolbar);
    m_paneActions->setExclusive(true);
    setCentralWidget(m_panes);
    // A preferences window closes as a dialog does.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);

    addPane(m_general, key(FNWGeneralPreferencesPane::kIdentifier), QStringLiteral("General"),
            QStringLiteral("general"));

    m_frameSave.setSingleShot(true);
    m_frameSave.setInterval(kFrameSaveDelayMs);
    connect(&m_frameSave, &QTimer::timeout, this, &FNWPreferencesWindow::saveFrame);

    const QString stored = FNWUtils::getUserSettingForKey(key(kPreferencesSelectedViewKey)).toString();
    const auto actions = m_paneActions->actions();
    const bool known = std::any_of(actions.begin(), actions.end(),
                                   [&](const QAction* action) { return action->data().toString() == stored; });
    selectPane(known ? stored : actions.constFirst()->data().toString());
    restoreFrame(parent);
}

FNWPreferencesWindow::~FNWPreferencesWindow() = default;

void FNWPreferencesWindow::addPane(QWidget* pane, const QString& identifier, const QString& label, const QString& image)
{
    m_panes->addWidget(pane);
    QAction* action = m_toolbar->addAction(FNWArtwork::icon(image), label);
    action->setCheckable(true);
    action->setData(identifier);
    m_paneActions->addAction(action);
    connect(action, &QAction::triggered, this, [this, identifier] { selectPane(identifier); });
}

QString FNWPreferencesWindow::selectedIdentifier() const
{
    const QAction* checked = m_paneActions->checkedAction();
    return checked ? checked->data().toString() : QString();
}

void FNWPreferencesWindow::selectPane(const QString& identifier)
{
    const auto actions = m_paneActions->actions();
    for (int i = 0; i < actions.size(); ++i) {
        if (actions[i]->data().toString() != identifier)
            continue;
        actions[i]->setChecked(true);
        m_panes->setCurrentIndex(i);
        FNWUtils::setUserSetting(identifier, key(kPreferencesSelectedViewKey));
        FNWNotificationCenter::defaultCenter().postNotificationName(
            key(MASPreferencesWindowControllerDidChangeViewNotification), this);
        return;
    }
}

QString FNWPreferencesWindow::paneFrameKey() const
{
    return FNWStringWithFormat(kPreferencesPaneFrameKeyFormat, selectedIdentifier());
}

QString FNWPreferencesWindow::stringFromPoint(const QPoint& point)
{
    return QStringLiteral("{%1, %2}").arg(point.x()).arg(point.y());
}

QString FNWPreferencesWindow::stringFromFrame(const QRect& frame)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height());
}

std::optional<QPoint> FNWPreferencesWindow::pointFromString(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*\\{%1,%1\\}\\s*$").arg(kNumber));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return QPoint(qRound(match.captured(1).toDouble()), qRound(match.captured(2).toDouble()));
}

std::optional<QRect> FNWPreferencesWindow::frameFromString(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*\\{\\s*\\{%1,%1\\}\\s*,\\s*\\{%1,%1\\}\\s*\\}\\s*$").arg(kNumber));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    auto number = [&](int i) { return qRound(match.captured(i).toDouble()); };
    return QRect(number(1), number(2), number(3), number(4));
}

void FNWPreferencesWindow::restoreFrame(QWidget* parent)
{
    const std::optional<QRect> frame = frameFromString(FNWUtils::getUserSettingForKey(paneFrameKey()).toString());
    if (frame && frame->width() > 0 && frame->height() > 0)
        resize(frame->size().expandedTo(minimumSizeHint()));
    else
        resize(sizeHint().expandedTo(QSize(420, 220)));

    std::optional<QPoint> topLeft =
        pointFromString(FNWUtils::getUserSettingForKey(key(kPreferencesFrameTopLeftKey)).toString());
    if (!topLeft && frame)
        topLeft = frame->topLeft();
    // A place on a screen that is no longer there would hide the window.
    if (topLeft && QGuiApplication::screenAt(*topLeft))
        move(*topLeft);
    else if (parent)
        move(parent->geometry().center() - rect().center());
}

void FNWPreferencesWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    m_moved = true;
    m_frameSave.start();
}

void FNWPreferencesWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    m_resized = true;
    m_frameSave.start();
}

void FNWPreferencesWindow::saveFrame()
{
    m_frameSave.stop();
    if (m_moved)
        FNWUtils::setUserSetting(stringFromPoint(pos()), key(kPreferencesFrameTopLeftKey));
    if (m_resized)
        FNWUtils::setUserSetting(stringFromFrame(QRect(pos(), size())), paneFrameKey());
    m_moved = false;
    m_resized = false;
}

void FNWPreferencesWindow::closeEvent(QCloseEvent* event)
{
    saveFrame();
    QMainWindow::closeEvent(event);
    FNWNotificationCenter::defaultCenter().postNotificationName(key(MASPreferencesWindowControllerDidCloseNotification),
                                                                this);
}
