#include "gui/mainwindow/EditDocks.h"

#include "gui/mainwindow/DockedEditorKeys.h"

#include <qtadvanceddocking/DockAreaWidget.h>
#include <qtadvanceddocking/DockContainerWidget.h>
#include <qtadvanceddocking/DockManager.h>
#include <qtadvanceddocking/DockWidget.h>

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QTabWidget>

namespace {
// Dock property holding its EditDockKind; docks without it are no edit docks.
const char *const kKindProperty = "orvaneEditDockKind";

constexpr EditDockKind kAllKinds[] = {EditDockKind::Project, EditDockKind::Standard,
                                      EditDockKind::Service, EditDockKind::Box};

bool kindOf(const ads::CDockWidget *dock, EditDockKind *kind)
{
    const QVariant value = dock ? dock->property(kKindProperty) : QVariant();
    if (!value.isValid())
        return false;
    *kind = static_cast<EditDockKind>(value.toInt());
    return true;
}

// The kinds a new dock of this kind tabs in with.
QList<EditDockKind> partnersOf(EditDockKind kind)
{
    switch (kind) {
    case EditDockKind::Project:
        return {EditDockKind::Box};
    case EditDockKind::Standard:
        return {EditDockKind::Service, EditDockKind::Box, EditDockKind::Project};
    case EditDockKind::Service:
        return {EditDockKind::Standard, EditDockKind::Box, EditDockKind::Project};
    case EditDockKind::Box:
        return {EditDockKind::Service, EditDockKind::Standard, EditDockKind::Project};
    }
    return {};
}
} // namespace

EditDocks::EditDocks(ads::CDockManager *manager, QMenu *viewMenu, const QIcon &icon, QObject *parent)
    : QObject(parent)
    , m_manager(manager)
    , m_viewMenu(viewMenu)
    , m_icon(icon)
{
}

QString EditDocks::title(EditDockKind kind)
{
    switch (kind) {
    case EditDockKind::Project:
        return QObject::tr("Edit Project");
    case EditDockKind::Standard:
        return QObject::tr("Edit Standard");
    case EditDockKind::Service:
        return QObject::tr("Edit Service");
    case EditDockKind::Box:
        return QObject::tr("Edit Box");
    }
    return QString();
}

bool EditDocks::kindOfTitle(const QString &text, EditDockKind *kind)
{
    for (EditDockKind candidate : kAllKinds) {
        if (title(candidate) == text) {
            *kind = candidate;
            return true;
        }
    }
    return false;
}

ads::CDockWidget *EditDocks::find(EditDockKind kind) const
{
    // The View menu holds exactly the docks not discarded yet.
    for (QAction *action : m_viewMenu->actions()) {
        auto *dock = qobject_cast<ads::CDockWidget *>(action->parentWidget());
        EditDockKind found;
        if (dock && kindOf(dock, &found) && found == kind)
            return dock;
    }
    return nullptr;
}

ads::CDockWidget *EditDocks::create(EditDockKind kind, QWidget *dialog)
{
    const QString shown = title(kind);
    auto *dock = new ads::CDockWidget(shown);
    dock->setObjectName(shown);
    dock->setProperty(kKindProperty, static_cast<int>(kind));
    dock->setIcon(m_icon);
    dock->setToolBarStyle(Qt::ToolButtonIconOnly, ads::CDockWidget::StateFloating);
    dock->setWidget(dialog);
    m_viewMenu->addAction(dock->toggleViewAction());
    dock->setFeature(ads::CDockWidget::DockWidgetDeleteOnClose, true);
    // A new device's editor opens without tabs; the table its first tab brings must not open
    // cut off.
    for (QTabWidget *tabs : dialog->findChildren<QTabWidget *>()) {
        connect(tabs, &QTabWidget::currentChanged, dock, [this, dock, tabs] {
            if (tabs->count() == 1)
                emit contentGrew(dock);
        });
    }
    if (auto *dlg = qobject_cast<QDialog *>(dialog)) {
        DockedEditorKeys::install(dlg);
        if (kind == EditDockKind::Project) {
            connect(dlg, &QDialog::finished, dock, &ads::CDockWidget::closeDockWidget);
        } else {
            connect(dlg, &QDialog::accepted, dock, &ads::CDockWidget::closeDockWidget);
            connect(dlg, &QDialog::rejected, dock, &ads::CDockWidget::closeDockWidget);
        }
    }
    return dock;
}

void EditDocks::place(ads::CDockWidget *dock)
{
    EditDockKind kind;
    const QList<EditDockKind> partners = kindOf(dock, &kind) ? partnersOf(kind) : QList<EditDockKind>();

    // Walk the areas rather than the widget tree: the docking library takes tabs that are
    // not current out of the widget tree, and those must still be found.
    for (ads::CDockContainerWidget *container : m_manager->dockContainers()) {
        for (int i = 0; i < container->dockAreaCount(); ++i) {
            ads::CDockAreaWidget *area = container->dockArea(i);
            for (ads::CDockWidget *candidate : area->dockWidgets()) {
                EditDockKind candidateKind;
                if (candidate == dock || candidate->isClosed() || !kindOf(candidate, &candidateKind)
                    || !partners.contains(candidateKind))
                    continue;
                m_manager->addDockWidget(ads::CenterDockWidgetArea, dock, area);
                emit placed(dock);
                return;
            }
        }
    }
    m_manager->addDockWidget(ads::RightDockWidgetArea, dock);
    emit placed(dock);
}

ads::CDockWidget *EditDocks::open(EditDockKind kind, QDialog *dialog)
{
    ads::CDockWidget *dock = create(kind, dialog);
    place(dock);
    return dock;
}

void EditDocks::bringBack(ads::CDockWidget *dock)
{
    // Else the user edits, and the box editor reconnects, unseen.
    if (dock->isClosed()) {
        if (dock->dockAreaWidget())
            dock->toggleView(true);
        else
            place(dock);
        if (dock->isClosed())
            dock->toggleView(true);
    }
    dock->raise();
}

void EditDocks::discard(ads::CDockWidget *dock)
{
    if (!dock)
        return;
    // The toggle action lives until the deferred delete; drop it from the View menu now.
    QAction *action = dock->toggleViewAction();
    const QList<QWidget *> holders = action->associatedWidgets();
    for (QWidget *holder : holders)
        holder->removeAction(action);
    QPointer<ads::CDockWidget> guard(dock);
    if (!dock->isClosed())
        dock->closeDockWidget();
    if (guard)
        guard->deleteLater();
}

bool EditDocks::close(EditDockKind kind)
{
    ads::CDockWidget *dock = find(kind);
    discard(dock);
    return dock != nullptr;
}

void EditDocks::closeAll(std::optional<EditDockKind> keep)
{
    for (EditDockKind kind : {EditDockKind::Service, EditDockKind::Project, EditDockKind::Box,
                              EditDockKind::Standard}) {
        if (keep == kind)
            continue;
        // discard takes the entry out of the View menu, so the next lookup moves on.
        ads::CDockWidget *previous = nullptr;
        while (ads::CDockWidget *dock = find(kind)) {
            if (dock == previous)
                break;
            discard(dock);
            previous = dock;
        }
    }
}
