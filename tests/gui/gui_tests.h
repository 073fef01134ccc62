// The test classes of the window tests, one factory each.
#pragma once

#include <QObject>
#include <memory>
#include <vector>

namespace etc::guitest {

std::unique_ptr<QObject> makeStartupTest();
std::unique_ptr<QObject> makeOnlineTest();
std::unique_ptr<QObject> makeMenuAndLockTest();
std::unique_ptr<QObject> makeErrorsWindowTest();
std::unique_ptr<QObject> makePortGroupTest();
std::unique_ptr<QObject> makeAdapterTest();
std::unique_ptr<QObject> makeRealTimeTest();

inline std::vector<std::unique_ptr<QObject>> allTests() {
    std::vector<std::unique_ptr<QObject>> tests;
    tests.push_back(makeStartupTest());
    tests.push_back(makeOnlineTest());
    tests.push_back(makeMenuAndLockTest());
    tests.push_back(makeErrorsWindowTest());
    tests.push_back(makePortGroupTest());
    tests.push_back(makeAdapterTest());
    tests.push_back(makeRealTimeTest());
    return tests;
}

}  // namespace etc::guitest
