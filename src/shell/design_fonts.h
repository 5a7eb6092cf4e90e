#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace shell {

// The window is designed for Tahoma and Arial. When the system lacks Tahoma, the Tahoma files found in the
// given folders (by default those where Debian's fonts-wine puts them) are registered with the application;
// Arial comes from the system's metric-compatible alias. Returns the families that were registered.
QStringList loadDesignFonts(const QStringList& folders = {});

// Design fonts with the closest sans-serif as the fallback when the family is missing.
QFont tahomaFont(qreal pointSize, bool bold);
QFont arialFont(qreal pointSize, bool bold);

}  // namespace shell
