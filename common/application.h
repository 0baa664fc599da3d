#pragma once

// What every window says of the program: its title, version and desktop application id. The
// version and the id are set once, in the build.

#include "parvane_version.h"

#include <QString>

namespace application {

inline const QString kTitle = QStringLiteral("Parvane");
inline const QString kVersion = QString::fromLatin1(::kVersion);
inline const QString kId = QString::fromLatin1(::kApplicationId);

} // namespace application
