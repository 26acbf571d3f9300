#include "app/resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE names a function in the global namespace.
static void registerCompiledImages()
{
    Q_INIT_RESOURCE(ro32app);
}

namespace orvelan::app {

void initResources()
{
    registerCompiledImages();
}

}  // namespace orvelan::app
