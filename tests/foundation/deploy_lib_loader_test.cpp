#include "foundation/deploy_lib_loader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <tuple>
#include <vector>

#include "common/files.h"
#include "common/log_capture.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"
#include "common/test_util.h"
#include "foundation/runtime_home.h"
#include "foundation/tstrings.h"

namespace {

std::string doubleFile(const char* name) { return testutil::besideExe(std::string("deploy-doubles\\") + name); }

bool moduleLoaded(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }

// A runtime home of the test's own, "<scratch>\bin" holding the stand-in
// deployment library and C runtime, and the stand-in's answers set through
// this process's environment (which the library reads at every call).
class DeployLibFixture : public ::testing::Test {
protected:
    void SetUp() override { CreateDirectoryA(bin().c_str(), nullptr); }
    void TearDown() override {
        DeleteFileA(stagerLog().c_str());
        for (const char* name : {"stager.dll", "msvcr100.dll"})
            DeleteFileA((bin() + "\\" + name).c_str());
        RemoveDirectoryA(bin().c_str());
    }
    std::string home() const { return dir_.path(); }
    std::string bin() const { return dir_.file("bin"); }
    std::string stagerLog() const { return logDir_.file("stager.log"); }
    std::vector<std::string> stagerCalls() const { return testutil::readFileLines(stagerLog()); }
    void install(const char* source, const char* target) {
        ASSERT_TRUE(CopyFileA(doubleFile(source).c_str(), (bin() + "\\" + target).c_str(), FALSE))
            << doubleFile(source);
    }
    void installRuntime() {
        install("msvcr100.dll", "msvcr100.dll");
        install("stager.dll", "stager.dll");
    }
    void script(int answer, int status) {
        answer_.set(std::to_string(answer));
        status_.set(std::to_string(status));
    }

    testutil::ScratchDir dir_{"home"};
    testutil::ScratchDir logDir_{"stagerlog"};
    testutil::ScopedEnvironment stagerLogVar_{"TDS_STAGER_LOG", stagerLog()};
    testutil::ScopedEnvironment answer_{"TDS_STAGER_ANSWER"};
    testutil::ScopedEnvironment status_{"TDS_STAGER_STATUS"};
    testutil::LogCapture log_;
};

// --- the four questions ------------------------------------------------------

struct Question {
    const char* name;
    bool (DeployLibLoader::*ask)();
    const char* flags;  // request words 24 to 40
    const char* logged;
    int yes;            // the answer that makes the question true
};

const Question kQuestions[] = {
    {"isTolvaPluginDisabled", &DeployLibLoader::isTolvaPluginDisabled, "1,0,0,0,0",
     "RegisterStagerEx: query userWebTolvaStatus", 0},
    {"isPreviousSecurityDecisionsExist", &DeployLibLoader::isPreviousSecurityDecisionsExist, "0,1,0,0,30",
     "RegisterStagerEx: query userPreviousDecisionsExist", 1},
    {"doClearUserPreviousDecisions", &DeployLibLoader::doClearUserPreviousDecisions, "0,0,1,0,30",
     "RegisterStagerEx: query clearUserPreviousDecisions", 1},
    {"doResetUserPreviousDecisions", &DeployLibLoader::doResetUserPreviousDecisions, "0,0,0,1,0",
     "RegisterStagerEx: query resetUserPreviousDecisions", 1},
};

class Questions : public DeployLibFixture, public ::testing::WithParamInterface<std::tuple<Question, int>> {};

TEST_P(Questions, Query_SendsItsRecordAndReadsTheAnswer) {
    const Question& q = std::get<0>(GetParam());
    const int answer = std::get<1>(GetParam());
    installRuntime();
    script(answer, 1);
    bool result = false;
    {
        DeployLibLoader loader(home());
        result = (loader.*q.ask)();
    }
    EXPECT_EQ(answer == q.yes, result);

    const std::vector<std::string> calls = stagerCalls();
    ASSERT_EQ(1u, calls.size());
    const std::string expected = std::string("request=44,4,0,0,0,2,") + q.flags +
                                 " result=0,1,0 answers-zero=1 runtime=" + bin() + "\\msvcr100.dll";
    EXPECT_EQ(tstrings::toLower(expected), tstrings::toLower(calls[0]));

    const std::string text = log_.text();
    const size_t asked = text.find(q.logged);
    const size_t calling = text.find("Calling RegisterStagerEx...");
    const size_t returned = text.find("RegisterStagerEx call returned query_res = " + std::to_string(answer) +
                                      " ( 1 - yes/ok, 0 - no/(not found), -1 - error during execution)");
    const size_t outcome = text.find(std::string("DeployLibLoader::") + q.name + "() " +
                                     (result ? "succeed" : "return false"));
    ASSERT_NE(std::string::npos, asked) << text;
    EXPECT_LT(asked, calling);
    EXPECT_LT(calling, returned);
    EXPECT_LT(returned, outcome);
    EXPECT_NE(std::string::npos, outcome) << text;
}

INSTANTIATE_TEST_SUITE_P(AllAnswers, Questions,
                         ::testing::Combine(::testing::ValuesIn(kQuestions), ::testing::Values(-1, 0, 1, 2)),
                         [](const ::testing::TestParamInfo<std::tuple<Question, int>>& info) {
                             const int answer = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param).name) + "_Answer" +
                                    (answer < 0 ? "Minus" + std::to_string(-answer) : std::to_string(answer));
                         });

