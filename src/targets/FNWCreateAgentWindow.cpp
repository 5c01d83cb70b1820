#include "targets/FNWCreateAgentWindow.h"

#include "ui/FNWPalette.h"

#include <QAbstractTableModel>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

enum Column { IPAddressColumn = 0, PortColumn = 1, NameColumn = 2, RemoveButtonColumn = 3, ColumnCount = 4 };

} // namespace

// The controller's rows as a table: address, port and name are edited as text.
class FNWCreateAgentWindow::AgentTableModel final : public QAbstractTableModel
{
public:
    explicit AgentTableModel(FNWCreateAgentWindowController* controller, QObject* parent)
        : QAbstractTableModel(parent)
        , m_controller(controller)
        , m_columns(FNWCreateAgentWindowController::columnIdentifiers())
    {
    }

    void reload()
    {
        beginResetModel();
        endResetModel();
    }

    void rowDidChange(int row) { emit dataChanged(index(row, IPAddressColumn), index(row, NameColumn)); }

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_controller->agentArray().size());
    }

    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : ColumnCount; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.column() == RemoveButtonColumn)
            return {};
        if (role != Qt::DisplayRole && role != Qt::EditRole)
            return {};
        // Text in both roles, so that the editor is a plain line edit for the port too.
        const QVariant value = m_controller->objectValue(m_columns.at(index.column()), index.row());
        return index.column() == PortColumn ? QString::number(value.toLongLong()) : value.toString();
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (!index.isValid() || role != Qt::EditRole || index.column() == RemoveButtonColumn)
            return false;
        m_controller->setObjectValue(value.toString(), m_columns.at(index.column()), index.row());
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        if (index.column() == RemoveButtonColumn)
            return Qt::ItemIsEnabled;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        switch (section) {
        case IPAddressColumn:
            return QStringLiteral("IP Address");
        case PortColumn:
            return QStringLiteral("Port");
        case NameColumn:
            return QStringLiteral("Name");
        default:
            return QString();
        }
    }

private:
    FNWCreateAgentWindowController* m_controller;
    QStringList m_columns;
};

namespace {

// The port cell takes digits only.
class PortCellDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,5}")), line));
            line->setObjectName(QStringLiteral("portEditor"));
        }
        return editor;
    }
};

} // namespace

// The table, able to commit an open cell editor on demand (a button click does not end editing).
class FNWCreateAgentWindow::AgentTableView final : public QTableView
{
public:
    using QTableView::QTableView;

    void commitOpenEditor()
    {
        if (state() != EditingState)
            return;
        if (QWidget* editor = indexWidget(currentIndex())) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
};

FNWCreateAgentWindow::FNWCreateAgentWindow(QWidget* parent)
    : QDialog(parent)
    , m_controller(new FNWCreateAgentWindowController(this))
    , m_model(new AgentTableModel(m_controller, this))
    , m_table(new AgentTableView(this))
    , m_error(new QLabel(this))
    , m_addRow(new QPushButton(QStringLiteral("Add"), this))
    , m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
    , m_save(new QPushButton(QStringLiteral("Save"), this))
{
    setWindowTitle(QStringLiteral("Add Target Servers"));
    setModal(false);
    setSizeGripEnabled(false);

    m_table->setModel(m_model);
    m_table->setItemDelegateForColumn(PortColumn, new PortCellDelegate(m_table));
    m_table->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_table->setAlternatingRowColors(true);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    QHeaderView* header = m_table->horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    header->resizeSection(IPAddressColumn, 160);
    header->resizeSection(PortColumn, 80);
    header->resizeSection(RemoveButtonColumn, kRowHeight + 6);
    m_table->setMinimumSize(500, 8 * kRowHeight);

    m_error->setObjectName(QStringLiteral("errorTextField"));
    m_error->setWordWrap(true);
    m_error->setMinimumHeight(m_error->fontMetrics().lineSpacing());
    updateErrorColour();

    m_addRow->setIcon(QIcon::fromTheme(QStringLiteral("list-add")));
    m_addRow->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    m_save->setAutoDefault(false); // stays the default after it had the focus
    m_save->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_addRow);
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 14);
    layout->setSpacing(8);
    layout->addWidget(m_table);
    layout->addWidget(m_error);
    layout->addLayout(buttons);
    // Not resizable.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_controller, &FNWCreateAgentWindowController::agentArrayChanged, this, &FNWCreateAgentWindow::reloadTable);
    connect(m_controller, &FNWCreateAgentWindowController::rowChanged, this,
            [this](int row) { m_model->rowDidChange(row); });
    connect(m_controller, &FNWCreateAgentWindowController::errorTextChanged, this,
            &FNWCreateAgentWindow::errorTextDidChange);
    connect(m_controller, &FNWCreateAgentWindowController::closeWindowRequested, this, &QWidget::hide);
    connect(m_addRow, &QPushButton::clicked, this, [this] {
        m_table->commitOpenEditor();
        m_controller->addRowButtonDidClicked();
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_controller->cancelButtonDidClicked(); });
    connect(m_save, &QPushButton::clicked, this, &FNWCreateAgentWindow::saveClicked);
}

