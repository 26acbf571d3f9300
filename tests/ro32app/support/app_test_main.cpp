#include "support/app_test_main.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

#include "app/resources.h"

#if defined(__SANITIZE_THREAD__)
// Qt is not built with the sanitizer. Its own thread pool (which fills
// large shapes and converts large images in parallel) and Qt Test's
// watchdog thread hand work over in ways ThreadSanitizer cannot see, so
// the allocations and waits Qt makes there read as races. Calls into the
// C library from Qt's own code are left out of the analysis; everything our
// code does, on any thread, is still checked.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libQt6Test.so.6\n";
}
#endif

namespace orvelan::apptest {

int runTests(int argc, char** argv, const std::function<int(int, char**)>& run)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString started = QDir::currentPath();
    QTemporaryDir workingDirectory(QDir::tempPath() + "/orvelan-app-test-XXXXXX");
    if (!workingDirectory.isValid() || !QDir::setCurrent(workingDirectory.path())) {
        std::fprintf(stderr, "cannot make a temporary working directory\n");
        return 1;
    }
    // Qt wants a private runtime directory; the test's own keeps it quiet.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = workingDirectory.filePath(".runtime");
        QDir().mkdir(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }
    int result = 0;
    {
        QApplication application(argc, argv);
        app::initResources();
        result = run(argc, argv);
    }
    QDir::setCurrent(started);
    return result;
}

}  // namespace orvelan::apptest
