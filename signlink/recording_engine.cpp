#include "signlink/recording_engine.h"

#include <chrono>

#include "signlink/grabacion.h"
#include "signlink/puerto_serie.h"
#include "signlink/recording_commands.h"
#include "signlink/recording_log.h"
#include "signlink/turnero.h"

namespace letrador {

namespace {

// The recording window as one sign's thread sees it: everything becomes an event of that sign.
// Preparing and showing the Close button belong to the front end, which watches the events.
class EventView : public RecordingView {
  public:
    EventView(const EventSink& sink, std::size_t sign) : sink_(sink), sign_(sign) {}

    void prepare() override {}
    void AgregarLog(std::string_view texto, bool nuevaLinea) override {
        sink_(event::LogLine{sign_, std::string(texto), nuevaLinea});
    }
    void setProgress(std::string_view texto, int percent) override {
        sink_(event::Progress{sign_, std::string(texto), percent});
    }
    void showClose() override {}

  private:
    const EventSink& sink_;
    std::size_t sign_;
};

struct Record {
    Grabador& grabador;
    const std::string& port;

    void operator()(const WholeMessage& m) const {
        RecordWholeMessage(grabador, m.parrafos, {port, m.joined, m.spaceWidth});
    }
    void operator()(const CurrentParagraph& p) const {
        RecordCurrentParagraph(grabador, p.texto, p.seleccion, p.fontPath, p.separacion,
                               {port, false, p.spaceWidth});
    }
    void operator()(const TurnDisplay& t) const {
        Turnero turnero(grabador);
        if (t.numero) {
            turnero.GrabarNumero(t.estilo, *t.numero, port);
        } else {
            turnero.GrabarTurnero(t.estilo, port);
        }
    }
};

}  // namespace

void RecordingRun::stop() { stop_.store(true); }

bool RecordingRun::ended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
}

void RecordingRun::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    endedChanged_.wait(lock, [this] { return ended_; });
}

void RecordingRun::join() {
    for (auto& t : threads_) t->wait();
}

RecordingEngine::RecordingEngine(platform::LinkThreadMaker threads)
    : threads_(std::move(threads)) {}

RecordingEngine::~RecordingEngine() {
    std::vector<std::shared_ptr<RecordingRun>> runs;
    {
        std::lock_guard<std::mutex> lock(runsMutex_);
        runs.swap(runs_);
    }
    for (auto& run : runs) run->stop();
    for (auto& run : runs) run->join();
}

std::shared_ptr<RecordingRun> RecordingEngine::start(RecordingJob job, EventSink sink) {
    auto run = prepare(std::move(job), std::move(sink));
    start(run);
    return run;
}

std::shared_ptr<RecordingRun> RecordingEngine::prepare(RecordingJob job, EventSink sink) {
    std::shared_ptr<RecordingRun> run(new RecordingRun(std::move(job), std::move(sink)));
    run->signsLeft_ = run->job_.ports.size();
    run->verdicts_.assign(run->signsLeft_, Verdict::Errors);
    return run;
}

void RecordingEngine::start(const std::shared_ptr<RecordingRun>& run) {
    reapEnded();
    const std::size_t signs = run->job_.ports.size();
    if (signs == 0) {
        {
            std::lock_guard<std::mutex> lock(run->mutex_);
            run->ended_ = true;
        }
        run->sink_(event::JobEnded{});
        return;
    }
    {
        std::lock_guard<std::mutex> lock(runsMutex_);
        runs_.push_back(run);
    }
    // Made before any starts, so that a thread that ends at once finds the list complete.
    for (std::size_t k = 0; k < signs; ++k) run->threads_.push_back(threads_());
    for (std::size_t k = 0; k < signs; ++k) {
        RecordingRun* r = run.get();
        run->threads_[k]->start([this, r, k](platform::SerialLink& link, platform::EventPump& pump,
                                             platform::Ticker& ticker) {
            recordSign(*r, k, link, pump, ticker);
        });
    }
}

void RecordingEngine::recordSign(RecordingRun& run, std::size_t sign, platform::SerialLink& link,
                                 platform::EventPump& pump, platform::Ticker& ticker) {
    const std::string& port = run.job_.ports[sign];
    Verdict verdict = Verdict::Stopped;
    EventView view(run.sink_, sign);
    if (!takePort(port, run)) {
        // Stopped while another job still held its port: nothing was sent.
        view.AgregarLog(VerdictLine(verdict), false);
        view.AgregarLog(kLineaDetenida, true);
    } else {
        {
            PuertoSerie puerto(link, pump, view);
            puerto.setStopFlag(&run.stop_);
            puerto.connect(ticker);
            Grabador grabador(puerto, view);
            std::visit(Record{grabador, port}, run.job_.what);
            verdict = grabador.verdict();
            // The handlers point at this sign's PuertoSerie, which ends here.
            link.setReceiveHandler({});
            ticker.setTickHandler({});
        }
        releasePort(port);
    }
    run.sink_(event::SignEnded{sign, verdict});

    std::vector<Verdict> verdicts;
    {
        std::lock_guard<std::mutex> lock(run.mutex_);
        run.verdicts_[sign] = verdict;
        if (--run.signsLeft_ != 0) return;
        verdicts = run.verdicts_;
    }
    run.sink_(event::JobEnded{std::move(verdicts)});
    {
        std::lock_guard<std::mutex> lock(run.mutex_);
        run.ended_ = true;
    }
    run.endedChanged_.notify_all();
}

bool RecordingEngine::takePort(const std::string& port, const RecordingRun& run) {
    std::unique_lock<std::mutex> lock(portsMutex_);
    // A stop does not notify the engine, so the wait looks at it now and then.
    while (busyPorts_.count(port) != 0) {
        if (run.stopRequested()) return false;
        portsChanged_.wait_for(lock, std::chrono::milliseconds(100));
    }
    busyPorts_.insert(port);
    return true;
}

void RecordingEngine::releasePort(const std::string& port) {
    {
        std::lock_guard<std::mutex> lock(portsMutex_);
        busyPorts_.erase(port);
    }
    portsChanged_.notify_all();
}

void RecordingEngine::stopAll() {
    std::lock_guard<std::mutex> lock(runsMutex_);
    for (auto& run : runs_) run->stop();
}

bool RecordingEngine::busy(const std::string& port) const {
    std::lock_guard<std::mutex> lock(portsMutex_);
    return busyPorts_.count(port) != 0;
}

void RecordingEngine::reapEnded() {
    std::vector<std::shared_ptr<RecordingRun>> ended;
    {
        std::lock_guard<std::mutex> lock(runsMutex_);
        for (auto it = runs_.begin(); it != runs_.end();) {
            if ((*it)->ended()) {
                ended.push_back(*it);
                it = runs_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& run : ended) run->join();
}

}  // namespace letrador
