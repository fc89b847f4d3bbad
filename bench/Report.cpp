#include "Report.h"

#include <algorithm>
#include <cstdio>

namespace Report {

void Say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

QString Fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

} // namespace Report
