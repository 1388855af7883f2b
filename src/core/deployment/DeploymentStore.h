#pragma once

// The project document last sent to each box, kept per (box IP address, project name) in the
// user's data directory, so the next deployment can show what it changes.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class DeploymentStore
{
public:
    // What went wrong, in this class's own words; other failures keep the file system's text.
    enum class Status { Ok, CannotCreate };
    // The translated text of a status; `path` names the place concerned. Empty for Ok.
    static QString statusText(Status status, const QString &path);

    // `root` empty: "deployments" under the application's local data location.
    explicit DeploymentStore(const QString &root = QString());

    QString root() const { return m_root; }
    QString documentPath(const QString &boxIp, const QString &projectName) const;

    // The document last sent, or false when this box never got one for this project from us
    // (or the copy is unreadable, which is treated the same: there is nothing to compare with).
    bool lastDocument(const QString &boxIp, const QString &projectName, QJsonObject *document) const;
    // The same copy as bytes, exactly as the box confirmed them.
    bool lastBytes(const QString &boxIp, const QString &projectName, QByteArray *bytes) const;

    // Replaces the stored copy atomically. On failure returns false with the reason in `error`.
    bool store(const QString &boxIp, const QString &projectName, const QByteArray &document,
               QString *error = nullptr) const;

private:
    QString m_root;
};
