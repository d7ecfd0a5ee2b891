// The removal sequence with scripted page answers and uninstall outcomes:
// which pages show, with what, what is uninstalled, what is logged.
#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/log_capture.h"
#include "scrub/tolva_scrub.h"
#include "scrub_ui/page_calls.h"
#include "scrub_ui/tolva_scrub_sequence_internal.h"

namespace {

using tscrub::SelectableVersion;
using tscrub::VersionEntry;
using tscrub::ui::PageResult;

const PageResult Closed = PageResult::Closed, Next = PageResult::Next, Link = PageResult::Link;

VersionEntry entry(const char* version, bool is64, bool inRange) {
    VersionEntry e;
    e.version.init(version);
    e.is64 = is64 ? 1 : 0;
    e.flags = 1 | (inRange ? VersionEntry::InRemovalRange : 0);
    return e;
}

std::string names(const std::vector<VersionEntry>& list) {
    std::string out;
    for (const VersionEntry& e : list)
        out += (out.empty() ? "" : ",") + e.version.source() + (e.is64 ? "/64" : "/32");
    return out;
}

// Pages that answer from a script and write what they were shown into a
// trace, one word per call: "main", "list(<ticks in>)", "progress",
// "status(<name>|<n>|<total>)", "finished", "complete(<removed>;<remaining>)",
// "info(<list>)".
class ScriptedPages : public tscrub::ui::RemovalPages {
public:
    std::deque<PageResult> main;
    // The list page's answer and the ticks the user leaves (empty: unchanged).
    std::deque<std::pair<PageResult, std::string>> list;
    PageResult finished = Closed;
    std::string throwIn;  // the page that throws instead of answering
    std::string trace;

