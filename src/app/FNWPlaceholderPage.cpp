#include "app/FNWPlaceholderPage.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

FNWPlaceholderPage::FNWPlaceholderPage(const QString& text, QWidget* parent)
    : QWidget(parent)
    , m_label(new QLabel(text, this))
{
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    QFont font = m_label->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    m_label->setFont(font);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addWidget(m_label);
    applyMutedColor();
}

FNWPlaceholderPage::~FNWPlaceholderPage() = default;

QString FNWPlaceholderPage::text() const
{
    return m_label->text();
}

void FNWPlaceholderPage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        applyMutedColor();
}

void FNWPlaceholderPage::applyMutedColor()
{
    // Placeholder text is the palette's own muted colour, readable in light and dark themes.
    QPalette colors = m_label->palette();
    colors.setColor(QPalette::WindowText, palette().color(QPalette::PlaceholderText));
    m_label->setPalette(colors);
}
