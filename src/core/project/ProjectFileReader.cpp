// The project file's reader: a parsed document back into the tree, merged into an open
// project of the same name or as a new one, and the checks made before that.

#include "core/project/ProjectJson.h"

#include "core/project/Dlt645Catalogue.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectFileShared.h"
#include "core/project/ProjectItems.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QFileInfo>
#include <QJsonDocument>
#include <QHash>
#include <QIcon>
#include <QJsonArray>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QThread>

#include <algorithm>
#include <array>
#include <system_error>
#include <thread>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace ProjectJson {

using namespace FileText;

namespace {

// Point objects are read through the CBOR view of the parsed document (the same data, shared,
// not converted): it compares keys and values without making a QString for each, which the
// JSON classes cannot. Values read exactly as QJsonValue::toString() would give them.

// The string members of one kind of point object, looked up by key. The saver writes exactly
// these keys and objects keep them sorted, so one comparison per member usually places it; an
// object of any other shape is looked up key by key.
template<int N>
class PointMembers
{
public:
    explicit PointMembers(const std::array<QString, N> &sortedKeys) : m_keys(sortedKeys)
    {
        // Made from Latin-1, keys are stored as the parser stores ASCII keys, so comparing
        // them is a plain byte comparison rather than one across two encodings.
        for (int i = 0; i < N; ++i)
            m_cborKeys[i] = QCborValue(QLatin1String(m_keys[i].toLatin1()));
    }

