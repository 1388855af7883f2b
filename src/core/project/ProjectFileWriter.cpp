// The project file's writer: one project item and everything below it, as a QJsonObject or
// straight as the bytes QJsonDocument::toJson() would give for that object.

#include "core/project/ProjectJson.h"

#include "core/project/Dlt645Catalogue.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectFileShared.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardItem>

#include <algorithm>
#include <cstring>
#include <vector>

namespace ProjectJson {

using namespace FileText;

namespace {

// One serialiser, two sinks: ObjectSink builds the QJsonObject, TextSink writes the bytes that
// QJsonDocument(object).toJson() would give for it, without the object in between (a large
// project saves in a fraction of the time). The serialiser therefore emits every object's
// keys in sorted order, the order QJsonObject keeps and toJson() prints.

class ObjectSink
{
public:
    void key(const QString &key) { m_key = key; }
    void value(const QString &text) { put(QJsonValue(text)); }
    void value(QLatin1String text) { put(QJsonValue(text)); }
    void value(int number) { put(QJsonValue(number)); }
    void beginObject() { m_stack.push_back({QJsonObject(), QJsonArray(), m_key, false}); }
    void endObject() { end(); }
    void beginArray() { m_stack.push_back({QJsonObject(), QJsonArray(), m_key, true}); }
    void endArray() { end(); }

    QJsonObject take() { return std::move(m_root); }

private:
    struct Frame
    {
        QJsonObject object;
        QJsonArray array;
        QString key; // under which the finished container goes into its parent
        bool isArray;
    };

    void put(const QJsonValue &value)
    {
        Frame &frame = m_stack.back();
        if (frame.isArray)
            frame.array.append(value);
        else
            frame.object.insert(m_key, value);
    }

    void end()
    {
        Frame frame = std::move(m_stack.back());
        m_stack.pop_back();
        if (m_stack.empty()) {
            m_root = std::move(frame.object);
            return;
        }
        m_key = frame.key;
        if (frame.isArray)
            put(frame.array);
        else
            put(frame.object);
    }

    std::vector<Frame> m_stack;
    QString m_key;
    QJsonObject m_root;
};

// The indented form of QJsonDocument::toJson(): four blanks per level, "key": value, one
// element per line, "{\n<indent>}" for an empty container, UTF-8, and the same escapes
// (\" \\ \b \f \n \r \t, \u00XX for other controls, \uXXXX lower-case for a lone surrogate).
class TextSink
{
public:
    TextSink()
    {
        m_buffer.resize(1 << 16);
        m_cursor = m_buffer.data();
        m_end = m_cursor + m_buffer.size();
    }

    void key(const QString &key)
    {
        startElement();
        putString(key);
        ensure(2);
        *m_cursor++ = ':';
        *m_cursor++ = ' ';
        m_afterKey = true;
    }
    void value(const QString &text)
    {
        startValue();
        putString(text);
    }
    // Catalogue codes and formats: plain ASCII, nothing to escape.
    void value(QLatin1String text)
    {
        startValue();
        ensure(text.size() + 2);
        *m_cursor++ = '"';
        memcpy(m_cursor, text.data(), size_t(text.size()));
        m_cursor += text.size();
        *m_cursor++ = '"';
    }
    void value(int number)
    {
        startValue();
        const QByteArray digits = QByteArray::number(number);
        put(digits.constData(), digits.size());
    }
    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    QByteArray take()
    {
        m_buffer.resize(int(m_cursor - m_buffer.data()));
        return std::move(m_buffer);
    }

private:
    void ensure(qsizetype room)
    {
        if (m_end - m_cursor >= room)
            return;
        const qsizetype used = m_cursor - m_buffer.data();
        m_buffer.resize(int(qMax<qsizetype>(qsizetype(m_buffer.size()) * 2, used + room + 1024)));
        m_cursor = m_buffer.data() + used;
        m_end = m_buffer.data() + m_buffer.size();
    }

    void put(const char *bytes, qsizetype size)
    {
        ensure(size);
        memcpy(m_cursor, bytes, size_t(size));
        m_cursor += size;
    }

    // A new member or array element: separator from the previous one, then the indent.
    void startElement()
    {
        if (m_counts.empty())
            return;
        const qsizetype depth = qsizetype(m_counts.size());
        ensure(2 + 4 * depth);
        if (m_counts.back()++ > 0) {
            *m_cursor++ = ',';
            *m_cursor++ = '\n';
        }
        memset(m_cursor, ' ', size_t(4 * depth));
        m_cursor += 4 * depth;
    }

    void startValue()
    {
        if (m_afterKey)
            m_afterKey = false;
        else
            startElement();
    }

