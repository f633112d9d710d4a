// The chunks of a save, from the thread that encodes them to the one that writes them, in order:
// encoding takes longer than handing the bytes to the system, and a million entries take 300 MB.
// At most kChunksInFlight wait at a time; their buffers go back and forth instead of being made.
// A few lines of a mutex and a condition variable: Qt Core has no bounded queue between threads.
#pragma once

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace larkspan {

class ChunkPipe
{
public:
    // The encoder's side: passes on the first `used` bytes of `chunk` and gets an empty buffer in
    // its place. False once the writer has given up.
    bool pass(QByteArray &chunk, qsizetype used)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || full_.size() < kChunksInFlight; });
        if (stopped_)
            return false;
        full_.push_back({std::move(chunk), used});
        chunk = spare_.empty() ? QByteArray() : std::exchange(spare_.back(), {});
        if (!spare_.empty())
            spare_.pop_back();
        changed_.notify_all();
        return true;
    }
    // Every chunk is passed, or the encoder failed.
    void finish() { raise(finished_); }

    // The writer's side: the next chunk in `chunk` (after giving back the one it held), or false
    // when there are no more.
    bool next(QByteArray &chunk, qsizetype &used)
    {
        std::unique_lock lock(mutex_);
        if (!chunk.isNull())
            spare_.push_back(std::exchange(chunk, {}));
        changed_.wait(lock, [&] { return finished_ || !full_.empty(); });
        if (full_.empty())
            return false;
        chunk = std::move(full_.front().bytes);
        used = full_.front().used;
        full_.pop_front();
        changed_.notify_all();
        return true;
    }
    // The writer failed: the encoder is to stop.
    void stop() { raise(stopped_); }

private:
    void raise(bool &flag)
    {
        const std::lock_guard lock(mutex_);
        flag = true;
        changed_.notify_all();
    }

    static constexpr size_t kChunksInFlight = 3;
    struct Chunk
    {
        QByteArray bytes;
        qsizetype used;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> full_;
    std::vector<QByteArray> spare_;
    bool finished_ = false;
    bool stopped_ = false;
};

} // namespace larkspan
