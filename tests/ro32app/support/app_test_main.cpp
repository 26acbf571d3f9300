#include "support/app_test_main.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

#include "app/resources.h"

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
