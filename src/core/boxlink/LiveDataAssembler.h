#pragma once

// Puts a live-data report back together from its command 6 fragments. Fragments are expected
// in order; the collection is bounded by the total the first fragment announces, and any
// fragment that does not fit that total throws the collection away.

#include <QByteArray>
#include <QJsonObject>
#include <QtGlobal>

class LiveDataAssembler
{
public:
    // No report comes near this; a larger announced total is refused outright, so a faulty box
    // cannot make the tool reserve arbitrary amounts of memory.
    static constexpr quint32 MaxReportSize = 16u * 1024u * 1024u;

    enum class Status {
        Dropped,       // too short to be a fragment, or an unacceptable total: nothing changed
        Mismatch,      // its total differs from the report being collected: collection discarded
        Inconsistent,  // its length disagrees with its frame or overruns the total: discarded
        Pending,       // taken; more fragments are needed
        Complete,      // the report is whole and parsed: takeReport()
        ParseFailed,   // the report is whole but is no JSON document: discarded
    };

    // Takes one whole command 6 frame (header and end marker included).
    Status addFragment(const char *frame, int size);
    Status addFragment(const QByteArray &frame) { return addFragment(frame.constData(), frame.size()); }

    // The report of the last Complete fragment.
    QJsonObject takeReport();

    // Forgets the collection and releases its memory.
    void clear();

    quint32 expectedTotal() const { return m_expected; }
    // Total read from the last fragment that was long enough to carry one.
    quint32 lastTotal() const { return m_lastTotal; }
    const QByteArray &collected() const { return m_text; }

private:
    QByteArray m_text;
    quint32 m_expected = 0;
    quint32 m_lastTotal = 0;
    QJsonObject m_report;
};