FNWCreateAgentWindow::~FNWCreateAgentWindow() = default;

void FNWCreateAgentWindow::setDelegate(CreateAgentWindowDelegate* delegate)
{
    m_controller->setDelegate(delegate);
}

QTableView* FNWCreateAgentWindow::tableView() const
{
    return m_table;
}

QToolButton* FNWCreateAgentWindow::removeButton(int row) const
{
    return qobject_cast<QToolButton*>(m_table->indexWidget(m_model->index(row, RemoveButtonColumn)));
}

void FNWCreateAgentWindow::openWindow()
{
    const bool opening = !isVisible();
    if (opening) {
        m_controller->showWindow();
        show();
    }
    raise();
    activateWindow();
    // The text cursor waits in the first row's address.
    if (opening)
        startEditingCell({0, FNWCreateAgentWindowController::columnIdentifiers().constFirst()});
}

void FNWCreateAgentWindow::reject()
{
    m_controller->cancelButtonDidClicked();
}

void FNWCreateAgentWindow::reloadTable()
{
    m_model->reload();
    // Row 0 has no remove button: the table always keeps one row.
    for (int row = 1; row < m_model->rowCount({}); ++row) {
        auto* remove = new QToolButton;
        remove->setAutoRaise(true);
        remove->setFocusPolicy(Qt::NoFocus);
        remove->setIcon(QIcon::fromTheme(QStringLiteral("list-remove")));
        if (remove->icon().isNull())
            remove->setText(QStringLiteral("\u2212"));
        remove->setToolTip(QStringLiteral("Remove this server"));
        connect(remove, &QToolButton::clicked, this, [this, row] {
            m_table->commitOpenEditor();
            m_controller->removeRowButtonDidClicked(row);
        });
        m_table->setIndexWidget(m_model->index(row, RemoveButtonColumn), remove);
    }
}

void FNWCreateAgentWindow::saveClicked()
{
    m_table->commitOpenEditor();
    if (const auto failed = m_controller->saveAgentButtonDidClicked())
        startEditingCell(*failed);
}

void FNWCreateAgentWindow::startEditingCell(const FNWAgentTableCell& cell)
{
    const int column =
        static_cast<int>(FNWCreateAgentWindowController::columnIdentifiers().indexOf(cell.columnIdentifier));
    const QModelIndex index = m_model->index(cell.row, column);
    if (!index.isValid())
        return;
    m_table->setFocus(Qt::OtherFocusReason);
    m_table->setCurrentIndex(index); // may open the editor already
    if (!m_table->indexWidget(index))
        m_table->edit(index);
    if (auto* editor = qobject_cast<QLineEdit*>(m_table->indexWidget(index))) {
        editor->setFocus(Qt::OtherFocusReason);
        editor->selectAll();
    }
}

void FNWCreateAgentWindow::errorTextDidChange(const QString& text)
{
    m_error->setText(text);
}

void FNWCreateAgentWindow::updateErrorColour()
{
    QPalette colors = m_error->palette();
    colors.setColor(QPalette::WindowText, FNWPalette::warningColor(palette()));
    m_error->setPalette(colors);
}

void FNWCreateAgentWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // The red depends on whether the window is light or dark.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        updateErrorColour();
}
