#pragma once
// CRecordRelay: hands record numbers from one thread (the producer) to another (the consumer) in fixed
// blocks, so that the two meet once per block rather than once per record, with no allocation after
// construction. At most kBlocks blocks are in flight, which bounds how far the producer runs ahead.
// Either side may stop the relay; the other then sees it at its next block.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace fennick {

class CRecordRelay {
public:
    static constexpr int kBlock = 16384;
    static constexpr int kBlocks = 4;

    // Producer: adds a record number. False once the relay was stopped.
    bool Put(int32_t record) {
        if (m_fill == 0 && !AcquireBlock())
            return false;
        m_numbers[Slot(m_published)][m_fill++] = record;
        if (m_fill == kBlock)
            Publish();
        return true;
    }

    // Producer: hands over what is left; the consumer ends after it.
    void Finish() {
        if (m_fill > 0)
            Publish();
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_changed.notify_all();
    }

    // Either side: nothing more is handed over or taken.
    void Stop() {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
    }

    // Consumer: gives back the block it had and waits for the next. Its count, or 0 at the end or after Stop.
    int Take(const int32_t** numbers) {
        std::unique_lock lock(m_mutex);
        if (m_holding) {
            m_holding = false;
            ++m_released;
            m_changed.notify_all();
        }
        m_changed.wait(lock, [&] { return m_stopped || m_finished || m_released < m_published; });
        if (m_stopped || m_released == m_published)
            return 0;
        m_holding = true;
        *numbers = m_numbers[Slot(m_released)];
        return m_counts[Slot(m_released)];
    }

private:
    static int Slot(uint64_t block) { return static_cast<int>(block % kBlocks); }

    bool AcquireBlock() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopped || m_published - m_released < kBlocks; });
        return !m_stopped;
    }

    void Publish() {
        {
            std::lock_guard lock(m_mutex);
            m_counts[Slot(m_published)] = m_fill;
            ++m_published;
        }
        m_fill = 0;
        m_changed.notify_all();
    }

    int32_t m_numbers[kBlocks][kBlock];
    int m_counts[kBlocks] = {};
    int m_fill = 0; // numbers in the block being filled (producer only)
    std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_published = 0; // blocks handed over
    uint64_t m_released = 0;  // blocks the consumer is done with
    bool m_holding = false;   // the consumer works on block m_released
    bool m_finished = false;
    bool m_stopped = false;
};

} // namespace fennick
