#pragma once

// Small file systems for full-disk and read-only cases: a tmpfs mounted in a mount namespace of
// the test process's own, so no other process (nor another test) ever sees it. Making the
// namespace needs root or CAP_SYS_ADMIN; without it such tests skip, but fail under CI (which
// runs as root), so a lost privilege cannot turn them into silent passes.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtTest>

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

namespace SmallDisk {

// unshare() of the mount namespace works only while the process has one thread, so it runs
// during static initialisation, before main() starts Qt. Empty when it worked, else why not.
inline QString enterPrivateMounts()
{
    if (::unshare(CLONE_NEWNS) != 0)
        return QStringLiteral("cannot make a mount namespace (%1); these cases need root or CAP_SYS_ADMIN")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    // Nothing mounted here may reach the namespace the test was started in.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return QStringLiteral("cannot make the mounts private: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return QString();
}

inline const QString &namespaceProblem()
{
    static const QString problem = enterPrivateMounts();
    return problem;
}
inline const bool g_entered = (namespaceProblem(), true);

// A tmpfs of `bytes` at `directory` (an existing, empty directory), unmounted on destruction.
class Tmpfs
{
public:
    Tmpfs(const QString &directory, qint64 bytes) : m_directory(QFile::encodeName(directory))
    {
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        if (!namespaceProblem().isEmpty())
            m_problem = namespaceProblem();
        else if (::mount("orvane-test", m_directory.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                         options.constData())
                 != 0)
            m_problem = QStringLiteral("cannot mount a tmpfs: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        else
            m_mounted = true;
    }
    ~Tmpfs()
    {
        if (m_mounted)
            ::umount2(m_directory.constData(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs &) = delete;
    Tmpfs &operator=(const Tmpfs &) = delete;

    // Empty when mounted.
    QString problem() const { return m_problem; }

    // From now on nobody, root included, writes here.
    bool makeReadOnly()
    {
        return m_mounted
               && ::mount(nullptr, m_directory.constData(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV,
                          nullptr)
                      == 0;
    }

    // Fills the rest of the disk with the file `name`; the bytes it took.
    qint64 fill(const QString &name) const
    {
        QFile filler(QFile::decodeName(m_directory) + QLatin1Char('/') + name);
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return 0;
        const QByteArray block(4096, 'f');
        qint64 total = 0;
        for (int i = 0; i < 1 << 16; ++i) { // bounded: 256 MiB at most
            const qint64 n = filler.write(block);
            if (n <= 0)
                break;
            total += n;
        }
        return total;
    }

private:
    QByteArray m_directory;
    QString m_problem;
    bool m_mounted = false;
};

} // namespace SmallDisk

// Skips the current test when the tmpfs could not be made, except under CI.
#define SMALLDISK_REQUIRE(disk)                                                                    \
    do {                                                                                           \
        if (!(disk).problem().isEmpty()) {                                                         \
            if (qEnvironmentVariable("CI") == QLatin1String("true"))                              \
                QFAIL(qPrintable((disk).problem()));                                               \
            QSKIP(qPrintable((disk).problem()));                                                   \
        }                                                                                          \
    } while (false)
