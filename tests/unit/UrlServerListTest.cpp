#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "config/QXUrlServerList.h"

namespace {

QXUrlServerPtr Server(const wchar_t* url) {
    auto server = std::make_shared<CQXUrlServer>();
    server->SetUrl(url);
    return server;
}

// The list's order, read the way a request walks it: the current server, then each failover.
// Needs a failover count of 0; leaves the list as it found it, but every server unreachable.
std::vector<QXUrlServerPtr> Order(CQXUrlServerList& list) {
    std::vector<QXUrlServerPtr> order;
    for (QXUrlServerPtr server = list.GetCurrentServer(); server; server = list.NextServer())
        order.push_back(server);
    return order;
}

class UrlServerListTest : public ::testing::Test {
protected:
    UrlServerListTest() {
        for (const QXUrlServerPtr& server : {m_a, m_b, m_c})
            m_list.AddServer(server);
    }

    QXUrlServerPtr m_a = Server(L"http://a/");
    QXUrlServerPtr m_b = Server(L"http://b/");
    QXUrlServerPtr m_c = Server(L"http://c/");
    CQXUrlServerList m_list;
};

} // namespace

TEST_F(UrlServerListTest, TriesEachServerOnceThenComesBackToTheStart) {
    EXPECT_EQ(m_list.GetCount(), 3);
    EXPECT_EQ(m_list.GetCurrentServer(), m_a);
    EXPECT_EQ(m_list.NextServer(), m_b);
    EXPECT_EQ(m_list.GetFailoverCount(), 1);
    EXPECT_EQ(m_list.NextServer(), m_c);
    EXPECT_EQ(m_list.NextServer(), nullptr);

    EXPECT_EQ(m_list.GetFailoverCount(), 0);
    EXPECT_EQ(m_list.GetCurrentServer(), m_a);
    EXPECT_FALSE(m_list.HasReachableServer());
    EXPECT_EQ(Order(m_list), (std::vector<QXUrlServerPtr>{m_a, m_b, m_c}));

    m_list.ResetFailover();
    EXPECT_TRUE(m_list.HasReachableServer());
    EXPECT_EQ(m_a->IsReachable(), 1);
    EXPECT_EQ(m_b->IsReachable(), 0);
}

TEST_F(UrlServerListTest, KeepsTheServerThatAnsweredFirst) {
    EXPECT_EQ(m_list.NextServer(), m_b);
    m_list.ResetFailover();

    EXPECT_EQ(m_list.GetFailoverCount(), 0);
    EXPECT_EQ(m_b->IsReachable(), 1);
    EXPECT_EQ(m_c->IsReachable(), 1);
    EXPECT_EQ(m_a->IsReachable(), 0);
    EXPECT_EQ(Order(m_list), (std::vector<QXUrlServerPtr>{m_b, m_c, m_a}));
}

TEST_F(UrlServerListTest, FindsAServerByItsWholeUrlIgnoringCase) {
    EXPECT_EQ(m_list.FindServer(L"HTTP://C/"), m_c);
    EXPECT_EQ(m_list.FindServer(L"http://a/"), m_a);
    EXPECT_EQ(m_list.FindServer(L"http://c"), nullptr);
    EXPECT_EQ(m_list.FindServer(L"http://c/x"), nullptr);
    EXPECT_EQ(m_list.FindServer(L""), nullptr);
}

TEST(UrlServerListEdgeTest, EmptyAndSingleServerListsMakeAtMostOneAttempt) {
    CQXUrlServerList empty;
    empty.AddServer(nullptr);
    EXPECT_EQ(empty.GetCount(), 0);
    EXPECT_EQ(empty.GetCurrentServer(), nullptr);
    EXPECT_EQ(empty.NextServer(), nullptr);
    EXPECT_FALSE(empty.HasReachableServer());
    empty.ResetFailover();
    EXPECT_EQ(empty.FindServer(L"http://a/"), nullptr);

    CQXUrlServerList one;
    const QXUrlServerPtr only = Server(L"http://only/");
    one.AddServer(only);
    EXPECT_EQ(one.NextServer(), nullptr);
    EXPECT_EQ(one.GetCurrentServer(), only);
    EXPECT_FALSE(one.HasReachableServer());
    one.ResetFailover();
    EXPECT_TRUE(one.HasReachableServer());
}

// Two request threads fail over on the same list at once: every step must count once, so the
// list is rotated exactly by the total number of steps, with each server still in it once.
TEST_F(UrlServerListTest, TwoThreadsFailingOverAtOnceKeepEveryServerInOrder) {
    const QXUrlServerPtr d = Server(L"http://d/");
    m_list.AddServer(d);
    constexpr int kStepsPerThread = 20001;
    const auto failOver = [this] {
        for (int i = 0; i < kStepsPerThread; ++i) {
            const QXUrlServerPtr current = m_list.GetCurrentServer();
            ASSERT_NE(current, nullptr);
            m_list.NextServer();
            m_list.HasReachableServer();
        }
    };
    std::thread first(failOver);
    std::thread second(failOver);
    first.join();
    second.join();

    // 40002 steps over 4 servers leave the list turned by two places and the count at 2.
    EXPECT_EQ(m_list.GetCount(), 4);
    EXPECT_EQ(m_list.GetFailoverCount(), 2);
    m_list.ResetFailover();
    EXPECT_EQ(Order(m_list), (std::vector<QXUrlServerPtr>{m_c, d, m_a, m_b}));
}