    const std::array<QCborValue, N> &read(const QCborMap &point)
    {
        if (point.size() == N) {
            int i = 0;
            for (auto it = point.constBegin(); it != point.constEnd(); ++it, ++i) {
                if (it.key() != m_cborKeys[i])
                    break;
                m_values[i] = it.value();
            }
            if (i == N)
                return m_values;
        }
        for (int i = 0; i < N; ++i)
            m_values[i] = point.value(m_keys[i]);
        return m_values;
    }

private:
    std::array<QString, N> m_keys;
    std::array<QCborValue, N> m_cborKeys;
    std::array<QCborValue, N> m_values;
};

// A column whose values repeat from row to row (data types, lengths, permissions, selection
// flags): equal values share one QString rather than each row holding its own copy.
class SharedColumn
{
public:
    QString text(const QCborValue &value)
    {
        if (!value.isString())
            return value.toString();
        for (int i = 0; i < m_count; ++i) {
            if (m_recent[i].value == value)
                return m_recent[i].text;
        }
        QString text = value.toString();
        Entry &slot = m_recent[m_count < kSize ? m_count++ : (m_next++ % kSize)];
        slot.value = value;
        slot.text = text;
        return text;
    }

private:
    static constexpr int kSize = 8;
    struct Entry
    {
        QCborValue value;
        QString text;
    };
    std::array<Entry, kSize> m_recent;
    int m_count = 0;
    int m_next = 0;
};

// Appends without the copy and release of a temporary (Qt 5's QList has no move append): a
// null entry is appended and the value moved into it.
inline void appendMoved(QVariantList &row, QVariant &&value)
{
    row.append(QVariant());
    row.last() = std::move(value);
}

inline void appendMoved(QList<QVariantList> &rows, QVariantList &&row)
{
    rows.append(QVariantList());
    rows.last().swap(row);
}

inline QCborArray pointArray(const QJsonObject &object)
{
    return QCborArray::fromJsonArray(object.value(Key::Datas).toArray());
}

PointTable meterTable(const QJsonArray &meters)
{
    const QVector<QString> names = Dlt645Catalogue::translatedNameTable();
    // Sorted key order: addr, name, select.
    PointMembers<3> members({Key::Addr, Key::Name, Key::Select});
    SharedColumn select;
    PointTable table;
    int counter = 1;
    for (const QJsonValue &meterValue : meters) {
        const QJsonObject meter = meterValue.toObject();
        QList<QVariantList> rows;
        const QCborArray points = pointArray(meter);
        rows.reserve(int(points.size()) + 1);
        const bool is2007 = meter.value(Key::ProtocolVersion).toInt(0) == 1;
        rows.append(QVariantList{meter.value(Key::SlaveAddress).toString(),
                                 is2007 ? Dlt645Catalogue::Edition2007Text
                                        : Dlt645Catalogue::Edition1997Text});
        for (const QCborValue &pointValue : points) {
            const auto &point = members.read(pointValue.toMap());
            // Either edition's code names the item, whatever the meter's edition.
            const int index = Dlt645Catalogue::indexOfCode(point[0].toString());
            QVariantList row;
            row.reserve(3);
            appendMoved(row, select.text(point[2]));
            appendMoved(row, index < 0 ? QString() : names.at(index));
            appendMoved(row, point[1].toString());
            appendMoved(rows, std::move(row));
        }
        table.insert(QStringLiteral("DLT645-%1").arg(counter++), rows);
    }
    return table;
}

PointTable slaveTable(const QJsonArray &slaves)
{
    // Sorted key order: addr, dataType, length, name, permissions.
    PointMembers<5> members({Key::Addr, Key::DataType, Key::Length, Key::Name, Key::Permissions});
    SharedColumn dataType;
    SharedColumn length;
    SharedColumn permissions;
    PointTable table;
    int counter = 1;
    for (const QJsonValue &slaveValue : slaves) {
        const QJsonObject slave = slaveValue.toObject();
        QList<QVariantList> rows;
        const QCborArray points = pointArray(slave);
        rows.reserve(int(points.size()) + 1);
        rows.append(QVariantList{slave.value(Key::Series).toString(),
                                 slave.value(Key::StationNum).toString(),
                                 slave.value(Key::ByteOrder).toString(),
                                 flagFromFile(slave.value(Key::StartAddress0)),
                                 flagFromFile(slave.value(Key::CharReversed))});
        for (const QCborValue &pointValue : points) {
            const auto &point = members.read(pointValue.toMap());
            QVariantList row;
            row.reserve(5);
            appendMoved(row, point[0].toString());
            appendMoved(row, point[3].toString());
            appendMoved(row, dataType.text(point[1]));
            appendMoved(row, length.text(point[2]));
            appendMoved(row, permissions.text(point[4]));
            appendMoved(rows, std::move(row));
        }
        table.insert(QStringLiteral("Modbus-%1").arg(counter++), rows);
    }
    return table;
}

// Loads one array of the document into a folder: each element updates the first open item of
// its name that no earlier element took; the others are appended with the icon their kind gets.
template<typename IconFor, typename LoadRecord>
void loadFolder(QStandardItem *folder, const QJsonArray &elements, IconFor iconFor,
                LoadRecord loadRecord)
{
    // Open items by name, lowest row first. Appended items never enter it: two elements of
    // one name would otherwise end as one item holding the second.
    QHash<QString, QVector<QStandardItem *>> byName;
    for (int i = 0; i < folder->rowCount(); ++i) {
        if (QStandardItem *child = folder->child(i))
            byName[child->text()].append(child);
    }
    for (const QJsonValue &value : elements) {
        const QJsonObject object = value.toObject();
        const QString name = object.value(Key::Name).toString();
        const auto open = byName.find(name);
        if (open != byName.end() && !open->isEmpty()) {
            loadRecord(object, open->takeFirst());
            continue;
        }
        // A new item is filled before it enters the model: one row insertion for an attached
        // view instead of a change signal for every role.
        QStandardItem *item = ProjectItems::newItem(iconFor(object.value(Key::Protocol).toString()), name);
        loadRecord(object, item);
        folder->appendRow(item);
    }
}

} // namespace

