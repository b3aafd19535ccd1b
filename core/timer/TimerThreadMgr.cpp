#include "core/timer/TimerThreadMgr.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// Constructed when the library loads; its thread starts only if some timer object uses it.
CTimerThreadMgr g_processTimerManager("tTimerMan", 210);

}  // namespace

CTimerThreadMgr* VtProcessTimerManager() { return &g_processTimerManager; }

CTimerNode::~CTimerNode() = default;

void CTimerNode::Reset() {
    m_pCallback = nullptr;
    m_pOwner = nullptr;
    m_nTimerID = -1;
    m_bStopped = true;
    m_bInCallback = false;
    m_nPeriod = 0;
    m_nCount = -1;
    m_nLastFire = 0;
    m_bAtOnce = false;
}

std::uint64_t CTimerThreadMgr::NowMs() {
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

CTimerThreadMgr::CTimerThreadMgr(const std::string& name, int priorityCode, Clock clock)
    : m_strName(name), m_nSleepMs(10), m_nPriority(priorityCode), m_clock(std::move(clock)), m_nPasses(0) {
    if (!m_clock) m_clock = &CTimerThreadMgr::NowMs;
}

CTimerThreadMgr::~CTimerThreadMgr() {
    std::printf("Wait %s Timer Stop...\n", m_strName.c_str());
    std::fflush(stdout);
    StopThread(-1);
    std::printf("Wait %s Timer Stop Over.\n", m_strName.c_str());
    std::fflush(stdout);
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    for (auto& node : m_vecNodes) node->Reset();
    m_vecNodes.clear();
}

int CTimerThreadMgr::SetTimer(int id, VtTimerCallback callback, void* owner, unsigned int period, int count,
                              bool atOnce) {
    if (count != -1 && count <= 0) {
        std::printf("SetTimer nCount must > 0 or =-1\n");
        std::fflush(stdout);
        return -1;
    }
    if (callback == nullptr) {
        std::printf("%s: :SetTimer Callback is null, can't settimer\n", m_strName.c_str());
        std::fflush(stdout);
        return -1;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        CTimerNode* freeNode = nullptr;
        for (auto& node : m_vecNodes) {
            if (!node->m_bStopped && node->m_nTimerID == id && node->m_pOwner == owner) {
                std::printf("%s: assigned ID %d hav exist, please stop first.\n", m_strName.c_str(), id);
                std::fflush(stdout);
                return -1;
            }
            if (freeNode == nullptr && node->m_bStopped) freeNode = node.get();
        }
        if (freeNode == nullptr) {
            m_vecNodes.push_back(std::make_unique<CTimerNode>());
            freeNode = m_vecNodes.back().get();
        }
        freeNode->m_pCallback = callback;
        freeNode->m_nTimerID = id;
        freeNode->m_pOwner = owner;
        freeNode->m_bStopped = false;
        freeNode->m_bInCallback = false;
        freeNode->m_nPeriod = period;
        freeNode->m_nLastFire = m_clock();
        freeNode->m_nCount = count;
        freeNode->m_bAtOnce = atOnce;
        ++freeNode->m_nGeneration;
    }
    std::lock_guard<std::mutex> start(m_startMutex);
    if (!IsRunning()) StartThread(m_strName, m_nPriority);
    return id;
}

void CTimerThreadMgr::KillTimer(int id, void* owner) {
    if (!IsRunning()) return;
    if (id == -1) {
        RequestStop();
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    for (auto& node : m_vecNodes) {
        if (node->m_nTimerID == id && node->m_pOwner == owner) {
            node->Reset();
            return;
        }
    }
}

void CTimerThreadMgr::KillOwnerTimers(void* owner) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    for (auto& node : m_vecNodes)
        if (node->m_pOwner == owner) node->Reset();
}

std::size_t CTimerThreadMgr::GetActiveTimerCount() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    std::size_t n = 0;
    for (auto& node : m_vecNodes) n += node->m_bStopped ? 0u : 1u;
    return n;
}

std::size_t CTimerThreadMgr::GetNodeCount() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_vecNodes.size();
}

void CTimerThreadMgr::Run() {
    while (IsRunning()) {
        Pass();
        m_nPasses.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(m_nSleepMs));
    }
}

void CTimerThreadMgr::Pass() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    // By index: a callback may set timers (appending nodes) or kill them while we iterate.
    for (std::size_t i = 0; i < m_vecNodes.size(); ++i) {
        CTimerNode* node = m_vecNodes[i].get();
        if (node->m_bStopped) continue;
        const std::uint64_t now = m_clock();
        if (now < node->m_nLastFire) {
            node->m_nLastFire = now;
            continue;
        }
        // Due once the period less 5 ms has passed: the 10 ms pass would otherwise make every
        // timer late by up to one pass.
        const long long left = static_cast<long long>(node->m_nPeriod) - static_cast<long long>(now - node->m_nLastFire);
        if (left > 5 && !node->m_bAtOnce) continue;
        node->m_bAtOnce = false;
        node->m_bInCallback = true;
        const std::uint64_t generation = node->m_nGeneration;
        node->m_pCallback(static_cast<unsigned int>(node->m_nTimerID), node->m_pOwner);
        // The callback may have killed this timer, or killed it and set a new one in the same
        // node; the bookkeeping below belongs to the timer that fired only.
        if (node->m_bStopped || node->m_nGeneration != generation) continue;
        node->m_bInCallback = false;
        node->m_nLastFire = now;
        if (node->m_nCount > 0 && --node->m_nCount == 0) node->m_bStopped = true;
    }
}
