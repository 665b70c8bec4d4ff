#pragma once

// A pane's computation on a thread of its own. What the thread hands over
// reaches the pane on the window's thread through a queued call, which Qt
// drops when the pane is gone; a hand-over from a run that was stopped or
// started again since is dropped on arrival. The owner's end waits for the
// thread (the worker is a member of the pane it posts to).
//
//   FWorker.Run([this, post = FWorker.Poster(this)] {
//     auto result = std::make_shared<TResult>(Compute(FWorker.Cancel()));
//     post([this, result] { Show(*result); });
//   });

#include <QMetaObject>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <thread>
#include <utility>

class TPaneWorker {
public:
  TPaneWorker() = default;
  ~TPaneWorker() { Stop(); }
  TPaneWorker(const TPaneWorker&) = delete;
  TPaneWorker& operator=(const TPaneWorker&) = delete;

  /// Hands calls from the thread to `receiver`'s thread, for the run that
  /// is started next.
  class TPoster {
  public:
    template <class F>
    void operator()(F deliver) const
    {
      QMetaObject::invokeMethod(
          FReceiver,
          [worker = FWorker, generation = FGeneration, deliver = std::move(deliver)]() mutable {
            if (generation == worker->FGeneration)
              deliver();
          },
          Qt::QueuedConnection);
    }

  private:
    friend class TPaneWorker;
    TPoster(TPaneWorker* worker, QObject* receiver, std::uint64_t generation)
        : FWorker(worker), FReceiver(receiver), FGeneration(generation)
    {}
    TPaneWorker* FWorker;
    QObject* FReceiver;
    std::uint64_t FGeneration;
  };

  /// Stops the last run, then makes the poster of the next. Call it on the
  /// window's thread, before Run.
  TPoster Poster(QObject* receiver)
  {
    Stop();
    return TPoster(this, receiver, FGeneration);
  }

  /// Runs `work` on a new thread; with `yieldToWindow`, one the kernel lets
  /// the window's thread go before when they want the same core, so a
  /// load's layout and painting never wait for it.
  template <class Work>
  void Run(Work work, bool yieldToWindow = true)
  {
    FThread = std::thread([yieldToWindow, work = std::move(work)]() mutable {
      if (yieldToWindow)
        YieldToWindow();
      work();
    });
  }

  /// Set while Stop waits: a long computation looks at it to end early.
  const std::atomic<bool>& Cancel() const { return FCancel; }

  /// Cancels the run and waits for it; what it handed over is dropped.
  void Stop()
  {
    FCancel = true;
    Finish();
    FCancel = false;
    ++FGeneration;
  }

  /// Waits for a run whose last hand-over has arrived: it is ending.
  void Finish()
  {
    if (FThread.joinable())
      FThread.join();
  }

private:
  static void YieldToWindow();

  std::thread FThread;
  std::atomic<bool> FCancel{false};
  std::uint64_t FGeneration = 0;
};