    void open(char bracket)
    {
        startValue();
        ensure(2);
        *m_cursor++ = bracket;
        *m_cursor++ = '\n';
        m_counts.push_back(0);
    }

    void close(char bracket)
    {
        const int count = m_counts.back();
        m_counts.pop_back();
        const qsizetype depth = qsizetype(m_counts.size());
        ensure(3 + 4 * depth);
        if (count > 0)
            *m_cursor++ = '\n';
        memset(m_cursor, ' ', size_t(4 * depth));
        m_cursor += 4 * depth;
        *m_cursor++ = bracket;
        if (m_counts.empty())
            *m_cursor++ = '\n';
    }

    static char hexDigit(uint value) { return char(value < 10 ? '0' + value : 'a' + value - 10); }

    void putString(const QString &text)
    {
        const auto *source = reinterpret_cast<const ushort *>(text.constData());
        const ushort *const end = source + text.size();
        // At most six bytes per UTF-16 unit (an escape), plus the quotes.
        ensure(6 * qsizetype(text.size()) + 2);
        char *out = m_cursor;
        *out++ = '"';
        while (source != end) {
            const ushort u = *source++;
            if (u < 0x80) {
                if (u >= 0x20 && u != '"' && u != '\\') {
                    *out++ = char(u);
                    continue;
                }
                *out++ = '\\';
                switch (u) {
                case '"': *out++ = '"'; break;
                case '\\': *out++ = '\\'; break;
                case '\b': *out++ = 'b'; break;
                case '\f': *out++ = 'f'; break;
                case '\n': *out++ = 'n'; break;
                case '\r': *out++ = 'r'; break;
                case '\t': *out++ = 't'; break;
                default:
                    *out++ = 'u';
                    *out++ = '0';
                    *out++ = '0';
                    *out++ = hexDigit(u >> 4);
                    *out++ = hexDigit(u & 0xf);
                }
            } else if (u < 0x800) {
                *out++ = char(0xc0 | (u >> 6));
                *out++ = char(0x80 | (u & 0x3f));
            } else if (!QChar::isSurrogate(u)) {
                *out++ = char(0xe0 | (u >> 12));
                *out++ = char(0x80 | ((u >> 6) & 0x3f));
                *out++ = char(0x80 | (u & 0x3f));
            } else if (QChar::isHighSurrogate(u) && source != end && QChar::isLowSurrogate(*source)) {
                const uint ucs4 = QChar::surrogateToUcs4(u, *source++);
                *out++ = char(0xf0 | (ucs4 >> 18));
                *out++ = char(0x80 | ((ucs4 >> 12) & 0x3f));
                *out++ = char(0x80 | ((ucs4 >> 6) & 0x3f));
                *out++ = char(0x80 | (ucs4 & 0x3f));
            } else {
                *out++ = '\\';
                *out++ = 'u';
                *out++ = hexDigit(u >> 12);
                *out++ = hexDigit((u >> 8) & 0xf);
                *out++ = hexDigit((u >> 4) & 0xf);
                *out++ = hexDigit(u & 0xf);
            }
        }
        *out++ = '"';
        m_cursor = out;
    }