namespace {

// The point tables of the standard devices, in document order. They are most of the work of a
// large load and each stands alone, so they are built on a few threads at once before any item
// is touched; a machine that cannot start a thread builds them here.
std::vector<PointTable> pointTables(const QJsonArray &standards)
{
    std::vector<PointTable> tables(size_t(standards.size()));
    const auto build = [&standards, &tables](size_t from, size_t step) {
        for (size_t i = from; i < tables.size(); i += step) {
            const QJsonObject standard = standards.at(int(i)).toObject();
            const QString protocol = standard.value(Key::Protocol).toString();
            if (protocol == kDlt645)
                tables[i] = meterTable(standard.value(Key::Datas).toArray());
            else if (protocol == kModbus)
                tables[i] = slaveTable(standard.value(Key::Datas).toArray());
        }
    };
    const size_t wanted = size_t(qBound(1, QThread::idealThreadCount(), 4));
    const size_t threads = std::min(wanted, std::max<size_t>(1, tables.size()));
    std::vector<std::thread> workers;
    size_t started = 1;
    for (; started < threads; ++started) {
        try {
            workers.emplace_back(build, started, threads);
        } catch (const std::system_error &) {
            break;
        }
    }
    // This thread takes its own share, and the shares of workers that did not start.
    for (size_t from = 0; from < threads; from = (from == 0 ? started : from + 1))
        build(from, threads);
    for (std::thread &worker : workers)
        worker.join();
    return tables;
}

// A device's fields and its point table, built beforehand.
void loadStandardFields(const QJsonObject &standardObj, QStandardItem *item, PointTable &&table)
{
    const QString protocol = standardObj.value(Key::Protocol).toString();
    const QString mode = standardObj.value(Key::Modbus).toString();
    setText(item, Role::Protocol, protocol);
    setText(item, Role::Modbus, mode);

    const QJsonObject parameter = standardObj.value(Key::Parameter).toObject();
    auto param = [&parameter](const QString &key) { return parameter.value(key).toString(); };
    setText(item, Role::SerialPort, param(Key::SerialPort));
    setText(item, Role::BaudRate, param(Key::BaudRate));
    setText(item, Role::DataBit, param(Key::DataBit));
    setText(item, Role::StopBit, param(Key::StopBit));
    setText(item, Role::ParityBit, param(Key::ParityBit));
    setText(item, Role::RtsEnable, flagFromFile(parameter.value(Key::RtsEnable)));
    // The same key feeds the TCP role or the RTU role, by the mode read from this object.
    if (protocol != kModbus || mode == kModbusTcp)
        setText(item, Role::CommunicationTimeout, param(Key::CommunicationTimeout));
    else if (mode == kModbusRtu)
        setText(item, Role::CommunicationTimeoutRtu, param(Key::CommunicationTimeout));
    setText(item, Role::CommunicationGap, param(Key::CommunicationGap));
    setText(item, Role::CollectionInterval, param(Key::CollectionInterval));
    setText(item, Role::ModbusIp, param(Key::Ip));
    setText(item, Role::ModbusPort, param(Key::Port));
    setText(item, Role::ConnectionTimeout, param(Key::ConnectionTimeout));
    setText(item, Role::KeepAlive, param(Key::KeepAlive));

    if (protocol == kDlt645 || protocol == kModbus)
        item->setData(QVariant::fromValue(std::move(table)), Role::PointTable);
}
} // namespace

void loadStandardRecord(const QJsonObject &standardObj, QStandardItem *item)
{
    loadStandardFields(standardObj, item, std::move(pointTables(QJsonArray{standardObj}).front()));
}

void loadServiceRecord(const QJsonObject &serviceObj, QStandardItem *item)
{
    setText(item, Role::ServiceProtocol, serviceObj.value(Key::Protocol).toString());
    setText(item, Role::ServicePort, serviceObj.value(Key::Port).toString());
    setText(item, Role::EnableGoosePublishing,
            serviceObj.value(Key::EnableGoosePublishing).toString());
    setText(item, Role::EnableSSL, serviceObj.value(Key::EnableSSL).toString());
    setText(item, Role::IsVerifyClientCert, serviceObj.value(Key::IsVerifyClientCert).toString());

    const QJsonObject extended = serviceObj.value(Key::ExtendedParameters).toObject();
    auto ext = [&extended](const QString &key) { return extended.value(key).toString(); };
    const QString authentication = ext(Key::Authentication);
    if (authentication == kZero)
        setText(item, Role::Authentication, noneText());
    else if (authentication == kOne)
        setText(item, Role::Authentication, passwordText());
    setText(item, Role::Password, ext(Key::Password));
    setText(item, Role::RootCertificate, ext(Key::RootCertificate));
    setText(item, Role::RootCertificatePath, ext(Key::RootCertificatePath));
    setText(item, Role::ServerCertificate, ext(Key::ServerCertificate));
    setText(item, Role::ServerCertificatePath, ext(Key::ServerCertificatePath));
    setText(item, Role::ServerKey, ext(Key::ServerKey));
    setText(item, Role::ServerKeyPath, ext(Key::ServerKeyPath));
    setText(item, Role::ServerKeyPassword, ext(Key::ServerKeyPassword));
    for (int n = 1; n <= 10; ++n) {
        setText(item, Role::clientCertificate(n), ext(Key::clientCertificate(n)));
        setText(item, Role::clientCertificatePath(n), ext(Key::clientCertificatePath(n)));
    }
}

void loadBoxRecord(const QJsonObject &boxObj, QStandardItem *item)
{
    setText(item, Role::BoxIp, boxObj.value(Key::Ip).toString());
    for (int i = 0; i < Key::BoxNetworkKeys.size(); ++i)
        setText(item, Role::LanIp + i, boxObj.value(Key::BoxNetworkKeys.at(i)).toString());
}

