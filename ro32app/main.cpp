// Orvelan: the program a user starts. It chooses the processor variant of
// the signal kernels once, then runs the main window until it is closed.
#include <QApplication>

#include "app/resources.h"
#include "app/ro32app.h"
#include "dsp.h"

int main(int argc, char** argv)
{
    dspStaticInit();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvelan"));
    orvelan::app::initResources();
    int result = 0;
    {
        orvelan::app::Ro32App window;
        window.show();
        result = QApplication::exec();
    }
    return result;
}