    QByteArray m_buffer;
    char *m_cursor = nullptr;
    char *m_end = nullptr;
    std::vector<int> m_counts; // members or elements written so far, per open container
    bool m_afterKey = false;
};

// A key/value table in sorted key order, built once: box members and client certificates.
struct KeyedRole
{
    QString key;
    int role; // -1: the item text
};

QVector<KeyedRole> sortedByKey(QVector<KeyedRole> table)
{
    std::sort(table.begin(), table.end(),
              [](const KeyedRole &a, const KeyedRole &b) { return a.key < b.key; });
    return table;
}

const QVector<KeyedRole> &boxMembers()
{
    static const QVector<KeyedRole> table = [] {
        QVector<KeyedRole> members{{Key::Name, -1}, {Key::Ip, Role::BoxIp}};
        for (int i = 0; i < Key::BoxNetworkKeys.size(); ++i)
            members.append({Key::BoxNetworkKeys.at(i), Role::LanIp + i});
        return sortedByKey(members);
    }();
    return table;
}

const QVector<KeyedRole> &clientCertificateMembers()
{
    static const QVector<KeyedRole> table = [] {
        QVector<KeyedRole> members;
        for (int n = 1; n <= 10; ++n) {
            members.append({Key::clientCertificate(n), Role::clientCertificate(n)});
            members.append({Key::clientCertificatePath(n), Role::clientCertificatePath(n)});
        }
        return sortedByKey(members);
    }();
    return table;
}

inline QString cell(const QVariantList &row, int column)
{
    return column < row.size() ? row.at(column).toString() : QString();
}

template<typename Sink>
void member(Sink &sink, const QString &key, const QString &value)
{
    sink.key(key);
    sink.value(value);
}

template<typename Sink>
void writeSerialParameters(Sink &s, const QStandardItem *device, int timeoutRole)
{
    s.beginObject();
    member(s, Key::BaudRate, text(device, Role::BaudRate));
    member(s, Key::CollectionInterval, text(device, Role::CollectionInterval));
    member(s, Key::CommunicationGap, text(device, Role::CommunicationGap));
    member(s, Key::CommunicationTimeout, text(device, timeoutRole));
    member(s, Key::DataBit, text(device, Role::DataBit));
    member(s, Key::ParityBit, text(device, Role::ParityBit));
    member(s, Key::RtsEnable, flagToFile(device->data(Role::RtsEnable)));
    member(s, Key::SerialPort, text(device, Role::SerialPort));
    member(s, Key::StopBit, text(device, Role::StopBit));
    s.endObject();
}

template<typename Sink>
void writeMeters(Sink &s, const PointTable &table, const Dlt645Catalogue::NameLookup &lookup)
{
    using Dlt645Catalogue::Edition;
    s.beginArray();
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        const QList<QVariantList> &rows = it.value();
        // An entry without its header row is written as a 1997 meter without an address.
        const QVariantList header = rows.value(0);
        const bool is2007 = cell(header, 1) == Dlt645Catalogue::Edition2007Text;
        const Edition edition = is2007 ? Edition::V2007 : Edition::V1997;

        s.beginObject();
        s.key(Key::Datas);
        s.beginArray();
        for (int r = 1; r < rows.size(); ++r) {
            const QVariantList &row = rows.at(r);
            const QString item = cell(row, 1);
            if (item.isEmpty())
                continue;
            s.beginObject();
            if (const Dlt645CatalogueEntry *entry = lookup.find(item, edition)) {
                s.key(Key::Addr);
                s.value(QLatin1String(is2007 ? entry->code2007 : entry->code1997));
                s.key(Key::DataType);
                s.value(QLatin1String(is2007 ? entry->format2007 : entry->format1997));
            }
            member(s, Key::Name, cell(row, 2));
            member(s, Key::Select, cell(row, 0));
            s.endObject();
        }
        s.endArray();
        s.key(Key::ProtocolVersion);
        s.value(is2007 ? 1 : 2);
        member(s, Key::SlaveAddress, cell(header, 0));
        s.endObject();
    }
    s.endArray();
}

template<typename Sink>
void writeSlaves(Sink &s, const PointTable &table)
{
    s.beginArray();
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        const QList<QVariantList> &rows = it.value();
        const QVariantList header = rows.value(0);
        s.beginObject();
        member(s, Key::ByteOrder, cell(header, 2));
        member(s, Key::CharReversed, flagToFile(header.value(4)));
        s.key(Key::Datas);
        s.beginArray();
        for (int r = 1; r < rows.size(); ++r) {
            const QVariantList &row = rows.at(r);
            s.beginObject();
            member(s, Key::Addr, cell(row, 0));
            member(s, Key::DataType, cell(row, 2));
            member(s, Key::Length, cell(row, 3));
            member(s, Key::Name, cell(row, 1));
            member(s, Key::Permissions, cell(row, 4));
            s.endObject();
        }
        s.endArray();
        member(s, Key::Series, cell(header, 0));
        member(s, Key::StartAddress0, flagToFile(header.value(3)));
        member(s, Key::StationNum, cell(header, 1));
        s.endObject();
    }
    s.endArray();
}

template<typename Sink>
void writeStandard(Sink &s, const QStandardItem *device, const Dlt645Catalogue::NameLookup &lookup)
{
    s.beginObject();
    const QString protocol = text(device, Role::Protocol);
    if (protocol == kDlt645) {
        s.key(Key::Datas);
        writeMeters(s, device->data(Role::PointTable).value<PointTable>(), lookup);
        member(s, Key::Name, device->text());
        s.key(Key::Parameter);
        writeSerialParameters(s, device, Role::CommunicationTimeout);
        member(s, Key::Protocol, kDlt645);
    } else if (protocol == kModbus) {
        const QString mode = text(device, Role::Modbus);
        s.key(Key::Datas);
        writeSlaves(s, device->data(Role::PointTable).value<PointTable>());
        member(s, Key::Modbus, mode);
        member(s, Key::Name, device->text());
        s.key(Key::Parameter);
        if (mode == kModbusTcp) {
            s.beginObject();
            member(s, Key::CollectionInterval, text(device, Role::CollectionInterval));
            member(s, Key::CommunicationTimeout, text(device, Role::CommunicationTimeout));
            member(s, Key::ConnectionTimeout, text(device, Role::ConnectionTimeout));
            member(s, Key::Ip, text(device, Role::ModbusIp));
            member(s, Key::KeepAlive, text(device, Role::KeepAlive));
            member(s, Key::Port, text(device, Role::ModbusPort));
            s.endObject();
        } else if (mode == kModbusRtu) {
            writeSerialParameters(s, device, Role::CommunicationTimeoutRtu);
        } else {
            s.beginObject();
            s.endObject();
        }
        member(s, Key::Protocol, kModbus);
    } else {
        // Only a file from elsewhere brings other protocols; keep at least what kind it is.
        member(s, Key::Name, device->text());
        member(s, Key::Protocol, protocol);
    }
    s.endObject();
}

