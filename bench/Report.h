#pragma once

#include <QList>
#include <QString>

// How the benchmark writes its figures.
namespace Report {

// One line on standard output, at once, so a long run shows how far it got.
void Say(const QString &line);
double Median(QList<double> values);
QString Fixed(double value, int decimals);

} // namespace Report
