#include "core/project/Dlt645Catalogue.h"

#include <QCoreApplication>

namespace Dlt645Catalogue {

namespace {
// The 1997 format of "Reverse active total electrical energy" really ends in a blank: the box
// expects that exact text.
const QVector<Dlt645CatalogueEntry> kEntries = {
    {QT_TRANSLATE_NOOP("QObject", "Positive active power rate of 4 electric energy"), "00010400", "XXXXXX.XX", "9014", "XXXXXX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Positive active power rate of 3 electric energy"), "00010300", "XXXXXX.XX", "9013", "XXXXXX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Positive active power rate of 2 electric energy"), "00010200", "XXXXXX.XX", "9012", "XXXXXX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Positive active power rate of 1 electric energy"), "00010100", "XXXXXX.XX", "9011", "XXXXXX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Combination active power rate 4 electricity"), "00000400", "XXXXXX.XX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "Combination active power rate 3 electricity"), "00000300", "XXXXXX.XX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "Combination active power rate 2 electricity"), "00000200", "XXXXXX.XX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "Combination active power rate 1 electricity"), "00000100", "XXXXXX.XX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "Combined reactive power 2 total electrical energy"), "00040000", "XXXXXX.XX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "Combined reactive power 1 total electrical energy"), "00030000", "XXXXXX.XX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "A-phase positive active energy"), "00150000", "XXXXXX.XX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "B-phase positive active energy"), "00290000", "XXXXXX.XX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "C-phase positive active energy"), "003D0000", "XXXXXX.XX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "Reactive constant of electric meter"), "0400040A", "XXXXXX", "C031", "NNNNNN"},
    {QT_TRANSLATE_NOOP("QObject", "Active constant of electric meter"), "04000409", "XXXXXX", "C030", "NNNNNN"},
    {QT_TRANSLATE_NOOP("QObject", "Combined active total electrical energy"), "00000000", "XXXXXX.XX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "Reverse active total electrical energy"), "00020000", "XXXXXX.XX", "9020", "XXXXXX.XX "},
    {QT_TRANSLATE_NOOP("QObject", "Total reactive energy in the first quadrant"), "00050000", "XXXXXX.XX", "9130", "XXXXXX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Total reactive energy in the second quadrant"), "00060000", "XXXXXX.XX", "9150", "XXXXXX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Total reactive energy in the third quadrant"), "00070000", "XXXXXX.XX", "9160", "XXXXXX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Total reactive energy in the fourth quadrant"), "00080000", "XXXXXX.XX", "9140", "XXXXXX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Positive active total electrical energy"), "00010000", "XXXXXX.XX", "9010", "XXXXXX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Instantaneous total apparent power"), "02050000", "XX.XXXX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "Instantaneous A-phase apparent power"), "02050100", "XX.XXXX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "Instantaneous B-phase apparent power"), "02050200", "XX.XXXX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "Instantaneous C-phase apparent power"), "02050300", "XX.XXXX", nullptr, nullptr},
    {QT_TRANSLATE_NOOP("QObject", "Instantaneous total reactive power"), "02040000", "XX.XXXX", "B640", "XX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Instantaneous A-phase reactive power"), "02040100", "XX.XXXX", "B641", "XX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Instantaneous B-phase reactive power"), "02040200", "XX.XXXX", "B642", "XX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Instantaneous C-phase reactive power"), "02040300", "XX.XXXX", "B643", "XX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "Instantaneous total active power"), "02030000", "XX.XXXX", "B630", "XX.XXXX"},
    {QT_TRANSLATE_NOOP("QObject", "Instantaneous A-phase active power"), "02030100", "XX.XXXX", "B631", "XX.XXXX"},
    {QT_TRANSLATE_NOOP("QObject", "Instantaneous B-phase active power"), "02030200", "XX.XXXX", "B632", "XX.XXXX"},
    {QT_TRANSLATE_NOOP("QObject", "Instantaneous C-phase active power"), "02030300", "XX.XXXX", "B633", "XX.XXXX"},
    {QT_TRANSLATE_NOOP("QObject", "Total power factor"), "02060000", "X.XXX", "B650", "X.XXX"},
    {QT_TRANSLATE_NOOP("QObject", "A-phase power factor"), "02060100", "X.XXX", "B651", "X.XXX"},
    {QT_TRANSLATE_NOOP("QObject", "B-phase power factor"), "02060200", "X.XXX", "B652", "X.XXX"},
    {QT_TRANSLATE_NOOP("QObject", "C-phase power factor"), "02060300", "X.XXX", "B653", "X.XXX"},
    {QT_TRANSLATE_NOOP("QObject", "A-phase current"), "02020100", "XXX.XXX", "B621", "XX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "B-phase current"), "02020200", "XXX.XXX", "B622", "XX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "C-phase current"), "02020300", "XXX.XXX", "B623", "XX.XX"},
    {QT_TRANSLATE_NOOP("QObject", "A-phase voltage"), "02010100", "XXX.X", "B611", "XXX"},
    {QT_TRANSLATE_NOOP("QObject", "B-phase voltage"), "02010200", "XXX.X", "B612", "XXX"},
    {QT_TRANSLATE_NOOP("QObject", "C-phase voltage"), "02010300", "XXX.X", "B613", "XXX"},
};

