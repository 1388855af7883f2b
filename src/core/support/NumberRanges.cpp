#include "core/support/NumberRanges.h"

#include <QStringList>

namespace NumberRanges {

bool parse(const QString &text, int low, int high, QVector<Range> *ranges)
{
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.trimmed().split(QLatin1Char('-'));
        bool okFrom = false, okTo = true;
        const int from = ends.first().toInt(&okFrom);
        const int to = ends.size() == 2 ? ends.last().toInt(&okTo) : from;
        if (ends.size() > 2 || !okFrom || !okTo || from < low || to > high || from > to)
            return false;
        ranges->append({from, to});
    }
    return true;
}

bool parseNumbers(const QString &text, int low, int high, QVector<int> *numbers)
{
    QVector<Range> ranges;
    if (!parse(text, low, high, &ranges))
        return false;
    for (const Range &range : ranges)
        for (int n = range.from; n <= range.to; ++n)
            if (!numbers->contains(n))
                numbers->append(n);
    return true;
}

} // namespace NumberRanges
