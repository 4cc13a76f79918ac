#include "run/frequency_loop.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "run/interrupt.h"

namespace lg {

namespace {

// Hands out frequency numbers and values in order; the values by repeated addition, so that
// they are the same whichever thread takes them.
class FrequencySequence {
 public:
  FrequencySequence(std::size_t n, double dfreq) : n_(n), dfreq_(dfreq), freq_(-dfreq) {}
  bool next(std::size_t& f, double& freq) {
    if (f_ >= n_) return false;
    f = f_++;
    freq = freq_ = freq_ + dfreq_;
    return true;
  }

 private:
  std::size_t n_;
  double dfreq_;
  std::size_t f_ = 0;
  double freq_;
};

}  // namespace

void run_frequencies(std::size_t n, double dfreq, int threads,
                     const std::function<FrequencyWorker()>& make_worker,
                     const std::function<void(FrequencyResults&)>& sink) {
  FrequencySequence sequence(n, dfreq);
  if (threads <= 1 || n <= 1) {
    const FrequencyWorker worker = make_worker();
    std::size_t f = 0;
    double freq = 0.0;
    FrequencyResults r;
    while (sequence.next(f, freq)) {
      check_interrupt();
      worker(f, freq, r);
      sink(r);
    }
    return;
  }

  // Workers take the next frequency from the sequence; the calling thread hands the finished
  // ones on in order. A worker runs ahead of the writer by less than `window` frequencies, so
  // the finished results fit a ring of `window` slots.
  const std::size_t workers = std::min<std::size_t>(static_cast<std::size_t>(threads), n);
  const std::size_t window = 4 * workers;
  std::vector<FrequencyResults> ring(window);
  std::vector<char> done(window, 0);
  std::size_t written = 0;  // guarded by mu
  bool stop = false;        // guarded by mu
  std::exception_ptr failure;
  std::mutex mu;
  std::condition_variable finished;  // a result is ready, or a worker failed
  std::condition_variable advanced;  // the writer has moved on, or the run stops

  auto work = [&]() {
    try {
      const FrequencyWorker worker = make_worker();
      FrequencyResults r;
      for (;;) {
        std::size_t f = 0;
        double freq = 0.0;
        {
          std::unique_lock<std::mutex> lock(mu);
          if (stop || !sequence.next(f, freq)) return;
          advanced.wait(lock, [&] { return stop || f < written + window; });
          if (stop) return;
        }
        check_interrupt();
        worker(f, freq, r);
        std::lock_guard<std::mutex> lock(mu);
        std::swap(ring[f % window], r);
        done[f % window] = 1;
        finished.notify_one();
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(mu);
      if (!failure) failure = std::current_exception();
      stop = true;
      finished.notify_one();
      advanced.notify_all();
    }
  };

  std::vector<std::thread> pool;
  pool.reserve(workers);
  auto halt = [&]() {
    {
      std::lock_guard<std::mutex> lock(mu);
      stop = true;
    }
    advanced.notify_all();
    for (std::thread& t : pool) t.join();
  };

  try {
    for (std::size_t t = 0; t < workers; ++t) pool.emplace_back(work);
    FrequencyResults r;
    for (std::size_t f = 0; f < n; ++f) {
      check_interrupt();
      {
        std::unique_lock<std::mutex> lock(mu);
        finished.wait(lock, [&] { return done[f % window] != 0 || failure != nullptr; });
        if (!done[f % window]) break;
        std::swap(r, ring[f % window]);
        done[f % window] = 0;
      }
      sink(r);
      {
        std::lock_guard<std::mutex> lock(mu);
        written = f + 1;
      }
      advanced.notify_all();
    }
  } catch (...) {
    halt();
    throw;
  }
  halt();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace lg