// The names are marked in context "QObject", so this is QObject::tr() of the entry's name.
QString translate(const char *source)
{
    return QCoreApplication::translate("QObject", source);
}
} // namespace

const QVector<Dlt645CatalogueEntry> &entries()
{
    return kEntries;
}

QStringList sourceNames(Edition edition)
{
    QStringList names;
    for (const Dlt645CatalogueEntry &entry : kEntries) {
        if (edition == Edition::V2007 || entry.in1997())
            names.append(QString::fromLatin1(entry.name));
    }
    return names;
}

QStringList translatedNames(Edition edition)
{
    QStringList names;
    for (const Dlt645CatalogueEntry &entry : kEntries) {
        if (edition == Edition::V2007 || entry.in1997())
            names.append(translate(entry.name));
    }
    return names;
}

int indexOfCode(const QString &code)
{
    // Codes are unique across both editions, so the first hit is the only one.
    static const QHash<QString, int> byCode = [] {
        QHash<QString, int> table;
        for (int i = 0; i < kEntries.size(); ++i) {
            table.insert(QString::fromLatin1(kEntries[i].code2007), i);
            if (kEntries[i].in1997())
                table.insert(QString::fromLatin1(kEntries[i].code1997), i);
        }
        return table;
    }();
    return byCode.value(code, -1);
}

int indexOfTranslatedName(const QString &name, Edition edition)
{
    for (int i = 0; i < kEntries.size(); ++i) {
        if (edition == Edition::V1997 && !kEntries[i].in1997())
            continue;
        if (translate(kEntries[i].name) == name)
            return i;
    }
    return -1;
}

NameLookup::NameLookup()
{
    for (int i = 0; i < kEntries.size(); ++i) {
        const QString name = translate(kEntries[i].name);
        // First match wins, should two names share a translation.
        if (!m_2007.contains(name))
            m_2007.insert(name, i);
        if (kEntries[i].in1997() && !m_1997.contains(name))
            m_1997.insert(name, i);
    }
}

const Dlt645CatalogueEntry *NameLookup::find(const QString &translatedName, Edition edition) const
{
    const QHash<QString, int> &table = edition == Edition::V2007 ? m_2007 : m_1997;
    const auto it = table.constFind(translatedName);
    return it == table.constEnd() ? nullptr : &kEntries[it.value()];
}

QVector<QString> translatedNameTable()
{
    QVector<QString> names;
    names.reserve(kEntries.size());
    for (const Dlt645CatalogueEntry &entry : kEntries)
        names.append(translate(entry.name));
    return names;
}

} // namespace Dlt645Catalogue
