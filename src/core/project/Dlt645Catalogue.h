#pragma once

// The fixed DL/T 645 data-item catalogue: what a meter row may name, and the data identifier
// and value format the box needs for it in each edition. The project file writer and loader
// and the DLT645 editor all read this one table.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

struct Dlt645CatalogueEntry
{
    const char *name;       // source text; shown through QObject::tr()
    const char *code2007;   // data identifier, 2007 edition
    const char *format2007; // value format, 2007 edition
    const char *code1997;   // nullptr when the 1997 edition has no such item
    const char *format1997;

    bool in1997() const { return code1997 != nullptr; }
};

namespace Dlt645Catalogue {

enum class Edition { V2007, V1997 };

// Edition texts as stored in a meter's header row.
inline const QString Edition2007Text = QStringLiteral("DLT645_2007");
inline const QString Edition1997Text = QStringLiteral("DLT645_1997");

// All 44 entries in catalogue order.
const QVector<Dlt645CatalogueEntry> &entries();

// Source names of the entries an edition offers, in catalogue order (44 or 30).
QStringList sourceNames(Edition edition);
// The same names through QObject::tr() in the language now active.
QStringList translatedNames(Edition edition);

// Index of the entry whose 2007 or 1997 code equals `code`, or -1.
int indexOfCode(const QString &code);
// Index of the first entry of `edition` whose translated name equals `name`, or -1.
int indexOfTranslatedName(const QString &name, Edition edition);

// The lookups above translate every name on each call; a serialiser that looks up many rows
// builds one of these instead, once, in the language active at that moment.
class NameLookup
{
public:
    NameLookup();
    // Entry of `edition` for a translated name, or nullptr.
    const Dlt645CatalogueEntry *find(const QString &translatedName, Edition edition) const;

private:
    QHash<QString, int> m_2007;
    QHash<QString, int> m_1997;
};

// Translated names indexed like entries(), built once per use for the same reason.
QVector<QString> translatedNameTable();

} // namespace Dlt645Catalogue
