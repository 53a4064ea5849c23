// Linked into every test program that uses the headless windows: a test that registered a
// dialog session which never ran fails, since the assertions inside it never stood.
#include <gtest/gtest.h>

#include <string>

#include "platform/headless/ui_headless.h"

namespace {

class SessionCheck : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo &) override
    {
        const std::vector<int> left = headless::pending_sessions();
        if (left.empty()) return;
        std::string ids;
        for (int id : left) ids += " " + std::to_string(id);
        ADD_FAILURE() << "dialog sessions registered but never run (their dialogs never opened):" << ids;
        // Once reported; the next test starts clean even if it does not reset the windows.
        for (int id : left) headless::on_dialog(id, nullptr);
    }
};

// Installed before main runs, after the result printer: test ends reach listeners in
// reverse order, so the check runs first and a test failed here prints as failed.
const bool installed = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new SessionCheck);
    return true;
}();

}  // namespace
