#pragma once

// What the deployment questions need of the window that owns the projects: whether a project
// is held by its file as it stands, and the window's own save of it. The main window implements
// it; the questions find it as the host of their parent widget (FindingOpener::hostOf).

class QStandardItem;

class ProjectSaver
{
public:
    enum class SaveState {
        Saved,      // its file holds exactly what it would save now (or the window does not
                    // own it, so has no save to offer)
        NeverSaved, // no file holds it: new, and not saved since
        Changed,    // it differs from what its file held when last read or written
    };

    virtual ~ProjectSaver() = default;

    virtual SaveState projectSaveState(const QStandardItem *project) const = 0;
    // Saves through the window's own save command; false (after telling the user) when the
    // file was not written.
    virtual bool saveProject(QStandardItem *project) = 0;
};
