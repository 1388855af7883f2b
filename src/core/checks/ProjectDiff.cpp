#include "core/checks/ProjectDiff.h"

#include "core/project/ItemRecord.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QStringList>

#include <functional>
#include <vector>

namespace {

const QString kSeparator = QStringLiteral(" / ");
const QString kDlt645 = QStringLiteral("DLT645");

QString valueText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String: return value.toString();
    case QJsonValue::Double: return QString::number(value.toDouble(), 'g', 15);
    case QJsonValue::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Array: return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object: return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    default: return QString();
    }
}

class Differ
{
public:
    ProjectChanges changes;

    void scalars(const QString &place, const QJsonObject &before, const QJsonObject &after,
                 const QSet<QString> &skip)
    {
        QStringList keys = before.keys() + after.keys();
        keys.sort();
        keys.removeDuplicates();
        for (const QString &key : qAsConst(keys)) {
            if (skip.contains(key))
                continue;
            const QJsonValue old = before.value(key);
            const QJsonValue now = after.value(key);
            if (old != now)
                changes.append({ProjectChange::Changed, place, key, valueText(old), valueText(now)});
        }
    }

    void added(const QString &place) { changes.append({ProjectChange::Added, place, {}, {}, {}}); }
    void removed(const QString &place) { changes.append({ProjectChange::Removed, place, {}, {}, {}}); }

    // Pairs elements of the two arrays whose `key` texts are equal, in order of appearance
    // (the n-th "a" before with the n-th "a" after); -1 where an element found no partner.
    static void pairBy(const QJsonArray &before, const QJsonArray &after, const QString &key,
                       std::vector<int> &partnerOfAfter, std::vector<bool> &beforeTaken)
    {
        QHash<QString, QList<int>> waiting;
        for (int i = 0; i < before.size(); ++i)
            if (!beforeTaken[size_t(i)])
                waiting[before.at(i).toObject().value(key).toString()].append(i);
        for (int j = 0; j < after.size(); ++j) {
            if (partnerOfAfter[size_t(j)] >= 0)
                continue;
            auto it = waiting.find(after.at(j).toObject().value(key).toString());
            if (it == waiting.end() || it->isEmpty())
                continue;
            const int i = it->takeFirst();
            partnerOfAfter[size_t(j)] = i;
            beforeTaken[size_t(i)] = true;
        }
    }

    // Matches by each key in turn, then reports pairs (in the order of `after`), additions
    // and removals.
    void matched(const QJsonArray &before, const QJsonArray &after, const QStringList &keys,
                 const std::function<QString(const QJsonObject &)> &placeOf,
                 const std::function<void(const QString &, const QJsonObject &, const QJsonObject &)> &compare)
    {
        std::vector<int> partner(size_t(after.size()), -1);
        std::vector<bool> taken(size_t(before.size()), false);
        for (const QString &key : keys)
            pairBy(before, after, key, partner, taken);
        for (int j = 0; j < after.size(); ++j) {
            const QJsonObject now = after.at(j).toObject();
            if (partner[size_t(j)] < 0)
                added(placeOf(now));
            else
                compare(placeOf(now), before.at(partner[size_t(j)]).toObject(), now);
        }
        for (int i = 0; i < before.size(); ++i)
            if (!taken[size_t(i)])
                removed(placeOf(before.at(i).toObject()));
    }

    void points(const QString &place, const QJsonArray &before, const QJsonArray &after)
    {
        matched(before, after, {Key::Addr, Key::Name},
                [&](const QJsonObject &point) {
                    const QString name = point.value(Key::Name).toString();
                    return place + kSeparator
                           + (name.isEmpty()
                                  ? ProjectDiff::tr("point at %1").arg(point.value(Key::Addr).toString())
                                  : ProjectDiff::tr("point '%1'").arg(name));
                },
                [&](const QString &at, const QJsonObject &old, const QJsonObject &now) {
                    scalars(at, old, now, {});
                });
    }

    // Slaves and meters have no name of their own: they pair by position.
    void devices(const QString &place, const QJsonObject &before, const QJsonObject &after)
    {
        scalars(place, before, after, {Key::Name, Key::Parameter, Key::Datas});
        scalars(place, before.value(Key::Parameter).toObject(), after.value(Key::Parameter).toObject(), {});
        const bool meters = after.value(Key::Protocol).toString() == kDlt645;
        const QJsonArray old = before.value(Key::Datas).toArray();
        const QJsonArray now = after.value(Key::Datas).toArray();
        for (int i = 0; i < qMax(old.size(), now.size()); ++i) {
            const QString at = place + kSeparator
                               + (meters ? ProjectDiff::tr("meter %1") : ProjectDiff::tr("slave %1")).arg(i + 1);
            if (i >= old.size()) {
                added(at);
            } else if (i >= now.size()) {
                removed(at);
            } else {
                const QJsonObject a = old.at(i).toObject();
                const QJsonObject b = now.at(i).toObject();
                scalars(at, a, b, {Key::Datas});
                points(at, a.value(Key::Datas).toArray(), b.value(Key::Datas).toArray());
            }
        }
    }

    void named(const QJsonArray &before, const QJsonArray &after, const QString &placePattern,
               const std::function<void(const QString &, const QJsonObject &, const QJsonObject &)> &compare)
    {
        matched(before, after, {Key::Name},
                [&](const QJsonObject &element) { return placePattern.arg(element.value(Key::Name).toString()); },
                compare);
    }
};

} // namespace

ProjectChanges ProjectDiff::compare(const QJsonObject &before, const QJsonObject &after)
{
    Differ differ;
    differ.scalars(tr("project"), before, after, {Key::Name, Key::Standards, Key::Services, Key::Boxs});
    differ.named(before.value(Key::Standards).toArray(), after.value(Key::Standards).toArray(),
                 tr("device '%1'"),
                 [&](const QString &at, const QJsonObject &a, const QJsonObject &b) { differ.devices(at, a, b); });
    differ.named(before.value(Key::Services).toArray(), after.value(Key::Services).toArray(),
                 tr("service '%1'"), [&](const QString &at, const QJsonObject &a, const QJsonObject &b) {
                     differ.scalars(at, a, b, {Key::Name, Key::ExtendedParameters});
                     differ.scalars(at, a.value(Key::ExtendedParameters).toObject(),
                                    b.value(Key::ExtendedParameters).toObject(), {});
                 });
    differ.named(before.value(Key::Boxs).toArray(), after.value(Key::Boxs).toArray(), tr("box '%1'"),
                 [&](const QString &at, const QJsonObject &a, const QJsonObject &b) {
                     differ.scalars(at, a, b, {Key::Name});
                 });
    return differ.changes;
}
