#pragma once

// `vellinor --check-resources`: whether this installation finds the resources it ships with,
// for packagers and the install test. Prints one line per resource, "<name>: <path>" or
// "<name>: <problem>", and gives the exit status: 0 when the probe tool runs and the
// placeholder poster decodes, 1 otherwise. Needs a QGuiApplication (for the image decoders).

#include <QString>

class QTextStream;

namespace vellinor {

inline const QString checkResourcesOption = QStringLiteral("--check-resources");

int checkResources(QTextStream& out);

}  // namespace vellinor
