#include "run/frequency_loop.h"

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "run/interrupt.h"
#include "output/result_format.h"

namespace lg {

namespace {

FrequencyResult compute_one(Context& c, double freq, const Sampling& s, const BesselTable* table) {
  const FrequencyOutcome o = compute_frequency(c, freq, s, table);
  FrequencyResult r;
  r.ik = o.ik;
  r.converged = o.converged;
  r.groups.reserve(static_cast<std::size_t>(c.dim1d.NR));
  for (int slot = 1; slot <= c.dim1d.NR; ++slot) {
    r.groups.push_back(frequency_group(freq, o.ik, c.dim1f.ug[slot]));
    for (int is = 1; is <= kElements; ++is) {
      for (int k = 1; k <= kComponents; ++k) {
        const Cx u = c.dim1f.ug[slot][is][k];
        if (!std::isfinite(u.re) || !std::isfinite(u.im)) r.finite = false;
      }
    }
  }
  return r;
}

}  // namespace

void run_frequencies(const Context& prototype, const Sampling& s, const BesselTable* table,
                     const std::vector<double>& freqs, int threads,
                     const std::function<void(std::size_t, FrequencyResult&)>& sink) {
  const std::size_t n = freqs.size();
  if (threads <= 1 || n <= 1) {
    auto c = std::make_unique<Context>(prototype);
    for (std::size_t f = 0; f < n; ++f) {
      check_interrupt();
      FrequencyResult r = compute_one(*c, freqs[f], s, table);
      sink(f, r);
    }
    return;
  }

  // Workers take the next frequency from a shared counter; the calling thread hands the
  // finished ones on in order. A worker runs ahead of the writer by at most `window`
  // frequencies, which bounds the memory held in finished results.
  const std::size_t workers = std::min<std::size_t>(static_cast<std::size_t>(threads), n);
  const std::size_t window = 4 * workers;
  std::vector<FrequencyResult> results(n);
  std::vector<char> done(n, 0);
  std::atomic<std::size_t> next{0};
  std::size_t written = 0;  // guarded by mu
  bool stop = false;        // guarded by mu
  std::exception_ptr failure;
  std::mutex mu;
  std::condition_variable finished;  // a result is ready, or a worker failed
  std::condition_variable advanced;  // the writer has moved on, or the run stops

  auto work = [&]() {
    try {
      auto c = std::make_unique<Context>(prototype);
      for (;;) {
        const std::size_t f = next.fetch_add(1);
        if (f >= n) return;
        {
          std::unique_lock<std::mutex> lock(mu);
          advanced.wait(lock, [&] { return stop || f < written + window; });
          if (stop) return;
        }
        check_interrupt();
        FrequencyResult r = compute_one(*c, freqs[f], s, table);
        std::lock_guard<std::mutex> lock(mu);
        results[f] = std::move(r);
        done[f] = 1;
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
  for (std::size_t t = 0; t < workers; ++t) pool.emplace_back(work);

  auto halt = [&]() {
    {
      std::lock_guard<std::mutex> lock(mu);
      stop = true;
    }
    advanced.notify_all();
    for (std::thread& t : pool) t.join();
  };

  try {
    for (std::size_t f = 0; f < n; ++f) {
      check_interrupt();
      FrequencyResult r;
      {
        std::unique_lock<std::mutex> lock(mu);
        finished.wait(lock, [&] { return done[f] != 0 || failure != nullptr; });
        if (!done[f]) break;
        r = std::move(results[f]);
      }
      sink(f, r);
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
