// Opening things that may block: a FIFO put where a file should be.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

// Runs fn on a thread; false when it was still blocked after three
// seconds (it is then set free by opening the FIFO's other end, as often
// as it takes).
inline bool FinishesWithoutBlocking(const std::string& fifo, const std::function<void()>& fn) {
    std::packaged_task<void()> task(fn);
    std::future<void> done = task.get_future();
    std::thread thread(std::move(task));
    bool finished = done.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) close(fd);
    }
    thread.join();
    return finished;
}
