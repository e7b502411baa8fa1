#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// How many bytes of installed copies the patches fetched side by side may hold in memory at
// once. A base larger than the whole budget still gets its turn, alone.
class CQXLBaseBudget {
public:
    explicit CQXLBaseBudget(std::uint64_t bytes) : m_bytes(bytes) {}

    CQXLBaseBudget(const CQXLBaseBudget&) = delete;
    CQXLBaseBudget& operator=(const CQXLBaseBudget&) = delete;

    // Holds bytes of the budget while it lives, once they fit beside what others hold.
    class Hold {
    public:
        Hold(CQXLBaseBudget& budget, std::uint64_t bytes) : m_budget(budget), m_bytes(bytes) {
            m_budget.Take(m_bytes);
        }
        ~Hold() { m_budget.Give(m_bytes); }

        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        CQXLBaseBudget& m_budget;
        const std::uint64_t m_bytes;
    };

private:
    void Take(std::uint64_t bytes);
    void Give(std::uint64_t bytes);

    const std::uint64_t m_bytes;
    std::mutex m_lock;
    std::condition_variable m_given;
    std::uint64_t m_held = 0;
};
