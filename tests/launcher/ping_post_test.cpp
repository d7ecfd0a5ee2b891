#include "launcher/install_ping.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/files.h"
#include "common/test_servers.h"
#include "common/test_util.h"
#include "foundation/logger.h"
#include "foundation/xml_reader.h"
#include "launcher/install_ping_internal.h"

namespace {

using Elements = std::vector<std::pair<std::string, std::string>>;

// The request's elements in document order, values decoded.
Elements elementsOf(const std::string& document) {
    Elements out;
    XmlNode* top = XmlParse(document.c_str());
    XmlNode* request = XmlFindElement(top, "request");
    for (XmlNode* e = request ? request->child : nullptr; e; e = e->next) {
        if (e->kind == XmlNode::ELEMENT)
            out.push_back({e->name, e->child && e->child->kind == XmlNode::TEXT ? e->child->name : ""});
    }
    XmlFreeNode(top);
    return out;
}

std::string readLog() { return testutil::readFileText(Logger::getInstance().path()); }

class PingPost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testutil::TestServers::get().ready()) << "the local test servers did not start";
        tag_ = testutil::uniqueTag();
    }
    const testutil::TestServers& servers() const { return testutil::TestServers::get(); }
    std::string tag_;
};

TEST_F(PingPost, SendHeadRequest_PostsTheDocumentWithItsAgent) {
    install_ping_internal::PingDocument doc;
    doc.add("sc_xml_ver", "1.0");
    doc.add("prop20", "secretpass");
    doc.add("evar42", "a<b&c");
    doc.add("evar24", -1603);
    const std::string document = doc.finish();
    const std::string url = servers().httpsUrl("/echo?tag=" + tag_) + ",mysuite";
    const size_t logBefore = readLog().size();

    EXPECT_EQ(1, SendHeadRequest(url.c_str(), url.find(','), document.c_str()));

    const auto requests = servers().requestsWith(tag_);
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST", requests[0].method);
    EXPECT_EQ("/echo?tag=" + tag_, requests[0].path);  // nothing after the comma
    EXPECT_EQ("tupdate", requests[0].agent);
    const Elements expected = {
        {"sc_xml_ver", "1.0"}, {"prop20", "secretpass"}, {"evar42", "a<b&c"}, {"evar24", "-1603"}};
    EXPECT_EQ(expected, elementsOf(requests[0].body));
    EXPECT_EQ(document, requests[0].body);

    const std::string logged = readLog().substr(logBefore);
    EXPECT_NE(std::string::npos, logged.find("Ping Values: "));
    EXPECT_NE(std::string::npos, logged.find("<prop20>**********</prop20>"));
    EXPECT_EQ(std::string::npos, logged.find("secretpass"));
}

TEST_F(PingPost, SendHeadRequest_PlainHttpIsRefusedBeforeAnyRequest) {
    const std::string url = servers().httpUrl("/echo?tag=" + tag_);
    const size_t logBefore = readLog().size();
    EXPECT_EQ(0, SendHeadRequest(url.c_str(), url.size(), "<request></request>"));
    EXPECT_TRUE(servers().requestsWith(tag_).empty());
    const std::string logged = readLog().substr(logBefore);
    EXPECT_NE(std::string::npos, logged.find("Http is disabled"));
    EXPECT_NE(std::string::npos, logged.find("Ping Values: "));
}

TEST_F(PingPost, SendHeadRequest_FailuresAnswerZero) {
    for (const std::string& url : {servers().httpsUrl("/missing?tag=" + tag_),
                                   servers().refusedUrl("/echo?tag=" + tag_)}) {
        EXPECT_EQ(0, SendHeadRequest(url.c_str(), url.size(), "<request></request>")) << url;
    }
}

}  // namespace
