// The images our generator draws, compiled into the library.
#pragma once

#include <QString>

namespace orvelan::app {

// The folder the widgets take their images from.
inline const QString kResourcePath = QStringLiteral(":/ro32app/Resources");

// Registers the compiled-in images. The library is static, so nothing would
// pull the resource data in by itself: main and the tests call this once
// before the first widget is built.
void initResources();

}  // namespace orvelan::app