template<typename Sink>
void writeService(Sink &s, const QStandardItem *service)
{
    s.beginObject();
    const QString protocol = text(service, Role::ServiceProtocol);
    if (protocol != kIec61850) {
        member(s, Key::Name, service->text());
        s.endObject();
        return;
    }
    const QString ssl = text(service, Role::EnableSSL);
    const QString verify = text(service, Role::IsVerifyClientCert);
    member(s, Key::EnableGoosePublishing, text(service, Role::EnableGoosePublishing));
    member(s, Key::EnableSSL, ssl);
    s.key(Key::ExtendedParameters);
    s.beginObject();
    if (ssl == kFalse && text(service, Role::Authentication) == passwordText()) {
        member(s, Key::Authentication, kOne);
        member(s, Key::Password, text(service, Role::Password));
    }
    if (ssl == kTrue) {
        if (verify == kTrue) {
            for (const KeyedRole &client : clientCertificateMembers())
                member(s, client.key, text(service, client.role));
        }
        member(s, Key::RootCertificate, text(service, Role::RootCertificate));
        member(s, Key::RootCertificatePath, text(service, Role::RootCertificatePath));
        member(s, Key::ServerCertificate, text(service, Role::ServerCertificate));
        member(s, Key::ServerCertificatePath, text(service, Role::ServerCertificatePath));
        member(s, Key::ServerKey, text(service, Role::ServerKey));
        member(s, Key::ServerKeyPassword, text(service, Role::ServerKeyPassword));
        member(s, Key::ServerKeyPath, text(service, Role::ServerKeyPath));
    }
    s.endObject();
    member(s, Key::IsVerifyClientCert, verify);
    member(s, Key::Name, service->text());
    member(s, Key::Port, text(service, Role::ServicePort));
    member(s, Key::Protocol, protocol);
    s.endObject();
}

template<typename Sink>
void writeBox(Sink &s, const QStandardItem *box)
{
    s.beginObject();
    for (const KeyedRole &entry : boxMembers())
        member(s, entry.key, entry.role < 0 ? box->text() : text(box, entry.role));
    s.endObject();
}

// The items of every child folder with this text, in tree order, as one array.
template<typename Sink, typename WriteItem>
void writeFolders(Sink &s, const QStandardItem *project, const QString &folderText, WriteItem write)
{
    s.beginArray();
    for (const QStandardItem *item : itemsInFolders(project, folderText))
        write(item);
    s.endArray();
}

template<typename Sink>
void writeProject(Sink &s, const QStandardItem *project)
{
    s.beginObject();
    // The Data folder, and folders of any other text, are not stored; the three arrays are
    // present, possibly empty, as soon as the project has a child at all.
    const bool withArrays = project->rowCount() > 0;
    if (withArrays) {
        s.key(Key::Boxs);
        writeFolders(s, project, Folder::Box, [&s](const QStandardItem *box) { writeBox(s, box); });
    }
    member(s, Key::Description, text(project, Role::ProjectDescription));
    member(s, Key::Name, project->text());
    if (withArrays) {
        s.key(Key::Services);
        writeFolders(s, project, Folder::Service,
                     [&s](const QStandardItem *service) { writeService(s, service); });
        const Dlt645Catalogue::NameLookup lookup;
        s.key(Key::Standards);
        writeFolders(s, project, Folder::Standard,
                     [&s, &lookup](const QStandardItem *device) { writeStandard(s, device, lookup); });
    }
    s.endObject();
}

} // namespace


QJsonObject buildProjectJson(const QStandardItem *project)
{
    if (!project)
        return QJsonObject();
    ObjectSink sink;
    writeProject(sink, project);
    return sink.take();
}

QByteArray projectFileBytes(const QStandardItem *project)
{
    if (!project)
        return QJsonDocument(QJsonObject()).toJson();
    TextSink sink;
    writeProject(sink, project);
    return sink.take();
}

QString projectFilePath(const QStandardItem *project)
{
    return text(project, Role::ProjectPath) + QDir::separator() + project->text()
           + QStringLiteral(".json");
}

} // namespace ProjectJson
