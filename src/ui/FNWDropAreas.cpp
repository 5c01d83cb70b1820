#include "ui/FNWDropAreas.h"

#include "ui/FNWArtwork.h"

#include <QDragEnterEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QMimeData>
#include <QToolButton>

DraggEnabledView::DraggEnabledView(const QString& acceptedFormat, QWidget* parent)
    : QWidget(parent)
    , m_acceptedFormat(acceptedFormat)
{
    setAcceptDrops(true);
}

DraggEnabledView::~DraggEnabledView() = default;

void DraggEnabledView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!event->mimeData()->hasFormat(m_acceptedFormat) || !(event->possibleActions() & acceptedAction())) {
        event->ignore();
        return;
    }
    event->setDropAction(acceptedAction());
    event->accept();
    dragDidHover(true);
}

void DraggEnabledView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!event->mimeData()->hasFormat(m_acceptedFormat) || !(event->possibleActions() & acceptedAction())) {
        event->ignore();
        return;
    }
    event->setDropAction(acceptedAction());
    event->accept();
}

void DraggEnabledView::dragLeaveEvent(QDragLeaveEvent* event)
{
    dragDidHover(false);
    QWidget::dragLeaveEvent(event);
}

void DraggEnabledView::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasFormat(m_acceptedFormat)) {
        event->ignore();
        return;
    }
    const QStringList items{QString::fromUtf8(event->mimeData()->data(m_acceptedFormat))};
    event->setDropAction(acceptedAction());
    event->accept();
    dragDidHover(false);
    if (didReceivedDraggedItems)
        didReceivedDraggedItems(items);
}

DraggEnabledViewWithTrashButton::DraggEnabledViewWithTrashButton(const QString& acceptedFormat,
                                                                 const QString& identifier, QWidget* parent)
    : DraggEnabledView(acceptedFormat, parent)
    , m_button(new QToolButton(this))
    , m_identifier(identifier)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_button);
    m_button->setObjectName(identifier);
    m_button->setAutoRaise(true);
    m_button->setToolTip(tr("Drag rows here to delete them; click to delete all"));
    m_button->setAccessibleName(tr("Trash"));
    m_button->setFixedSize(34, 34);
    showRestingImage();
    connect(m_button, &QToolButton::clicked, this, [this] {
        showRestingImage();
        if (trashButtonDidClicked)
            trashButtonDidClicked();
    });
}

DraggEnabledViewWithTrashButton::~DraggEnabledViewWithTrashButton() = default;

void DraggEnabledViewWithTrashButton::dragDidHover(bool hovering)
{
    m_hovered = hovering;
    if (!hovering) {
        showRestingImage();
        return;
    }
    // The can grows and turns red while rows hover over it.
    const QColor red = palette().color(QPalette::Window).lightness() < 128 ? QColor(255, 105, 97) : QColor(208, 52, 44);
    m_button->setIconSize(QSize(30, 30));
    m_button->setIcon(QIcon(FNWArtwork::pixmap(QStringLiteral("trashcan"), QSize(30, 30), red, devicePixelRatioF())));
}

void DraggEnabledViewWithTrashButton::showRestingImage()
{
    m_button->setIconSize(QSize(22, 22));
    if (m_identifier == QLatin1String("QueueListViewTrashButton")) {
        m_button->setIcon(QIcon(FNWArtwork::pixmap(QStringLiteral("trashcan"), QSize(22, 22),
                                                   palette().color(QPalette::Highlight), devicePixelRatioF())));
    } else {
        m_button->setIcon(FNWArtwork::icon(QStringLiteral("trashcan")));
    }
}

void DraggEnabledViewWithTrashButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        showRestingImage();
    DraggEnabledView::changeEvent(event);
}
