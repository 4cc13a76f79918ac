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

// Hands out batches of consecutive frequency numbers and their values in order; the values by
// repeated addition, so that they are the same whichever thread takes them.
class FrequencySequence {
 public:
  FrequencySequence(std::size_t n, double dfreq, std::size_t batch)
      : n_(n), dfreq_(dfreq), batch_(batch), freq_(-dfreq) {}
  // The next batch: its number u, first frequency f and values freqs.
  bool next(std::size_t& u, std::size_t& f, std::vector<double>& freqs) {
    if (f_ >= n_) return false;
    u = u_++;
    f = f_;
    freqs.clear();
    for (; f_ < n_ && freqs.size() < batch_; ++f_) freqs.push_back(freq_ = freq_ + dfreq_);
    return true;
  }

 private:
  std::size_t n_;
  double dfreq_;
  std::size_t batch_;
  std::size_t u_ = 0;
  std::size_t f_ = 0;
  double freq_;
};

}  // namespace

void run_frequencies(std::size_t n, double dfreq, int threads, std::size_t batch,
                     const std::function<FrequencyWorker()>& make_worker,
                     const std::function<void(FrequencyResults&)>& sink,
                     const std::function<bool()>& enough) {
  // Hands one frequency on; false when the caller wants no more.
  auto hand_on = [&](FrequencyResults& one) {
    sink(one);
    return !enough || !enough();
  };
  batch = std::max<std::size_t>(batch, 1);
  FrequencySequence sequence(n, dfreq, batch);
  const std::size_t units = (n + batch - 1) / batch;
  if (threads <= 1 || units <= 1) {
    const FrequencyWorker worker = make_worker();
    std::size_t u = 0;
    std::size_t f = 0;
    std::vector<double> freqs;
    std::vector<FrequencyResults> r;
    while (sequence.next(u, f, freqs)) {
      check_interrupt();
      r.resize(freqs.size());
      worker(f, freqs.data(), freqs.size(), r);
      for (FrequencyResults& one : r) {
        if (!hand_on(one)) return;
      }
    }
    return;
  }

  // Workers take the next batch from the sequence; the calling thread hands the finished
  // frequencies on in order. A worker runs ahead of the writer by less than `window` batches
  // (4 frequencies per worker, at least 2 batches), so the finished results fit a ring of
  // `window` slots.
  const std::size_t workers = std::min<std::size_t>(static_cast<std::size_t>(threads), units);
  const std::size_t window = workers * std::max<std::size_t>(2, 4 / batch);
  std::vector<std::vector<FrequencyResults>> ring(window);
  std::vector<char> done(window, 0);
  std::size_t written = 0;  // batches handed on; guarded by mu
  bool stop = false;        // guarded by mu
  std::exception_ptr failure;
  std::mutex mu;
  std::condition_variable finished;  // a result is ready, or a worker failed
  std::condition_variable advanced;  // the writer has moved on, or the run stops

  auto work = [&]() {
    try {
      const FrequencyWorker worker = make_worker();
      std::vector<FrequencyResults> r;
      std::vector<double> freqs;
      for (;;) {
        std::size_t u = 0;
        std::size_t f = 0;
        {
          std::unique_lock<std::mutex> lock(mu);
          if (stop || !sequence.next(u, f, freqs)) return;
          advanced.wait(lock, [&] { return stop || u < written + window; });
          if (stop) return;
        }
        check_interrupt();
        r.resize(freqs.size());
        worker(f, freqs.data(), freqs.size(), r);
        std::lock_guard<std::mutex> lock(mu);
        std::swap(ring[u % window], r);
        done[u % window] = 1;
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

  bool ended = false;  // the caller had enough
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
    std::vector<FrequencyResults> r;
    for (std::size_t u = 0; u < units && !ended; ++u) {
      check_interrupt();
      {
        std::unique_lock<std::mutex> lock(mu);
        finished.wait(lock, [&] { return done[u % window] != 0 || failure != nullptr; });
        if (!done[u % window]) break;
        std::swap(r, ring[u % window]);
        done[u % window] = 0;
      }
      for (std::size_t j = 0; j < r.size() && !ended; ++j) ended = !hand_on(r[j]);
      {
        std::lock_guard<std::mutex> lock(mu);
        written = u + 1;
      }
      advanced.notify_all();
    }
  } catch (...) {
    halt();
    throw;
  }
  halt();
  // A worker's failure after the caller had enough does not matter.
  if (failure && !ended) std::rethrow_exception(failure);
}

}  // namespace lg
