#pragma once

// What every window says of the program: its title, version and desktop application id. The
// version and the id are set once, in the build.

#include <QString>

namespace application {

inline const QString kTitle = QStringLiteral("Parvane");
inline const QString kVersion = QStringLiteral(PARVANE_VERSION);
inline const QString kId = QStringLiteral(PARVANE_APP_ID);

} // namespace application
