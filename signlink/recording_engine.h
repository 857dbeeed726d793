// The one recording engine. A job is recorded into each of its signs at the same time, each sign
// on a thread of its own with its own link, event pump, ticker, PuertoSerie and Grabador, so that
// no exchange state is shared; what happens reaches the caller as typed events. Only one
// recording at a time goes into a port: a sign whose port is being recorded by another job of
// this engine waits for it (or for its own job to be stopped).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/link_thread.h"
#include "signlink/recording_job.h"

namespace letrador {

class RecordingEngine;

// One job under way, or ended.
class RecordingRun {
  public:
    // Every sign ends at its next exchange: its port is closed and its log ends with
    // "Grabación detenida por el operador.". Returns at once; safe from any thread.
    void stop();
    bool stopRequested() const { return stop_.load(); }
    // True once JobEnded has been sent.
    bool ended() const;
    // Blocks until JobEnded has been sent. Never for a window's thread: windows watch the events.
    void wait();

    const RecordingJob& job() const { return job_; }

  private:
    friend class RecordingEngine;
    RecordingRun(RecordingJob job, EventSink sink) : job_(std::move(job)), sink_(std::move(sink)) {}
    // Joins the signs' threads (they have ended, or are about to).
    void join();

    RecordingJob job_;
    EventSink sink_;
    std::atomic<bool> stop_{false};
    std::vector<std::unique_ptr<platform::LinkThread>> threads_;
    mutable std::mutex mutex_;
    std::condition_variable endedChanged_;
    std::size_t signsLeft_ = 0;
    std::vector<Verdict> verdicts_;
    bool ended_ = false;
};

class RecordingEngine {
  public:
    explicit RecordingEngine(platform::LinkThreadMaker threads);
    // Stops every job still running and waits for it.
    ~RecordingEngine();
    RecordingEngine(const RecordingEngine&) = delete;
    RecordingEngine& operator=(const RecordingEngine&) = delete;

    // Starts `job` and returns at once. `sink` hears its events from the signs' threads. A job
    // without signs ends at once with JobEnded.
    std::shared_ptr<RecordingRun> start(RecordingJob job, EventSink sink);
    // The same in two steps, for a front end that must hold the run (to stop it) before the
    // first event can reach it.
    std::shared_ptr<RecordingRun> prepare(RecordingJob job, EventSink sink);
    void start(const std::shared_ptr<RecordingRun>& run);

    // Stops every job under way (as RecordingRun::stop does for one).
    void stopAll();

    // True while a job of this engine records into `port` (a port list text).
    bool busy(const std::string& port) const;

  private:
    // One sign's whole recording, on its own thread.
    void recordSign(RecordingRun& run, std::size_t sign, platform::SerialLink& link,
                    platform::EventPump& pump, platform::Ticker& ticker);
    // Waits until no other job records into `port` and takes it; false when `run` was stopped
    // meanwhile.
    bool takePort(const std::string& port, const RecordingRun& run);
    void releasePort(const std::string& port);
    // Joins the threads of the runs that have ended.
    void reapEnded();

    platform::LinkThreadMaker threads_;
    mutable std::mutex portsMutex_;
    std::condition_variable portsChanged_;
    std::set<std::string> busyPorts_;
    std::mutex runsMutex_;
    std::vector<std::shared_ptr<RecordingRun>> runs_;
};

}  // namespace letrador
