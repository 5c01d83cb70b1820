#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QToolButton;

// A drop area: it takes drags of its format whose source allows copying and hands the dropped
// texts to its delegate.
class DraggEnabledView : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DraggEnabledView)

public:
    explicit DraggEnabledView(const QString& acceptedFormat, QWidget* parent = nullptr);
    ~DraggEnabledView() override;

    // The delegate.
    std::function<void(const QStringList& items)> didReceivedDraggedItems;
    std::function<void()> trashButtonDidClicked;

protected:
    // The action this area takes from a drag.
    virtual Qt::DropAction acceptedAction() const { return Qt::CopyAction; }
    virtual void dragDidHover(bool hovering) { (void)hovering; }

    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    QString m_acceptedFormat;
};

// The trash: it takes drags whose source allows deleting their rows (the link action, for which
// the rows' drag shows the delete cursor), grows its can while one hovers, and empties its list
// when clicked.
class DraggEnabledViewWithTrashButton final : public DraggEnabledView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DraggEnabledViewWithTrashButton)

public:
    DraggEnabledViewWithTrashButton(const QString& acceptedFormat, const QString& identifier,
                                    QWidget* parent = nullptr);
    ~DraggEnabledViewWithTrashButton() override;

    QToolButton* trashButton() const { return m_button; }
    QString identifier() const { return m_identifier; }
    bool isHovered() const { return m_hovered; }

protected:
    // The rows' drag shows the delete cursor for this action.
    Qt::DropAction acceptedAction() const override { return Qt::LinkAction; }
    void dragDidHover(bool hovering) override;
    void changeEvent(QEvent* event) override;

private:
    void showRestingImage();

    QToolButton* m_button;
    QString m_identifier;
    bool m_hovered = false;
};
