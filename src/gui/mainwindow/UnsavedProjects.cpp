#include "gui/mainwindow/UnsavedProjects.h"

#include "core/project/ItemRecord.h"
#include "core/project/ProjectJson.h"

#include <QCryptographicHash>
#include <QFont>
#include <QStandardItemModel>
#include <QWidget>

namespace {

// What the project's file held when last read or written, as a digest of its path and bytes.
// Kept on the item, in memory only, beside the remembered file path of ProjectFiles.
constexpr int kSavedDigestRole = Qt::UserRole + 0x7001;

QByteArray digest(const QString &filePath, const QByteArray &bytes)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(filePath.toUtf8());
    hash.addData(QByteArray(1, '\0'));
    hash.addData(bytes);
    return hash.result();
}

// Roles that only show an item; no save writes them, so a change to them changes no file.
bool onlyLooks(const QVector<int> &roles)
{
    if (roles.isEmpty())
        return false;
    for (int role : roles) {
        if (role != Qt::FontRole && role != Qt::ToolTipRole && role != Qt::DecorationRole
            && role != Qt::ForegroundRole && role != Qt::BackgroundRole && role != Qt::StatusTipRole)
            return false;
    }
    return true;
}

// An index inside a project's "Data" folder (or the folder itself): live data, never saved.
bool inDataFolder(QModelIndex index)
{
    if (!index.isValid() || !index.parent().isValid())
        return false;
    while (index.parent().parent().isValid())
        index = index.parent();
    return index.data().toString() == Folder::Data;
}

} // namespace

UnsavedProjects::UnsavedProjects(QWidget *window, QStandardItemModel *model)
    : QObject(window)
    , m_window(window)
    , m_model(model)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &UnsavedProjects::refresh);

    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &, const QVector<int> &roles) {
                if (!onlyLooks(roles))
                    changed(topLeft);
            });
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &parent) { changed(parent); });
    connect(model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &parent) { changed(parent); });
    connect(model, &QAbstractItemModel::rowsMoved, this, [this] { changed(QModelIndex()); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { changed(QModelIndex()); });
    connect(model, &QAbstractItemModel::layoutChanged, this, [this] { changed(QModelIndex()); });
}

void UnsavedProjects::changed(const QModelIndex &index)
{
    if (m_applying || inDataFolder(index))
        return;
    if (!m_timer.isActive())
        m_timer.start();
}

void UnsavedProjects::markSaved(QStandardItem *project, const QByteArray &bytes)
{
    m_applying = true;
    project->setData(digest(ProjectJson::projectFilePath(project), bytes), kSavedDigestRole);
    m_applying = false;
    refresh();
}

ProjectSaver::SaveState UnsavedProjects::state(const QStandardItem *project) const
{
    const QByteArray saved = project->data(kSavedDigestRole).toByteArray();
    if (saved.isEmpty())
        return ProjectSaver::SaveState::NeverSaved;
    // A renamed project, or one moved to another directory, would be saved to another file.
    return digest(ProjectJson::projectFilePath(project), ProjectJson::projectFileBytes(project)) == saved
               ? ProjectSaver::SaveState::Saved
               : ProjectSaver::SaveState::Changed;
}

void UnsavedProjects::refresh()
{
    m_timer.stop();
    bool anyUnsaved = false;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QStandardItem *project = m_model->item(row);
        const ProjectSaver::SaveState now = state(project);
        apply(project, now);
        anyUnsaved |= now != ProjectSaver::SaveState::Saved;
    }
    m_window->setWindowModified(anyUnsaved);
}

void UnsavedProjects::apply(QStandardItem *project, ProjectSaver::SaveState state)
{
    // Never the item's text: the project file takes its name from it.
    QVariant font;
    QVariant tip;
    if (state != ProjectSaver::SaveState::Saved) {
        QFont italic;
        italic.setItalic(true);
        font = italic;
        tip = state == ProjectSaver::SaveState::NeverSaved
                  ? tr("Not saved yet: no file holds this project.")
                  : tr("Changed since the last save: %1 does not hold these changes.")
                        .arg(ProjectJson::projectFilePath(project));
    }
    // Setting a mark is a change of the model too; it must not start another round.
    m_applying = true;
    if (project->data(Qt::FontRole) != font)
        project->setData(font, Qt::FontRole);
    if (project->data(Qt::ToolTipRole) != tip)
        project->setData(tip, Qt::ToolTipRole);
    m_applying = false;
}
