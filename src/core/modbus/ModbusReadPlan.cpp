#include "core/modbus/ModbusReadPlan.h"

#include <algorithm>

QVector<ModbusReadPlan::Request> ModbusReadPlan::build(const QVector<ModbusPoint> &points)
{
    QVector<int> order;
    for (int i = 0; i < points.size(); ++i) {
        if (points.at(i).error.isEmpty())
            order.append(i);
    }
    // By table, then address; equal addresses keep their row order.
    std::stable_sort(order.begin(), order.end(), [&points](int a, int b) {
        const ModbusPoint &p = points.at(a), &q = points.at(b);
        if (p.table != q.table)
            return int(p.table) < int(q.table);
        return p.address < q.address;
    });

    QVector<Request> requests;
    for (int index : qAsConst(order)) {
        const ModbusPoint &point = points.at(index);
        const int end = point.address + point.count;
        if (!requests.isEmpty()) {
            Request &last = requests.last();
            const bool bits = point.isBitTable();
            const int lastEnd = last.start + last.count;
            const int gap = point.address - lastEnd;
            const int merged = std::max(end, lastEnd) - last.start;
            if (last.table == point.table && gap <= (bits ? MaxBitGap : MaxRegisterGap)
                && merged <= (bits ? MaxBits : MaxRegisters)) {
                last.count = merged;
                last.points.append(index);
                continue;
            }
        }
        Request request;
        request.table = point.table;
        request.start = point.address;
        request.count = point.count;
        request.points.append(index);
        requests.append(request);
    }
    return requests;
}
