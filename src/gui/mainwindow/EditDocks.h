#pragma once

// The edit docks beside the monitoring area: at most one per kind, tabbed together with its
// partners, found again by kind (never by the translated title it shows).

#include <QIcon>
#include <QObject>

#include <optional>

class QDialog;
class QMenu;

namespace ads {
class CDockManager;
class CDockWidget;
} // namespace ads

enum class EditDockKind { Project, Standard, Service, Box };

class EditDocks : public QObject
{
    Q_OBJECT
public:
    EditDocks(ads::CDockManager *manager, QMenu *viewMenu, const QIcon &icon, QObject *parent);

    // The title a dock of this kind shows.
    static QString title(EditDockKind kind);
    // The kind whose shown title this is; false for any other text.
    static bool kindOfTitle(const QString &title, EditDockKind *kind);

    // The open dock of this kind, or null. A discarded dock is no longer found.
    ads::CDockWidget *find(EditDockKind kind) const;
    // A dock around the dialog with its View-menu entry, not placed yet.
    ads::CDockWidget *create(EditDockKind kind, QWidget *dialog);
    // Tabs the dock into the area of an open partner, else opens it on the right.
    void place(ads::CDockWidget *dock);
    ads::CDockWidget *open(EditDockKind kind, QDialog *dialog);
    // A dock a restored layout had hidden (and taken out of its area) shows again; comes to
    // the front.
    void bringBack(ads::CDockWidget *dock);
    // Closes a dock for good; its View-menu entry goes at once, so a lookup later in the same
    // command cannot find the dying dock.
    void discard(ads::CDockWidget *dock);
    // Discards the dock of this kind; false when none was open.
    bool close(EditDockKind kind);
    // Every edit dock, but the one of kind `keep` when given.
    void closeAll(std::optional<EditDockKind> keep = std::nullopt);

signals:
    // A dock was placed: the window fits its width to the content.
    void placed(ads::CDockWidget *dock);
    // The dock's editor got a first tab (a device's slave or meter with its table): the window
    // fits the width again.
    void contentGrew(ads::CDockWidget *dock);

private:
    ads::CDockManager *m_manager;
    QMenu *m_viewMenu;
    QIcon m_icon;
};