QVector<DuplicateName> duplicateNames(const QJsonObject &root)
{
    QVector<DuplicateName> found;
    const std::array<std::pair<QString, QString>, 3> arrays{{{Key::Standards, Folder::Standard},
                                                             {Key::Services, Folder::Service},
                                                             {Key::Boxs, Folder::Box}}};
    for (const auto &array : arrays) {
        QHash<QString, int> seen;
        for (const QJsonValue &value : root.value(array.first).toArray()) {
            const QString name = value.toObject().value(Key::Name).toString();
            if (++seen[name] == 2)
                found.append({array.second, name});
        }
    }
    return found;
}

LoadOutcome loadProjectIntoModel(QStandardItemModel *model, const QJsonObject &root,
                                 const QString &fileDirectory)
{
    LoadOutcome outcome;
    const QString name = root.value(Key::Name).toString();
    QStandardItem *top = model->invisibleRootItem();
    outcome.project = childWithText(top, name);
    if (!outcome.project) {
        outcome.project = ProjectItems::newProject(ProjectItems::icon("project_manage.svg"), name,
                                                   fileDirectory, root.value(Key::Description).toString());
        outcome.createdProject = true; // enters the model once it is complete, below
    }
    QStandardItem *project = outcome.project;

    for (const QString &folderText : {Folder::Standard, Folder::Service, Folder::Box, Folder::Data}) {
        if (!childWithText(project, folderText))
            project->appendRow(ProjectItems::newFolder(ProjectItems::folderIcon(folderText), folderText));
    }
    // Folders are found by text: in every project made by this program that is child 0, 1
    // and 2, and a tree missing a folder cannot send devices into the wrong one.
    const QJsonArray standards = root.value(Key::Standards).toArray();
    std::vector<PointTable> tables = pointTables(standards);
    size_t next = 0; // loadFolder loads the elements in document order, each once
    loadFolder(childWithText(project, Folder::Standard), standards,
               [](const QString &protocol) {
                   if (protocol == kDlt645)
                       return ProjectItems::icon("DLT645.svg");
                   if (protocol == kModbus)
                       return ProjectItems::icon("Modbus.svg");
                   return QIcon();
               },
               [&tables, &next](const QJsonObject &standard, QStandardItem *item) {
                   loadStandardFields(standard, item, std::move(tables[next++]));
               });
    loadFolder(childWithText(project, Folder::Service), root.value(Key::Services).toArray(),
               [](const QString &protocol) {
                   return protocol == kIec61850 ? ProjectItems::icon("IEC61850.svg") : QIcon();
               },
               loadServiceRecord);
    loadFolder(childWithText(project, Folder::Box), root.value(Key::Boxs).toArray(),
               [](const QString &) { return ProjectItems::icon("box-file.svg"); }, loadBoxRecord);
    if (outcome.createdProject)
        top->appendRow(project);
    return outcome;
}

namespace {

// Checks and loads a parsed document; a function of its own so that the document is gone
// before the memory is handed back.
void loadParsed(QStandardItemModel *model, const QJsonDocument &document, const QString &path,
                FileLoad &load)
{
    if (!document.isObject()) {
        load.stage = FileLoad::NotAnObject;
        return;
    }
    const QJsonObject root = document.object();
    load.name = root.value(Key::Name).toString();
    load.description = root.value(Key::Description).toString();
    // The name becomes the next save's file name.
    if (!ProjectFileIo::isPlainFileName(load.name)) {
        load.stage = FileLoad::BadName;
        return;
    }
    // Merged into one item, the first of two would be lost with the next save.
    load.duplicates = duplicateNames(root);
    if (!load.duplicates.isEmpty()) {
        load.stage = FileLoad::DuplicateNames;
        return;
    }
    load.outcome = loadProjectIntoModel(model, root, QFileInfo(path).absolutePath());
}

} // namespace

FileLoad loadProjectFile(QStandardItemModel *model, const QString &path)
{
    FileLoad load;
    {
        QJsonDocument document;
        {
            QByteArray bytes;
            load.read = ProjectFileIo::readFile(path, &bytes);
            if (!load.read.ok()) {
                load.stage = FileLoad::ReadFailed;
                return load;
            }
            document = QJsonDocument::fromJson(bytes, &load.parseError);
        }
        if (document.isNull())
            load.stage = FileLoad::NotJson;
        else
            loadParsed(model, document, path, load);
    }
#ifdef __GLIBC__
    // glibc keeps freed heap for reuse: after a large file that is the size of the bytes and
    // the document together, held for as long as the program runs.
    malloc_trim(0);
#endif
    return load;
}

} // namespace ProjectJson
