#pragma once

#include <QString>

#include <functional>

class QWidget;

// The save dialog of the exports.
class FNWSavePanel final
{
public:
    FNWSavePanel() = delete;

    // Proposes the name in the user's Documents folder (else home); folders may be created.
    // Returns the chosen path, or an empty text when the user cancelled.
    static QString presentSavePanelForPath(const QString& proposedName, QWidget* parent = nullptr);

    // Replaces the dialog: the handler gets the proposed name and answers a path or an empty
    // text. An empty handler brings the dialog back. The choice is logged either way.
    static void setSavePanelHandlerForTesting(std::function<QString(const QString&)> handler);
};
