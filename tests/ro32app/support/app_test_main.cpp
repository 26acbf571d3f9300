#include "support/app_test_main.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

#include "app/resources.h"

#if defined(__SANITIZE_THREAD__)
// Qt is not built with the sanitizer. Its own threads (the thread pool that
// fills large shapes and converts large images in parallel, Qt Test's
// watchdog, the event machinery) synchronise through code ThreadSanitizer
// cannot see, so the calls they make into the C library and into the
// sanitizer's interceptors would read as races. Those calls are left out of
// the analysis; every access of our own code, on any thread and whatever Qt
// frames lie below it, is still checked. TSAN_OPTIONS comes on top.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libQt6Test.so.6\n";
}

extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
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
