// Writes one buffer on a second thread while the caller fills the next, so
// that a large conversion costs little more than writing its output.
#pragma once

#include <cerrno>
#include <semaphore>
#include <span>
#include <thread>

namespace tremlox {

template <class Sink> class background_writer {
  public:
    explicit background_writer(Sink &sink) : sink_(sink) {}
    background_writer(const background_writer &) = delete;
    background_writer &operator=(const background_writer &) = delete;

    ~background_writer() {
        wait_for_write();
        if (thread_.joinable()) {
            stopping_ = true;
            work_ready_.release();
            thread_.join();
        }
    }

    // Starts writing text, which must stay untouched until the next call
    // returns. Returns false, with errno set, when an earlier write failed.
    bool submit(std::span<const char> text) {
        if (!wait_for_write())
            return false;
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
        pending_ = text;
        busy_ = true;
        work_ready_.release();
        return true;
    }

    // Writes the last text on the calling thread, once everything before it
    // is out; a conversion that fits one buffer never starts the thread.
    bool finish(std::span<const char> text) { return wait_for_write() && sink_.write_all(text); }

  private:
    bool wait_for_write() {
        if (busy_) {
            work_done_.acquire();
            busy_ = false;
        }
        if (error_ != 0) {
            errno = error_;
            return false;
        }
        return true;
    }

    void run() {
        for (;;) {
            work_ready_.acquire();
            if (stopping_)
                return;
            if (!sink_.write_all(pending_))
                error_ = errno != 0 ? errno : EIO;
            work_done_.release();
        }
    }

    Sink &sink_;
    // Handed between the threads only through the two semaphores.
    std::span<const char> pending_;
    int error_ = 0;
    bool stopping_ = false;
    bool busy_ = false; // touched by the calling thread alone
    std::binary_semaphore work_ready_{0};
    std::binary_semaphore work_done_{0};
    std::thread thread_;
};

} // namespace tremlox
