#include "support/app_test_main.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

#include "app/resources.h"

#if defined(__SANITIZE_THREAD__)
// Qt is not built with ThreadSanitizer: its own threads (Qt Test's watchdog,
// the event machinery) synchronise through code the sanitizer cannot see,
// so the calls they make into its interceptors would be reported as races.
// Those calls are left out; every access of our own code is still checked.
// Options given in TSAN_OPTIONS come on top of these.
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
