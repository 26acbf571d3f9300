// The main of every application test program: the offscreen platform
// (unless the caller chose one), a fresh temporary working directory, a
// QApplication and the compiled-in images, then Qt Test.
#pragma once

#include <QTest>

#include <functional>

namespace orvelan::apptest {

int runTests(int argc, char** argv, const std::function<int(int, char**)>& run);

}  // namespace orvelan::apptest

#define ORVELAN_APP_TEST_MAIN(TestClass)                                                   \
    int main(int argc, char** argv)                                                        \
    {                                                                                      \
        return orvelan::apptest::runTests(argc, argv, [](int count, char** arguments) {   \
            TestClass test;                                                                \
            return QTest::qExec(&test, count, arguments);                                  \
        });                                                                                \
    }
