// Runs the window tests: every test class, or the one named as the first argument (the remaining
// arguments go to QTest).
#include <QApplication>
#include <QTest>
#include <cstring>
#include <memory>
#include <vector>

#include "gui_tests.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::vector<std::unique_ptr<QObject>> tests = etc::guitest::allTests();
    const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
    std::vector<char*> qtestArgs{argv[0]};
    for (int i = only ? 2 : 1; i < argc; ++i)
        qtestArgs.push_back(argv[i]);
    int failed = 0;
    bool ran = false;
    for (const auto& test : tests) {
        const char* name = test->metaObject()->className();
        if (const char* colon = std::strrchr(name, ':'))
            name = colon + 1;
        if (only && std::strcmp(name, only) != 0)
            continue;
        ran = true;
        failed += QTest::qExec(test.get(), static_cast<int>(qtestArgs.size()), qtestArgs.data());
    }
    if (!ran) {
        qWarning("no test class named %s", only);
        return 2;
    }
    return failed == 0 ? 0 : 1;
}
