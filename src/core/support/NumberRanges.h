#pragma once

// Lists of numbers as people type them on a command line: "3,17,200-210".

#include <QString>
#include <QVector>

namespace NumberRanges {

struct Range {
    int from = 0;
    int to = 0;
};

// False for anything but comma-separated numbers and "from-to" ranges within [low, high].
bool parse(const QString &text, int low, int high, QVector<Range> *ranges);
// The same, every number once, in the order first given.
bool parseNumbers(const QString &text, int low, int high, QVector<int> *numbers);

} // namespace NumberRanges