TEST_F(DeployLibFixture, Query_FailedCallCountsAsErrorWhateverTheRecordSays) {
    installRuntime();
    // The library leaves "no" (0) in the record but reports failure: the
    // plug-in must not be taken as disabled.
    script(0, 0);
    DeployLibLoader loader(home());
    EXPECT_EQ(-1, loader.QueryDeployForUserStatus(DeployLibLoader::kUserWebTolvaStatus, 0));
    EXPECT_FALSE(loader.isTolvaPluginDisabled());
    script(1, 0);
    EXPECT_FALSE(loader.isPreviousSecurityDecisionsExist());
    EXPECT_FALSE(loader.doClearUserPreviousDecisions());
    EXPECT_FALSE(loader.doResetUserPreviousDecisions());
    EXPECT_TRUE(log_.contains("RegisterStagerEx call failed"));
    EXPECT_FALSE(log_.contains("query_res"));
}

TEST_F(DeployLibFixture, Query_UnknownKindNeverReachesTheLibrary) {
    installRuntime();
    DeployLibLoader loader(home());
    EXPECT_EQ(-1, loader.QueryDeployForUserStatus(0, 0));
    EXPECT_EQ(-1, loader.QueryDeployForUserStatus(5, 30));
    EXPECT_TRUE(stagerCalls().empty());
}

TEST_F(DeployLibFixture, Lifetime_LoadsTheRuntimeFirstAndUnloadsBoth) {
    installRuntime();
    const std::string runtime = bin() + "\\msvcr100.dll";
    const std::string stager = bin() + "\\stager.dll";
    {
        DeployLibLoader loader(home());
        EXPECT_TRUE(moduleLoaded(runtime));
        EXPECT_TRUE(moduleLoaded(stager));
        EXPECT_TRUE(log_.contains("DeployLibLoader: tolvaHome is " + home()));
        EXPECT_TRUE(log_.contains("DeployLib path is " + stager));
    }
    EXPECT_FALSE(moduleLoaded(stager));
    EXPECT_FALSE(moduleLoaded(runtime));
}

// --- construction failures -----------------------------------------------------

struct BadHome {
    const char* name;
    const char* stagerFrom;   // stand-in copied as stager.dll, or null
    bool relative;
    bool empty;
    const char* error;
};

class ConstructionFailures : public DeployLibFixture, public ::testing::WithParamInterface<BadHome> {};

TEST_P(ConstructionFailures, Constructor_ThrowsLogsAndLeavesNothingLoaded) {
    const BadHome& c = GetParam();
    install("msvcr100.dll", "msvcr100.dll");
    if (c.stagerFrom)
        install(c.stagerFrom, "stager.dll");
    std::string where = home();
    if (c.empty)
        where.clear();
    if (c.relative) {
        // The home named relative to the current folder: a search-path load
        // would find the library, a full-path-only loader must refuse.
        SetCurrentDirectoryA((home() + "\\..").c_str());
        where = home().substr(home().find_last_of('\\') + 1);
        install("stager.dll", "stager.dll");
    }
    try {
        DeployLibLoader loader(where);
        FAIL() << "no exception";
    } catch (const DeployLibLoader::DeployLibLoaderError& e) {
        EXPECT_STREQ(c.error, e.what());
    }
    SetCurrentDirectoryA(testutil::exeDir().c_str());
    EXPECT_TRUE(log_.contains(std::string(c.error))) << log_.text();
    EXPECT_FALSE(moduleLoaded(bin() + "\\msvcr100.dll"));
    EXPECT_FALSE(moduleLoaded(bin() + "\\stager.dll"));
    EXPECT_TRUE(stagerCalls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConstructionFailures,
    ::testing::Values(BadHome{"EmptyHome", nullptr, false, true, "tolvaHome is empty. Fail to load deploy lib"},
                      BadHome{"RelativeHome", nullptr, true, false,
                              "tolvaHome is not a full path. Fail to load deploy lib"},
                      BadHome{"NoStagerBesideTheRuntime", nullptr, false, false, "Failed to load Deploy library"},
                      BadHome{"StagerWithoutTheExport", "msvcr100.dll", false, false,
                              "Failed to GetProcAddress(RegisterStagerEx)"}),
    [](const ::testing::TestParamInfo<BadHome>& info) { return std::string(info.param.name); });

// --- the home as the installer recorded it -----------------------------------

const char kVendor[] = "SOFTWARE\\TolvaSoft";
const char kVersionKey[] = "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment\\96.0.2_7";

TEST_F(DeployLibFixture, Constructor_UsesTheHomeOfTheInstalledRuntime) {
    testutil::ScopedRegBackup vendor(HKEY_LOCAL_MACHINE, kVendor);
    const std::string stored = home() + "\\";
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kVersionKey, "TolvaHome", REG_SZ, stored.c_str(),
                          static_cast<DWORD>(stored.size() + 1));
    installRuntime();
    script(1, 1);
    char found[MAX_PATH] = {};
    ASSERT_EQ(1, FindTolvaHome("96.0.2_7", found, sizeof found, false));
    DeployLibLoader loader(found);
    EXPECT_TRUE(loader.isPreviousSecurityDecisionsExist());
    ASSERT_EQ(1u, stagerCalls().size());
    EXPECT_NE(std::string::npos, stagerCalls()[0].find("runtime=" + bin() + "\\msvcr100.dll"));
}

}  // namespace