    PageResult showMain() override {
        note("main");
        PageResult r = main.empty() ? Closed : main.front();
        if (!main.empty())
            main.pop_front();
        return r;
    }
    PageResult showVersions(std::vector<SelectableVersion>& rows) override {
        note("list(" + tscrub::ui::tickString(rows) + ")");
        auto step = list.empty() ? std::make_pair(Closed, std::string()) : list.front();
        if (!list.empty())
            list.pop_front();
        tscrub::ui::applyTickString(step.second, rows);
        return step.first;
    }
    void showProgress() override { note("progress"); }
    void setProgressStatus(const std::string& name, int number, int total) override {
        note("status(" + name + "|" + std::to_string(number) + "|" + std::to_string(total) + ")");
    }
    PageResult showProgressFinished() override {
        note("finished");
        return finished;
    }
    PageResult showComplete(const std::vector<VersionEntry>& removed,
                            const std::vector<VersionEntry>& remaining) override {
        note("complete(" + names(removed) + ";" + names(remaining) + ")");
        return Next;
    }
    PageResult showRuleSetInfo(const std::vector<VersionEntry>& outOfDate) override {
        note("info(" + names(outOfDate) + ")");
        return Next;
    }

private:
    void note(const std::string& word) {
        trace += (trace.empty() ? "" : " ") + word;
        if (word.compare(0, throwIn.size(), throwIn) == 0 && !throwIn.empty())
            throw std::runtime_error("page engine failed");
    }
};

struct SequenceRun {
    std::string trace;
    std::string uninstalled;  // "version/bits" per call, in order
    std::string log;
};

// Runs the sequence for "1.8.0_99" over list with the pages, failing the
// uninstall of the versions in failing.
SequenceRun run(const std::vector<VersionEntry>& list, ScriptedPages& pages, const std::string& failing = "",
        bool ruleSet = false) {
    testutil::LogCapture capture;
    SequenceRun result;
    tscrub::ui::SequenceSteps steps;
    steps.outOfDateVersions = [&](const std::string& current) {
        EXPECT_EQ(current, "1.8.0_99");
        return list;
    };
    steps.ruleSetPresent = [&] { return ruleSet; };
    steps.uninstall = [&](const std::string& version, bool is64) {
        result.uninstalled += (result.uninstalled.empty() ? "" : ",") + version + (is64 ? "/64" : "/32");
        return failing.find(version) == std::string::npos;
    };
    tscrub::ui::runSequenceWith("1.8.0_99", pages, steps);
    result.trace = pages.trace;
    result.log = capture.text();
    return result;
}

// 1.7.0_80 outside the removal range, the two others inside it.
std::vector<VersionEntry> threeVersions() {
    return {entry("1.7.0_80", false, false), entry("1.8.0_5", false, true), entry("1.8.0_40", true, true)};
}

TEST(RemovalSequenceTest, ShowSequence_PageAnswersDecideWhatIsRemoved) {
    const struct {
        const char* name;
        std::deque<PageResult> main;
        std::deque<std::pair<PageResult, std::string>> list;
        PageResult finished;
        const char* trace;
        const char* uninstalled;
    } cases[] = {
        {"Next on the main page removes the pre-selected versions", {Next}, {}, Closed,
         "main progress status(Tolva 8 Update 5|1|2) status(Tolva 8 Update 40 (64-bit)|2|2) finished",
         "1.8.0_5/32,1.8.0_40/64"},
        {"close box on the main page removes nothing", {Closed}, {}, Closed, "main", ""},
        {"Next on the list keeps its ticks and does not show the main page again", {Link}, {{Next, "101"}}, Closed,
         "main list(011) progress status(Tolva 7 Update 80|1|2) status(Tolva 8 Update 40 (64-bit)|2|2) finished",
         "1.7.0_80/32,1.8.0_40/64"},
        {"Back on the list discards its ticks", {Link, Link, Next}, {{Closed, "100"}, {Closed, "111"}}, Closed,
         "main list(011) main list(011) main progress status(Tolva 8 Update 5|1|2) "
         "status(Tolva 8 Update 40 (64-bit)|2|2) finished",
         "1.8.0_5/32,1.8.0_40/64"},
        {"no ticks means no progress page", {Link}, {{Next, "000"}}, Closed, "main list(011)", ""},
        {"a short tick string changes only the rows it covers", {Link}, {{Next, "1"}}, Closed,
         "main list(011) progress status(Tolva 7 Update 80|1|3) status(Tolva 8 Update 5|2|3) "
         "status(Tolva 8 Update 40 (64-bit)|3|3) finished",
         "1.7.0_80/32,1.8.0_5/32,1.8.0_40/64"},
        {"the final list when its link is clicked", {Next}, {}, Link,
         "main progress status(Tolva 8 Update 5|1|2) status(Tolva 8 Update 40 (64-bit)|2|2) finished "
         "complete(1.8.0_5/32,1.8.0_40/64;1.7.0_80/32)",
         "1.8.0_5/32,1.8.0_40/64"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPages pages;
        pages.main = c.main;
        pages.list = c.list;
        pages.finished = c.finished;
        const SequenceRun r = run(threeVersions(), pages);
        EXPECT_EQ(r.trace, c.trace);
        EXPECT_EQ(r.uninstalled, c.uninstalled);
        EXPECT_NE(r.log.find("(tscrub::ui::runSequence)]\r\n\tINFO: Out-of-date Tolva versions detected: 3"),
                  std::string::npos)
            << r.log;
        // The per-version lines of the final list only when it is opened.
        EXPECT_EQ(r.log.find("Out-of-date Tolva removed: ") != std::string::npos, c.finished == Link) << r.log;
        EXPECT_EQ(r.log.find("Out-of-date Tolva remaining: ") != std::string::npos, c.finished == Link) << r.log;
    }
}

TEST(RemovalSequenceTest, ShowSequence_FailedUninstallRemainsAndIsLogged) {
    ScriptedPages pages;
    pages.main = {Link};
    pages.list = {{Next, "111"}};
    pages.finished = Link;
    const SequenceRun r = run(threeVersions(), pages, "1.8.0_5");
    EXPECT_EQ(r.uninstalled, "1.7.0_80/32,1.8.0_5/32,1.8.0_40/64");
    EXPECT_NE(r.trace.find("complete(1.7.0_80/32,1.8.0_40/64;1.8.0_5/32)"), std::string::npos) << r.trace;
    const std::string where = "(tscrub::ui::`anonymous-namespace'::showSequence)]\r\n\t";
    for (const std::string& line :
         {":76 " + where + "INFO: Out-of-date Tolva uninstall success: 1.7.0_80",
          ":80 " + where + "ERROR: Out-of-date Tolva uninstall error: 1.8.0_5",
          ":76 " + where + "INFO: Out-of-date Tolva uninstall success: 1.8.0_40",
          ":95 " + where + "INFO: Out-of-date Tolva removed: 1.7.0_80",
          ":99 " + where + "INFO: Out-of-date Tolva remaining: 1.8.0_5",
          ":95 " + where + "INFO: Out-of-date Tolva removed: 1.8.0_40"})
        EXPECT_NE(r.log.find(line), std::string::npos) << line << "\n" << r.log;
}

TEST(RemovalSequenceTest, RunSequence_RuleSetShowsTheWholeListAndRemovesNothing) {
    ScriptedPages pages;
    pages.main = {Next};
    const SequenceRun r = run(threeVersions(), pages, "", /*ruleSet=*/true);
    EXPECT_EQ(r.trace, "info(1.7.0_80/32,1.8.0_5/32,1.8.0_40/64)");
    EXPECT_EQ(r.uninstalled, "");
    EXPECT_NE(r.log.find(":119 (tscrub::ui::runSequence)]\r\n\tINFO: DRS detected, skipping out-of-date Tolva uninstall"),
              std::string::npos)
        << r.log;
}

TEST(RemovalSequenceTest, RunSequence_NothingOutOfDateShowsNoPage) {
    ScriptedPages pages;
    const SequenceRun r = run({}, pages, "", /*ruleSet=*/true);
    EXPECT_EQ(r.trace, "");
    EXPECT_NE(r.log.find(":115 (tscrub::ui::runSequence)]\r\n\tINFO: Out-of-date Tolva versions detected: 0"),
              std::string::npos)
        << r.log;
}

TEST(RemovalSequenceTest, RunSequence_FailuresEndTheFlowQuietly) {
    // A page engine failure in the middle of the removal.
    {
        ScriptedPages pages;
        pages.main = {Next};
        pages.throwIn = "status";
        SequenceRun r;
        ASSERT_NO_THROW(r = run(threeVersions(), pages));
        EXPECT_EQ(r.trace, "main progress status(Tolva 8 Update 5|1|2)");
        EXPECT_EQ(r.uninstalled, "");
        EXPECT_NE(r.log.find(":125 (tscrub::ui::runSequence)]\r\n\tERROR: "), std::string::npos) << r.log;
        EXPECT_NE(r.log.find("Exception with message 'page engine failed' caught"), std::string::npos) << r.log;
    }
    // A download failure, and something that is no standard exception.
    {
        testutil::LogCapture capture;
        ScriptedPages pages;
        tscrub::ui::SequenceSteps steps;
        steps.outOfDateVersions = [](const std::string&) -> std::vector<VersionEntry> { throw 42; };
        ASSERT_NO_THROW(tscrub::ui::runSequenceWith("1.8.0_99", pages, steps));
        EXPECT_NE(capture.text().find("Unknown exception caught"), std::string::npos) << capture.text();
        EXPECT_EQ(pages.trace, "");
    }
    // A current version text that does not parse.
    {
        testutil::LogCapture capture;
        ScriptedPages pages;
        ASSERT_NO_THROW(tscrub::ui::runSequenceWith("nine", pages, tscrub::ui::realSequenceSteps()));
        EXPECT_NE(capture.text().find("(tscrub::ui::runSequence)]\r\n\tERROR: "), std::string::npos);
    }
}

TEST(PageCallsTest, CallTexts_FormatsAndEscaping) {
    using namespace tscrub::ui;
    const std::string hostile = "Tolva 8 'x' \\ </script>\r\nalert(1)";
    const std::string escaped = "Tolva 8 \\'x\\' \\\\ <\\/script>\\r\\nalert(1)";
    EXPECT_EQ(escapeScriptString(hostile), escaped);
    EXPECT_EQ(escapeScriptString("a/b</c"), "a/b<\\/c");
    EXPECT_EQ(ruleSetItemCall(hostile), "addListItem('" + escaped + "');");
    EXPECT_EQ(versionRowCall(3, hostile), "addListItem('3','" + escaped + "');");
    EXPECT_EQ(updateListItemsCall("0110"), "updateListItems('0110');");
    EXPECT_EQ(showProgressViewCall(false), "showProgressView(1)");
    EXPECT_EQ(showProgressViewCall(true), "showProgressView(0)");
    EXPECT_EQ(setStatusCall(hostile, 2, 5), "setStatus('" + escaped + "','2','5')");
    EXPECT_EQ(completeItemCall("remainingList", hostile), "addListItem('remainingList', '" + escaped + "');");
}

TEST(PageCallsTest, ApplyTickString_CoversOnlyRowsOnBothSides) {
    const struct {
        const char* before;
        const char* ticks;
        const char* after;
    } cases[] = {
        {"000", "101", "101"}, {"111", "0", "011"}, {"01", "1010", "10"}, {"10", "", "10"}, {"", "11", ""},
        {"11", "x1", "01"},
    };
    for (const auto& c : cases) {
        std::vector<SelectableVersion> rows;
        for (const char* p = c.before; *p; ++p)
            rows.push_back(SelectableVersion{*p == '1', entry("1.8.0_1", false, false)});
        tscrub::ui::applyTickString(c.ticks, rows);
        EXPECT_EQ(tscrub::ui::tickString(rows), c.after) << c.before << " + " << c.ticks;
    }
}

}  // namespace
