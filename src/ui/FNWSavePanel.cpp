#include "ui/FNWSavePanel.h"

#include "support/DDLog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

std::function<QString(const QString&)>& handler()
{
    static std::function<QString(const QString&)> replacement;
    return replacement;
}

QString runDialog(const QString& proposedName, QWidget* parent)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();

    QFileDialog dialog(parent ? parent : QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(folder);
    dialog.selectFile(proposedName);
    // A name typed without its extension still gets the proposed one.
    const QString suffix = QFileInfo(proposedName).suffix();
    if (!suffix.isEmpty())
        dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

void FNWSavePanel::setSavePanelHandlerForTesting(std::function<QString(const QString&)> replacement)
{
    handler() = std::move(replacement);
}

QString FNWSavePanel::presentSavePanelForPath(const QString& proposedName, QWidget* parent)
{
    const QString path = handler() ? handler()(proposedName) : runDialog(proposedName, parent);
    if (path.isEmpty())
        DDLogInfo("FNWUtils: user cancelled save..");
    else
        DDLogInfo("FNWUtils: user selected location is - %@", path);
    return path;
}
